#!/usr/bin/python3
"""The program as a Wayland client: weston nested in the test's Xvfb, a private session bus with a
notification service."""
from e2e_support import TarvoCase, main, wait_for


def widest_black(run):
    """The widest run of black pixels in a row of the screen: the video area while the preview is off."""
    w, h, rgb = run.pixels("root")
    widest = 0
    for y in range(0, h, 8):
        row, length = rgb[y * w * 3:(y + 1) * w * 3], 0
        for x in range(0, w * 3, 3):
            length = length + 1 if row[x:x + 3] == b"\0\0\0" else 0
            widest = max(widest, length)
    return widest


class Wayland(TarvoCase):
    def setUp(self):
        super().setUp()
        self.wayland_desktop()

    def test_the_window_frames_the_video_and_sigterm_ends_the_run(self):
        run = self.start()
        self.wait_log("Loaded driver: ", run)
        wait_for(lambda: widest_black(run) == 640, what="a window framing the test device's 640x480 video")
        code, seconds = run.terminate()
        self.assertEqual(code, 0)
        self.assertLess(seconds, 10)

    def test_hidden_start_without_a_notification_area_opens_the_window_and_says_so(self):
        run = self.start("-m")
        self.wait_log("No notification area: Tarvo stays open, as this desktop cannot minimise it", run)
        wait_for(lambda: widest_black(run) == 640, what="the window open, framing the video")
        self.assertNotIn("minimises to the task bar", self.run_log())
        self.assertEqual(run.terminate()[0], 0)


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""The program as a Wayland client: weston nested in the test's Xvfb, a private session bus with a
notification service and, for the tray cases, a tray's watcher that the test clicks as a panel."""
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

    def test_with_a_tray_the_icon_stays_a_click_hides_and_shows_and_the_menu_captures(self):
        panel = self.status_notifier_watcher()
        run = self.start()
        self.wait_log("Loaded driver: ", run)
        wait_for(lambda: widest_black(run) == 640, what="the window")
        panel.click()
        wait_for(lambda: widest_black(run) < 100, what="the window hidden")
        panel.click()
        wait_for(lambda: widest_black(run) == 640, what="the window back")
        self.assertTrue(panel.items(), "the icon stays while the window shows")
        self.assertEqual(list(panel.menu()), ["Capture now", "Open Tarvo", "Auto-capturing", "Profiles...", "Close"])
        panel.choose("Capture now")
        self.wait_log("Picture saved as: ", run)
        self.assertNotIn("No notification area", self.run_log())
        self.assertEqual(run.terminate()[0], 0)

    def test_hidden_start_with_a_tray_opens_from_the_icon(self):
        panel = self.status_notifier_watcher()
        run = self.start("-m")
        self.wait_log("Loaded driver: ", run)
        panel.item()
        self.assertLess(widest_black(run), 100, "hidden at start")
        panel.click()
        wait_for(lambda: widest_black(run) == 640, what="the window opened from the icon")
        self.assertEqual(run.terminate()[0], 0)

    def test_a_motion_warning_is_a_critical_desktop_notification(self):
        self.use_profile("Motion", Trigger=2, AutoCapAtStart=True, ShowPopup=True, CapPic=False, UpPic=False,
                         ClickSound=False)
        run = self.start("-m")
        self.wait_log("Motion detected", run)
        wait_for(lambda: "Tarvo|Tarvo|Motion Detected|CRITICAL" in self.notifications(), what="the warning's notification")
        self.assertEqual(run.terminate()[0], 0)


if __name__ == "__main__":
    main()

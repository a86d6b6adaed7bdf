#!/usr/bin/python3
"""The program as a Wayland client: weston nested in the test's Xvfb, a private session bus with a
notification service and, for the tray cases, a tray's watcher that the test clicks as a panel."""
import os
import urllib.parse

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


WARNING_ON_MOTION = dict(Trigger=2, AutoCapAtStart=True, ShowPopup=True, CapPic=False, UpPic=False, ClickSound=False,
                         RearmEnabled=True, RearmSec=1)
BACKGROUND, TOOLTIP = b"\x20\x40\x60", b"\xff\xff\xdc"


def pixels_coloured(run, colour, same=True):
    """How many pixels of the screen have the colour (or, not same, any other)."""
    w, h, rgb = run.pixels("root")
    return sum(1 for i in range(0, len(rgb), 3) if (rgb[i:i + 3] == colour) == same)


def alarm_while_typing_elsewhere(case, run):
    """Waits for the window, opens a window the user types into and waits for an alarm after that;
    returns the focus reports of that window."""
    wait_for(lambda: pixels_coloured(run, BACKGROUND, same=False) > 640 * 480, what="the window on screen")
    focus = case.focus_witness()
    alarms = case.run_log().count("Motion detected")
    wait_for(lambda: case.run_log().count("Motion detected") > alarms, what="an alarm while the user types elsewhere")
    return focus


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

    def test_a_motion_warning_is_a_critical_desktop_notification_with_its_picture(self):
        self.use_profile("Motion", **dict(WARNING_ON_MOTION, CapPic=True))
        run = self.start("-m")
        focus = alarm_while_typing_elsewhere(self, run)
        warning = "Tarvo|Tarvo|Motion Detected|CRITICAL|"
        pictured = wait_for(lambda: [n for n in self.notifications() if n.startswith(warning) and n.endswith(".jpg")],
                            what="the warning's notification with the alarm's picture")
        self.assertTrue(os.path.isfile(urllib.parse.unquote(urllib.parse.urlparse(pictured[0][len(warning):]).path)),
                        pictured)
        self.assertEqual(focus(), ["active"], "the alarm took the keyboard focus")
        self.assertEqual(run.terminate()[0], 0)


class WaylandWithoutNotifications(TarvoCase):
    def test_a_warning_shows_in_the_window_and_leaves_the_focus_where_the_user_types(self):
        self.wayland_desktop(notification_service=False)
        self.use_profile("Motion", **WARNING_ON_MOTION)
        run = self.start("-m") # auto-capturing from the start; the window opens all the same
        focus = alarm_while_typing_elsewhere(self, run)
        wait_for(lambda: pixels_coloured(run, TOOLTIP) > 640 * 8, what="the warning across the top of the video")
        self.assertEqual(focus(), ["active"], "the alarm took the keyboard focus")
        self.assertEqual(run.terminate()[0], 0)


if __name__ == "__main__":
    main()

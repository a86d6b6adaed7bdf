#!/usr/bin/python3
"""The main window on a desktop with a window manager, with and without a notification area:
minimising, the hidden start "-m" and the way back to the window."""
import os

from e2e_support import SHOTS, TarvoCase, main, wait_for


class Desktops(TarvoCase):
    def setUp(self):
        super().setUp()
        self.window_manager()

    def shot(self, run, name):
        if SHOTS:
            os.makedirs(SHOTS, exist_ok=True)
            run.screenshot("root", os.path.join(SHOTS, name))

    def restore(self, run, wid):
        run.focus(wid)
        wait_for(lambda: run.wm_state(wid) == "Normal" and run.visible_main_window() == wid, what="the window back")

    def test_without_a_notification_area_minimising_keeps_the_window_in_the_task_bar(self):
        run = self.start()
        self.wait_log("Loaded driver: ", run)
        wid = wait_for(run.visible_main_window, what="main window")
        run.xdo("windowminimize", "--sync", wid)
        self.wait_log("No notification area: ", run)
        wait_for(lambda: run.wm_state(wid) == "Iconic", what="an iconic window, not a withdrawn one")
        self.shot(run, "minimised-without-tray.png")
        self.restore(run, wid)
        run.xdo("windowminimize", "--sync", wid)
        wait_for(lambda: run.wm_state(wid) == "Iconic", what="iconic again")
        self.restore(run, wid)
        self.assertEqual(self.run_log().count("No notification area: "), 1, "the reason is told once")
        code, _ = run.terminate()
        self.assertEqual(code, 0)

    def test_hidden_start_without_a_notification_area_is_minimised_and_auto_captures(self):
        self.use_profile("Timed", Trigger=1, TimedMin=5, AutoCapAtStart=True, CapPic=False, UpPic=False)
        run = self.start("-m")
        self.wait_log("Autocapturing on", run)
        wid = wait_for(run.managed_main_window, what="the main window")
        self.assertEqual(run.wm_state(wid), "Iconic", "still minimised after the camera is connected")
        self.assertEqual(self.run_log().count("No notification area: "), 1)
        self.restore(run, wid)
        self.shot(run, "restored-after-hidden-start-without-tray.png")
        self.assertEqual(run.width(wid), 640, "the window frames the test device's 640x480 video")
        code, _ = run.terminate()
        self.assertEqual(code, 0)

    def test_with_a_notification_area_minimising_hides_to_the_tray_and_open_brings_the_window_back(self):
        self.notification_area()
        run = self.start()
        self.wait_log("Loaded driver: ", run)
        wid = wait_for(run.visible_main_window, what="main window")
        run.xdo("windowminimize", "--sync", wid)
        wait_for(lambda: run.wm_state(wid) is None and run.visible_main_window() is None, what="a hidden window")
        self.shot(run, "hidden-to-tray.png")
        run.open_from_tray()
        wait_for(lambda: run.wm_state(wid) == "Normal" and run.visible_main_window() == wid, what="the window back")
        wait_for(lambda: run.tray_icon() is None, what="the tray icon gone while the window shows")
        self.assertNotIn("No notification area", self.run_log())
        code, _ = run.terminate()
        self.assertEqual(code, 0)

    def test_hidden_start_with_a_notification_area_opens_from_the_tray_framing_the_video(self):
        self.notification_area()
        run = self.start("-m")
        self.wait_log("Loaded driver: ", run)
        self.assertIsNone(run.visible_main_window())
        run.open_from_tray()
        wid = wait_for(run.visible_main_window, what="the window opened from the tray")
        self.shot(run, "opened-from-tray.png")
        self.assertEqual(run.width(wid), 640, "the window frames the test device's 640x480 video")
        code, _ = run.terminate()
        self.assertEqual(code, 0)


if __name__ == "__main__":
    main()

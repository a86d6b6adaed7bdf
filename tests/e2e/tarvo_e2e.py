#!/usr/bin/python3
"""Whole-program runs of the real tarvo under its own Xvfb, with its own program and config
folders: first and second start, key presses on the main window, a hidden start and SIGTERM."""
import os
import re
import sys

from e2e_support import SHOTS, TarvoCase, main, wait_for


class TarvoEndToEnd(TarvoCase):
    def test_first_and_second_start_preview_and_picture(self):
        first = self.start()
        self.wait_log("Loaded driver: ", first)
        self.assertIn(": Loaded profile: Default\r\n", self.log())
        self.assertEqual(os.path.getsize(self.home + "Profiles/Default.pfl"), 5532)
        self.assertEqual(self.stored("CurrentProfile"), "Default")
        self.assertEqual(self.stored("LoadCount"), "1")
        wait_for(first.visible_main_window, what="main window")
        code, _ = first.terminate()
        self.assertEqual(code, 0)
        self.assertEqual(self.stored("Preview"), "0")

        second = self.start("-d")
        self.wait_log("Loaded driver: ", second)
        self.assertEqual(self.stored("LoadCount"), "2")
        wid = wait_for(second.visible_main_window, what="main window")

        second.key(wid, "ctrl+p")
        self.wait_log("Preview on (Sender : TForm1.Preview1Click)", second)

        def moving_picture():
            w, h, rgb = second.pixels(wid)
            # The middle of the window: the test device's picture, not a black or grey field.
            row = rgb[(h // 2) * w * 3:(h // 2 + 1) * w * 3]
            return len(set(row[i:i + 3] for i in range(0, len(row), 3))) > 4
        wait_for(moving_picture, what="the live picture in the main window")
        if SHOTS:
            os.makedirs(SHOTS, exist_ok=True)
            second.screenshot(wid, os.path.join(SHOTS, "main-window.png"))

        second.key(wid, "ctrl+i")
        self.wait_log("Picture saved as: ", second)
        name = re.search(r"Picture saved as: (.*?) \(Sender", self.log()).group(1)
        with open(name, "rb") as f:
            self.assertEqual(f.read(3), b"\xff\xd8\xff")

        code, _ = second.terminate()
        self.assertEqual(code, 0)
        self.assertEqual(self.stored("Preview"), "1", "the preview state is stored on the way out")

    def test_hidden_start_keeps_running_and_ends_in_order_on_sigterm(self):
        self.notification_area()
        run = self.start("-m")
        self.wait_log("Loaded driver: ", run)
        self.assertIsNone(run.visible_main_window())
        self.assertIsNotNone(run.tray_icon())
        self.assertIsNone(run.proc.poll())
        code, seconds = run.terminate()
        self.assertEqual(code, 0)
        sys.stderr.write("tarvo -m ended %.3f s after SIGTERM\n" % seconds)
        self.assertEqual(self.stored("Preview"), "0")


if __name__ == "__main__":
    main()

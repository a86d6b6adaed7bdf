#!/usr/bin/python3
"""The headless station on the test device, without a display: a motion profile with clips and the
live view, ended by SIGTERM; and the program folder that a station shares with nobody."""
import os
import re
import subprocess
import urllib.request

from e2e_support import STATION, TarvoCase, main, wait_for

PICTURE_SAVED = re.compile(r"Picture saved as: (.*?)(?: \(Sender : .*\))?\r\n")
IN_USE = "Another Tarvo is using the program folder"


class Station(TarvoCase):
    def headless_env(self):
        env = dict(self.env)
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
            env.pop(name, None)
        return env

    def start_station(self, *args):
        return self.start(*args, exe=STATION, env=self.headless_env())

    def test_the_station_runs_a_motion_profile_with_clips_and_the_live_view_and_ends_on_sigterm(self):
        linked = subprocess.run(["ldd", STATION], capture_output=True, text=True, check=True).stdout
        self.assertNotIn("libQt6Widgets", linked)
        self.write_profile("Watch", Trigger=2, AutoCapAtStart=True, CapPic=True, ClickSound=False,
                           RearmEnabled=True, RearmSec=1)
        with open(self.home + "Profiles/Watch.ini", "w") as f:
            f.write("[LiveView]\nEnabled=true\nPort=0\n[Clips]\nEnabled=true\nPreSeconds=1\nPostSeconds=1\nMaxSeconds=3\n")
        # The profile is named on the command line; the desktop's current profile stays as it is.
        self.set_stored("CurrentProfile", "Default")
        run = self.start_station("-p", "Watch")
        for line in ("Loaded profile: Watch", "Autocapturing on", "Picture saved as: ", "Motion clip saved as: "):
            self.wait_log(line, run)
        url = wait_for(lambda: re.search(r"Live view at (http://127\.0\.0\.1:\d+/)", self.run_log()), what="the live view")[1]
        with urllib.request.urlopen(url + "current.jpg", timeout=30) as reply:
            self.assertEqual(reply.read(2), b"\xff\xd8")
        picture = PICTURE_SAVED.search(self.run_log())[1]
        self.assertTrue(picture.startswith(self.home), picture)
        self.assertEqual(subprocess.run(["identify", "-format", "%m", picture], capture_output=True, text=True).stdout, "JPEG")

        code, seconds = run.terminate()
        self.assertEqual(code, 0)
        self.assertLess(seconds, 10)
        self.assertIn("Autocapturing off", self.run_log())
        self.assertEqual(self.stored("CurrentProfile"), "Default")

    def test_a_station_and_the_desktop_program_never_share_a_program_folder(self):
        self.window_manager()
        desktop = self.start()
        self.wait_log("Loaded profile: Default", desktop)
        refused = self.start_station()
        self.assertEqual(refused.proc.wait(timeout=60), 1)
        self.assertIn(IN_USE, refused.proc.stderr.read().decode())
        self.assertEqual(desktop.terminate()[0], 0)

        missing = self.start_station("-p", "../Profiles/Default")
        self.assertEqual(missing.proc.wait(timeout=60), 1)
        self.assertIn("No profile named ../Profiles/Default", missing.proc.stderr.read().decode())

        station = self.start_station()
        self.wait_log("Loaded profile: Default", station)
        second = self.start_station()
        self.assertEqual(second.proc.wait(timeout=60), 1)
        # The desktop program says why in a message box as well; its OK ends the program.
        blocked = self.start()
        box = wait_for(lambda: blocked.visible_window("^Tarvo$"), what="the refusal's message box")
        blocked.key(box, "Return")
        self.assertEqual(blocked.proc.wait(timeout=60), 1)
        self.assertIn(IN_USE, blocked.proc.stderr.read().decode())
        self.assertEqual(station.terminate()[0], 0)


if __name__ == "__main__":
    main()

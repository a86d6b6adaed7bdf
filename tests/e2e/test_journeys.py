#!/usr/bin/python3
"""The main user journeys on the real tarvo under Xvfb: a motion run with every action on, the live
view of a run and of an idle camera with its control requests, a still scene, a timed run, manual
picture and recording, a profile switch and the setup dialog's OK."""
import base64
import glob
import hashlib
import json
import os
import re
import signal
import subprocess
import time
import urllib.error
import urllib.parse
import urllib.request

from e2e_support import SOURCE_DIR, TarvoCase, main, wait_for

PICTURE_SAVED = re.compile(r"Picture saved as: (.*?)(?: \(Sender : .*\))?\r\n")


def decode_rgb(path):
    """(width, height, rgb bytes) of a picture, decoded by ImageMagick; fails on a broken file."""
    out = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], capture_output=True, check=True).stdout
    m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", out)
    w, h = int(m.group(1)), int(m.group(2))
    return w, h, out[m.end():]


def caption_pixels(path):
    """Reddish pixels in the bottom quarter: the default caption is red text at the bottom, and the
    test device's picture (a white ball on black, or a still test card's lower bars) has almost none."""
    w, h, rgb = decode_rgb(path)
    count = 0
    for i in range((h * 3 // 4) * w * 3, len(rgb), 3):
        r, g, b = rgb[i], rgb[i + 1], rgb[i + 2]
        count += r > 140 and g < 90 and b < 90
    return count


def is_jpeg(path):
    result = subprocess.run(["identify", "-format", "%m", path], capture_output=True, text=True)
    return result.returncode == 0 and result.stdout == "JPEG"


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


class Journeys(TarvoCase):
    def saved_pictures(self):
        return PICTURE_SAVED.findall(self.run_log())

    def motion_profile(self, **fields):
        base = dict(Trigger=2, AutoCapAtStart=True, CapPic=True, UpPic=False, ClickSound=False,
                    RearmEnabled=True, RearmSec=1)
        base.update(fields)
        self.use_profile("Motion", **base)

    def test_motion_run_with_every_action_publishes_through_socks_and_ends_offline(self):
        ftp = self.ftp_server()
        socks = self.socks_proxy()
        site = self.home + "Website/"
        self.motion_profile(
            UpPic=True, WebsiteFTP=True, WebsiteLocal=True, FileNumber=3, TmpUpload=True, OfflinePic=True,
            FTPAddress="127.0.0.1", Port=ftp.port, UserName="tarvo", Password="secret", SavePassword=True,
            PassiveMode=True, UseSocks=True, SocksType="SOCKS 5", SocksHost="127.0.0.1", SocksPort=socks.port)
        history = ("Tarvo.jpg", "Tarvo02.jpg", "Tarvo03.jpg")
        run = self.start("-m")
        for line in ("Autocapturing on", "Motion Detection started", "Motion detected", "Picture saved as: "):
            self.wait_log(line, run)

        def published_everywhere():
            self.assertIsNone(run.proc.poll(), "tarvo ended during the run")
            return all(os.path.exists(os.path.join(folder, name)) for folder in (ftp.root, site) for name in history)
        wait_for(published_everywhere, timeout=120, what="three website pictures on the server and locally")

        pictures = self.saved_pictures()
        self.assertTrue(pictures)
        for picture in pictures[:2]:
            self.assertTrue(is_jpeg(picture), picture)
            self.assertGreater(caption_pixels(picture), 20, "caption drawn into " + picture)
        for folder in (ftp.root, site):
            self.assertTrue(is_jpeg(os.path.join(folder, "Tarvo03.jpg")))
            self.assertGreater(caption_pixels(os.path.join(folder, "Tarvo03.jpg")), 20)

        code, _ = run.terminate()
        self.assertEqual(code, 0)
        self.assertIn("Autocapturing off", self.run_log())
        offline = read_bytes(self.home + "offline.jpg")
        self.assertEqual(read_bytes(os.path.join(ftp.root, "Tarvo.jpg")), offline, "offline picture on the server")
        self.assertEqual(read_bytes(site + "Tarvo.jpg"), offline, "offline picture in the local website")
        self.assertEqual(sorted(os.listdir(ftp.root)), sorted(history), "no temporary upload left behind")

    def live_view(self, password=None):
        """The motion profile's live view on a free port, with a password when given."""
        with open(self.home + "Profiles/Motion.ini", "w") as f:
            f.write("[LiveView]\nEnabled=true\nPort=0\n")  # the server takes a free port and logs it
            if password:
                salt = b"saltsaltsaltsalt"
                key = hashlib.pbkdf2_hmac("sha256", password.encode(), salt, 100000)
                f.write("PasswordHash=pbkdf2-sha256$100000$%s$%s\n" % (base64.b64encode(salt).decode(), base64.b64encode(key).decode()))

    def live_address(self, run):
        def addresses():
            return re.findall(r"Live view at (http://127\.0\.0\.1:\d+/)", self.run_log())
        wait_for(lambda: addresses() or run.proc.poll() is not None, what="the live view's address")
        return addresses()[-1]

    def live_clients(self, group, url, *args):
        done = subprocess.run(["/usr/bin/python3", os.path.join(SOURCE_DIR, "tests", "liveview", "live_clients.py"), group,
                               url, "tarvo", "pw", *args], capture_output=True, text=True, timeout=300)
        self.assertEqual(done.returncode, 0, group + ": " + done.stdout + done.stderr)

    def test_the_live_view_is_live_for_any_viewer_and_switches_auto_capturing_with_its_pages_token(self):
        self.motion_profile(AutoCapAtStart=False, FuseEnabled=False)
        self.live_view("pw")
        run = self.start("-m")
        url = self.live_address(run)
        self.live_clients("fresh", url)
        self.live_clients("control", url, "200")
        self.assertIn("Live view: control request from 127.0.0.1 refused: No valid token", self.run_log())
        self.assertIn("Live view: control request from 127.0.0.1 refused: Another site's request", self.run_log())
        for line in ("Live view: control request from 127.0.0.1: auto-capturing on", "Autocapturing on", "Autocapturing off"):
            self.assertIn(line, self.run_log())
        self.assertEqual(run.terminate()[0], 0)

        # A recording locks the settings and the auto-capturing item: the page cannot switch it either.
        run = self.start()
        url = self.live_address(run)
        self.wait_log("Loaded driver: ", run)
        window = wait_for(run.visible_main_window, what="the main window")
        run.key(window, "ctrl+r")
        self.wait_log("Recording...", run)
        self.live_clients("control", url, "409")
        asked = time.time()
        request = urllib.request.Request(url + "current.jpg", headers={"Authorization": "Basic " + base64.b64encode(b"tarvo:pw").decode()})
        with urllib.request.urlopen(request, timeout=30) as reply:
            self.assertGreaterEqual(int(reply.headers["X-Frame-Time"] or 0) / 1000, asked - 0.05, "a picture of now while recording")
        self.assertIn("control request from 127.0.0.1 not done: Auto-capturing cannot be switched while a recording runs",
                      self.run_log())
        run.key(window, "ctrl+r")
        self.wait_log("Recorded video: ", run)
        self.assertEqual(run.terminate()[0], 0)

        self.live_view()
        run = self.start("-m")
        self.live_clients("control", self.live_address(run), "403")
        self.assertIn("Live view: control request from 127.0.0.1 refused: No control without a password", self.run_log())
        self.assertEqual(run.terminate()[0], 0)

    def test_live_view_shows_the_run_and_keeps_its_alarms_over_a_restart(self):
        self.motion_profile()
        self.live_view()
        address = self.live_address

        def status(url):
            with urllib.request.urlopen(url + "status.json", timeout=30) as reply:
                return json.load(reply)

        run = self.start("-m")
        url = address(run)
        self.wait_log("Picture saved as: ", run)
        wait_for(lambda: status(url)["alarms"], what="the alarm on the live view's strip")
        state = status(url)
        self.assertTrue(state["autoCapturing"])
        saved = self.saved_pictures()[0]
        picture = os.path.basename(saved)
        self.assertEqual(state["alarms"][0]["file"], picture)
        with urllib.request.urlopen(url + "current.jpg", timeout=30) as reply:
            self.assertEqual(reply.read(2), b"\xff\xd8")
        self.assertEqual(run.terminate()[0], 0)

        run = self.start()
        url = address(run)
        self.assertEqual(status(url)["alarms"][0]["file"], picture, "the strip outlives a restart")
        self.assertFalse(status(url)["autoCapturing"])
        # A FIFO swapped in for the picture is no picture, and holds up neither an answer nor the end.
        os.rename(saved, saved + ".kept")
        os.mkfifo(saved)
        with self.assertRaises(urllib.error.HTTPError) as refused:
            urllib.request.urlopen(url + "recent/" + urllib.parse.quote(picture), timeout=30)
        self.assertEqual(refused.exception.code, 404)
        self.assertEqual(run.terminate()[0], 0)

    def motion_samples(self, run):
        """The motion samples the run has taken so far, as the test hook logs them."""
        before = self.run_log().count("Motion samples: ")
        run.proc.send_signal(signal.SIGUSR2)
        wait_for(lambda: self.run_log().count("Motion samples: ") > before, what="the motion sample count")
        return int(re.findall(r"Motion samples: (\d+)", self.run_log())[-1])

    def test_still_scene_raises_no_motion_alarm(self):
        still = os.path.join(self.tmp, "still.avi")
        # One test card repeated: the card's own noise field changes with every frame it draws.
        subprocess.run(["gst-launch-1.0", "-q", "videotestsrc", "pattern=smpte", "num-buffers=1", "!",
                        "video/x-raw,width=320,height=240,framerate=15/1", "!", "imagefreeze", "num-buffers=60",
                        "!", "jpegenc", "!", "avimux", "!", "filesink", "location=" + still],
                       check=True, capture_output=True)
        self.env["TARVO_TEST_SOURCE"] = still
        self.env["TARVO_TEST_HOOKS"] = "1"
        self.motion_profile()
        run = self.start("-m")
        self.wait_log("Motion Detection started", run)
        # Absence can only be watched for a while: the watch lasts until the program has compared
        # 30 more samples (six seconds of the loop), however slowly a loaded machine runs it.
        first = self.motion_samples(run)

        def watched():
            self.assertNotIn("Motion detected", self.run_log())
            return self.motion_samples(run) >= first + 30
        wait_for(watched, what="30 more motion samples")
        self.assertNotIn("Motion detected", self.run_log())
        self.assertEqual(self.saved_pictures(), [])
        code, _ = run.terminate()
        self.assertEqual(code, 0)

    def test_timed_run_saves_numbered_pictures_in_order(self):
        self.use_profile("Timed", Trigger=1, TimedMin=0, TimedSec=2, AutoCapAtStart=True, CapPic=True,
                         UpPic=False, ClickSound=False, LPicNaming=2)
        run = self.start("-m")
        self.wait_log("Autocapturing on", run)
        pictures = wait_for(lambda: run.proc.poll() is None and len(self.saved_pictures()) >= 3 and self.saved_pictures(),
                            timeout=90, what="three timed pictures")
        numbers = [int(re.search(r"Tarvo picture (\d+)\.jpg$", p).group(1)) for p in pictures]
        self.assertEqual(numbers, sorted(set(numbers)), "counter names increase")
        for picture in pictures[:3]:
            self.assertTrue(is_jpeg(picture), picture)
        code, _ = run.terminate()
        self.assertEqual(code, 0)
        last = int(re.search(r"(\d+)\.jpg$", self.saved_pictures()[-1]).group(1))
        self.assertEqual(self.stored("LPicCount"), str(last + 1), "the next number is kept for the next start")

    def record_with_keys(self, run, wid):
        """Ctrl+R twice; the recorded AVI's stream kinds as a real demuxer reads them."""
        known = set(glob.glob(self.home + "Log/*.avi"))
        run.key(wid, "ctrl+r")
        self.wait_log("Recording...", run)
        video = wait_for(lambda: set(glob.glob(self.home + "Log/*.avi")) - known, what="the AVI file").pop()
        wait_for(lambda: os.path.getsize(video) > 50000, what="recorded frames")
        run.key(wid, "ctrl+r")
        self.wait_log("Recorded video: " + video + "\r\n", run)
        self.assertRegex(os.path.basename(video), r"^\d\d-\d\d  \d\d\.\d\d\.\d\d\.avi$")
        probe = json.loads(subprocess.run(
            ["ffprobe", "-v", "error", "-show_streams", "-show_format", "-of", "json", video],
            capture_output=True, text=True, check=True).stdout)
        self.assertGreater(float(probe["format"]["duration"]), 0)
        return sorted(stream["codec_type"] for stream in probe["streams"])

    def test_manual_recording_and_picture(self):
        for cap_audio, kinds in ((True, ["audio", "video"]), (False, ["video"])):
            with self.subTest(CapAudio=cap_audio):
                self.use_profile("Manual", CapAudio=cap_audio)
                run = self.start()
                self.wait_log("Loaded driver: ", run)
                wid = wait_for(run.visible_main_window, what="main window")
                self.assertEqual(self.record_with_keys(run, wid), kinds)
                if cap_audio:
                    run.key(wid, "ctrl+i")
                    self.wait_log("Picture saved as: ", run)
                    self.assertTrue(is_jpeg(self.saved_pictures()[-1]))
                code, _ = run.terminate()
                self.assertEqual(code, 0)

    def open_from_setup_menu(self, run, item_key, title):
        """Opens an item of the main window's "Setup" menu by its keyboard path."""
        wid = wait_for(run.visible_main_window, what="main window")
        run.press(wid, "alt+s", item_key)
        return wait_for(lambda: run.visible_window(title), what="the window " + repr(title))

    def click_ok(self, run, wid):
        """Clicks the "OK" button in the bottom-right corner of a settings window."""
        run.focus(wid)
        geometry = dict(line.split("=") for line in run.xdo("getwindowgeometry", "--shell", wid))
        width, height = int(geometry["WIDTH"]), int(geometry["HEIGHT"])
        run.xdo("mousemove", "--window", wid, str(width - 45), str(height - 22), "click", "1")

    def test_profile_switch_through_the_selection_window(self):
        self.write_profile("Default")
        self.use_profile("Night", Trigger=2, CaptionText="night watch")
        self.set_stored("CurrentProfile", "Default")
        run = self.start()
        self.wait_log("Loaded driver: ", run)
        self.assertIn("Loaded profile: Default\r\n", self.run_log())
        window = self.open_from_setup_menu(run, "p", "^Select setup profile:$")
        run.press(window, "ctrl+a")
        run.type(window, "Night")
        self.click_ok(run, window)
        self.wait_log("Loaded profile: Night\r\n", run)
        wait_for(lambda: self.stored("CurrentProfile") == "Night", what="CurrentProfile=Night")
        wait_for(lambda: run.visible_window("^Select setup profile:$") is None, what="the window to close")
        code, _ = run.terminate()
        self.assertEqual(code, 0)

        again = self.start()
        self.wait_log("Loaded profile: Night\r\n", again)
        again.terminate()

    def test_setup_dialog_ok_rewrites_the_profile_and_activates_it(self):
        profile = self.home + "Profiles/Default.pfl"
        self.use_profile("Default", Password="secret", SavePassword=False)
        before = os.stat(profile)
        run = self.start()
        self.wait_log("Loaded driver: ", run)
        window = self.open_from_setup_menu(run, "s", "^Setup: Default$")
        self.click_ok(run, window)
        wait_for(lambda: self.run_log().count("Loaded profile: Default\r\n") == 2, what="a second activation")
        wait_for(lambda: run.visible_window("^Setup: Default$") is None, what="the dialog to close")
        after = os.stat(profile)
        self.assertNotEqual(after.st_ino, before.st_ino, "written to a new file and renamed into place")
        self.assertEqual(after.st_size, 5532)
        self.assertEqual(after.st_mode & 0o777, 0o600)
        # Without SavePassword the FTP password stays out of the file.
        self.assertNotIn(b"secret", read_bytes(profile))
        code, _ = run.terminate()
        self.assertEqual(code, 0)


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Faults during a run of the real tarvo under Xvfb: the FTP server gone and back, the SOCKS proxy
gone, a hostile or silent FTP server, a full disk (a file-size limit), a lost camera and the end of
the program during a recording. The program logs each fault, keeps going and still ends promptly
on SIGTERM."""
import errno
import glob
import json
import os
import re
import time
import resource
import signal
import subprocess

from e2e_support import TarvoCase, Tarvo, WRITE_PROFILE, main, wait_for

RECORDED = re.compile(r"Recorded video: (.*?)(?: \(Sender : .*\))?\r\n")


def has_reader(fifo):
    """True when some process has the FIFO open for reading (or waits in opening it)."""
    try:
        fd = os.open(fifo, os.O_WRONLY | os.O_NONBLOCK)
    except OSError as e:
        if e.errno == errno.ENXIO:
            return False
        raise
    os.close(fd)
    return True


def probe_video(path):
    """Duration, frame rate and counted frames of the AVI's video as ffprobe reads them."""
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-count_frames", "-show_entries",
                          "stream=nb_read_frames,r_frame_rate:format=duration", "-of", "json", path],
                         capture_output=True, text=True, check=True).stdout
    probe = json.loads(out)
    stream = probe["streams"][0]
    num, den = (int(x) for x in stream["r_frame_rate"].split("/"))
    return float(probe["format"]["duration"]), num / den, int(stream["nb_read_frames"])

CLIP_SAVED = re.compile(r"Motion clip saved as: (.*?)(?: \(Sender : .*\))?\r\n")
PICTURE_SAVED = re.compile(r"Picture saved as: (.*?)(?: \(Sender : .*\))?\r\n")
FTP_ERROR = re.compile(r"Could not upload|Not connected")


class LimitedTarvo(Tarvo):
    """A run whose files may not grow beyond max_bytes (RLIMIT_FSIZE), as on a full disk."""

    def __init__(self, env, args, max_bytes):
        def limit():
            resource.setrlimit(resource.RLIMIT_FSIZE, (max_bytes, max_bytes))
            # Python itself ignores SIGXFSZ; the program must be shown to do so on its own.
            signal.signal(signal.SIGXFSZ, signal.SIG_DFL)
        self.env = env
        self.proc = subprocess.Popen([os.environ["TARVO_EXE"], *args], env=env, cwd=env["TARVO_HOME"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, preexec_fn=limit)


class Faults(TarvoCase):
    def pictures(self):
        return PICTURE_SAVED.findall(self.run_log())

    def timed_profile(self, **fields):
        base = dict(Trigger=1, TimedMin=0, TimedSec=1, AutoCapAtStart=True, CapPic=True, UpPic=False,
                    ClickSound=False, LPicNaming=2)
        base.update(fields)
        self.use_profile("Faults", **base)

    def ftp_fields(self, port, **more):
        return dict(UpPic=True, WebsiteFTP=True, FTPAddress="127.0.0.1", Port=port, UserName="tarvo",
                    Password="secret", SavePassword=True, PassiveMode=True, **more)

    def wait_more_pictures(self, run, after, count=2):
        wait_for(lambda: run.proc.poll() is None and len(self.pictures()) >= after + count,
                 what="%d more pictures" % count)

    def assert_ends_promptly(self, run, limit=15):
        code, seconds = run.terminate()
        self.assertEqual(code, 0)
        self.assertLess(seconds, limit, "SIGTERM answered")

    def main_window(self, run):
        self.wait_log("Loaded driver: ", run)
        return wait_for(run.visible_main_window, what="main window")

    def test_a_hostile_server_reply_is_logged_and_shown_as_plain_text(self):
        fifo = os.path.join(self.tmp, "fifo")
        os.mkfifo(fifo)
        server = self.scripted_ftp('550 <img src="%s">' % fifo)
        self.timed_profile(**self.ftp_fields(server.port, AutoCapAtStart=False))
        run = self.start()
        run.key(self.main_window(run), "ctrl+a")
        self.wait_log('Error: 550 <img src="%s">\r\n' % fifo, run)
        # The status bar shows each such line as it comes; a reader of the FIFO would appear at once.
        end = time.monotonic() + 3
        while time.monotonic() < end:
            self.assertFalse(has_reader(fifo), "the FIFO named in the reply was opened")
            time.sleep(0.1)
        self.assert_ends_promptly(run, limit=5)
        self.assertFalse(has_reader(fifo))

    def test_sigterm_during_a_stalled_upload_ends_the_program_promptly(self):
        server = self.scripted_ftp()
        for offline in (False, True):
            with self.subTest(OfflinePic=offline):
                self.timed_profile(**self.ftp_fields(server.port, OfflinePic=offline))
                connected = server.connections()
                run = self.start("-m")
                wait_for(lambda: run.proc.poll() is None and server.connections() > connected,
                         what="an upload waiting for the server")
                self.assert_ends_promptly(run, limit=10)
                self.assertIn("Autocapturing off", self.run_log())

    def test_a_lost_camera_or_escape_during_a_stalled_upload_is_handled_at_once(self):
        server = self.scripted_ftp()
        self.env["TARVO_TEST_HOOKS"] = "1"
        self.timed_profile(**self.ftp_fields(server.port, AutoCapAtStart=False, OfflinePic=False))
        cases = (("lost camera", lambda run, wid: run.proc.send_signal(signal.SIGUSR1), "Camera lost; trying to reconnect"),
                 ("Escape", lambda run, wid: run.key(wid, "Escape"), "Autocapturing off"))
        for name, act, line in cases:
            with self.subTest(name):
                connected = server.connections()
                run = self.start()
                wid = self.main_window(run)
                run.key(wid, "ctrl+a")
                wait_for(lambda: run.proc.poll() is None and server.connections() > connected,
                         what="an upload waiting for the server")
                act(run, wid)
                # The upload would hold the end of the stream for its whole reply limit (20 s).
                self.wait_log(line, run, timeout=10)
                self.assert_ends_promptly(run, limit=10)

    def test_ending_during_a_recording_finishes_the_video(self):
        for how in ("SIGTERM", "close box"):
            with self.subTest(how=how):
                if how == "close box":
                    self.window_manager()
                self.use_profile("Manual", CapAudio=False)
                run = self.start()
                wid = self.main_window(run)
                run.key(wid, "ctrl+r")
                self.wait_log("Recording...", run)
                started = time.monotonic()
                wait_for(lambda: time.monotonic() - started > 2, what="two seconds of recording")
                if how == "SIGTERM":
                    self.assert_ends_promptly(run)
                else:
                    run.press(wid, "alt+F4")
                    self.assertEqual(run.proc.wait(timeout=60), 0)
                videos = RECORDED.findall(self.run_log())
                self.assertEqual(len(videos), 1, self.run_log())
                duration, rate, frames = probe_video(videos[0])
                self.assertGreaterEqual(duration, 1.0)
                self.assertLessEqual(abs(frames - duration * rate), max(2, 0.1 * frames),
                                     "frames counted against the stated duration")

    def test_uploads_resume_after_the_ftp_server_was_killed_and_restarted(self):
        server = self.ftp_server()
        self.timed_profile(**self.ftp_fields(server.port))
        run = self.start("-m")
        uploaded = os.path.join(server.root, "Tarvo.jpg")
        wait_for(lambda: run.proc.poll() is None and os.path.exists(uploaded), what="a first upload")

        server.close()
        wait_for(lambda: FTP_ERROR.search(self.run_log()), what="an upload error")
        shown = len(self.pictures())
        self.wait_more_pictures(run, shown)

        os.remove(uploaded)
        server = self.ftp_server(server.port)
        wait_for(lambda: run.proc.poll() is None and os.path.exists(uploaded), what="uploads to resume")
        self.assert_ends_promptly(run)

    def test_capture_goes_on_when_the_socks_proxy_is_gone(self):
        ftp = self.ftp_server()
        socks = self.socks_proxy()
        self.timed_profile(**self.ftp_fields(ftp.port, UseSocks=True, SocksType="SOCKS 5", SocksHost="127.0.0.1",
                                              SocksPort=socks.port))
        run = self.start("-m")
        wait_for(lambda: run.proc.poll() is None and os.path.exists(os.path.join(ftp.root, "Tarvo.jpg")),
                 what="an upload through the proxy")
        socks.close()
        errors_before = len(FTP_ERROR.findall(self.run_log()))
        wait_for(lambda: len(FTP_ERROR.findall(self.run_log())) > errors_before, what="an upload error")
        self.wait_more_pictures(run, len(self.pictures()))
        self.assert_ends_promptly(run)

    def test_a_full_disk_fails_each_picture_without_leaving_a_partial_one(self):
        pictures = self.tmp + "/pictures/"
        os.makedirs(pictures)
        # Bitmaps of the test device are far larger than the limit; the log stays well below it.
        self.timed_profile(SaveAsBitmap=True, PictureDir=pictures)
        self.log_start = len(self.log())
        run = LimitedTarvo(self.env, ["-m"], 96 * 1024)
        self.runs.append(run)
        wait_for(lambda: run.proc.poll() is None and self.run_log().count("Could not save file: ") >= 3,
                 what="three failed pictures")
        self.assertIsNone(run.proc.poll(), "tarvo survives the file-size limit")
        self.assertEqual(self.pictures(), [])
        self.assertEqual([name for name in os.listdir(pictures) if name.endswith(".bmp")], [],
                         "no partial picture under a final name")
        self.assert_ends_promptly(run)

    def test_a_lost_camera_is_reconnected_and_auto_capturing_resumes(self):
        self.env["TARVO_TEST_HOOKS"] = "1"
        self.timed_profile()
        run = self.start("-m")
        wait_for(lambda: run.proc.poll() is None and self.pictures(), what="a first picture")
        run.proc.send_signal(signal.SIGUSR1)
        for line in ("Video capture stopped: ", "Camera lost; trying to reconnect",
                     "Camera back; autocapturing resumed"):
            self.wait_log(line, run)
        log = self.run_log()
        resumed_at = log.index("Camera back; autocapturing resumed")
        wait_for(lambda: PICTURE_SAVED.search(self.run_log(), resumed_at), what="a picture after the resume")
        self.assertNotIn("Autocapturing off", self.run_log())
        self.assert_ends_promptly(run)


    def test_a_clip_of_large_pictures_with_sound_is_saved_and_sigterm_ends_the_program_promptly(self):
        # Noise in MJPEG at 1280x720: hundreds of kilobytes a picture, with the test device's tone.
        store = os.path.join(self.config, "Tarvo", "Tarvo.conf")
        device = "store:Capture-TestPattern/"
        os.makedirs(self.home + "Profiles", exist_ok=True)
        subprocess.run([WRITE_PROFILE, self.home, "--profile", "Clips", "--store", store, "Trigger=2", "AutoCapAtStart=1",
                        "CapPic=0", "ClickSound=0", "FrameRate=15", "RearmEnabled=1", "RearmSec=8",
                        device + "Format=MJPG", device + "Width=1280", device + "Height=720", device + "Fps=15",
                        device + "Pattern=snow", "ini:Clips/Enabled=true", "ini:Clips/PreSeconds=3",
                        "ini:Clips/PostSeconds=1", "ini:Clips/MaxSeconds=5", "ini:Clips/Audio=true"], check=True)
        run = self.start("-m")
        self.wait_log("Motion clip saved as: ", run)
        # The alarm after the re-arm delay begins a clip with three seconds of pictures before it.
        wait_for(lambda: run.proc.poll() is None and self.run_log().count("Motion detected") >= 2, what="a second alarm")
        self.assert_ends_promptly(run, limit=5)
        clips = CLIP_SAVED.findall(self.run_log())
        self.assertGreater(probe_video(clips[0])[0], 4.0, clips[0])
        for clip in clips[1:]:
            probe_video(clip)
        self.assertEqual([name for name in os.listdir(self.home + "Log") if name.endswith(".part")], [])

if __name__ == "__main__":
    main()

"""One unattended run of the real tarvo under its own Xvfb: a prepared program folder and store,
"tarvo -m" with auto-capturing at start, and the process's CPU time and resident memory from /proc."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
try:
    from e2e_support import Display, closed_port, read_log, stop_process, wait_for  # noqa: E402
except ImportError:
    from tarvo_e2e import Display, closed_port, read_log, stop_process, wait_for  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")
TEST_DEVICE = "TestPattern"


def cpu_seconds(pid):
    """utime + stime of the whole process (all its threads)."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def motion_profile(home, fps=30, extra=()):
    """Motion-triggered auto-capturing from the start on the test device, local pictures, no sounds,
    no pop-ups and no version check."""
    return ["PictureDir=" + home + "Pictures/", "AutoCapAtStart=1", "Trigger=2", "FrameRate=%d" % fps,
            "CapPic=1", "UpPic=0", "PlaySound=0", "ShowPopup=0", "ClickSound=0", "AutoUpdCheck=0",
            "DriverIndex=0", "LPicNaming=1", *extra]


def device_mode(width, height, fps, fmt="YUY2"):
    key = "store:Capture-%s/" % TEST_DEVICE
    return [key + "Format=" + fmt, key + "Width=%d" % width, key + "Height=%d" % height, key + "Fps=%d" % fps]


class Run:
    """tarvo -m in a scratch folder; call stop() (or use as a context manager) to end it."""

    def __init__(self, build_dir, settings, source=None, extras=""):
        # TARVO_EXE and TARVO_WRITE_PROFILE point at the programs when they are not in build_dir.
        self.tarvo = os.environ.get("TARVO_EXE") or os.path.join(build_dir, "tarvo")
        profile_tool = os.environ.get("TARVO_WRITE_PROFILE") or os.path.join(build_dir, "tools", "write_profile")
        self.tmp = tempfile.mkdtemp(prefix="tarvo-run-")
        self.home = os.path.join(self.tmp, "home") + "/"
        self.config = os.path.join(self.tmp, "config")
        os.makedirs(self.home + "Pictures")
        os.makedirs(self.home + "Videos")
        os.makedirs(os.path.join(self.config, "Tarvo"))
        for asset in ("alarm.wav", "click.wav", "offline.jpg", "example.bmp"):
            src = os.path.join(os.path.dirname(self.tarvo), asset)
            if os.path.exists(src):
                shutil.copy(src, self.home)
        store = os.path.join(self.config, "Tarvo", "Tarvo.conf")
        subprocess.run([profile_tool, self.home, "--store", store,
                        *[s.replace("{home}", self.home) for s in settings]], check=True)
        if extras:  # the profile's settings beyond the record
            with open(self.home + "Profiles/Default.ini", "w") as f:
                f.write(extras)
        self.display = Display()
        env = dict(os.environ, DISPLAY=self.display.name, QT_QPA_PLATFORM="xcb", TARVO_HOME=self.home,
                   XDG_CONFIG_HOME=self.config, HOME=self.tmp,
                   TARVO_UPDATE_HOST="127.0.0.1:%d" % closed_port())
        env.pop("TARVO_TEST_SOURCE", None)
        if source:  # the test device plays this file instead of drawing its pattern
            env["TARVO_TEST_SOURCE"] = source
        self.proc = subprocess.Popen([self.tarvo, "-m"], env=env, cwd=self.home,
                                     stdout=subprocess.DEVNULL, stderr=open(self.tmp + "/stderr.txt", "wb"))
        self.started = time.monotonic()

    def pictures(self):
        return len([n for n in os.listdir(self.home + "Pictures") if n.lower().endswith((".jpg", ".bmp"))])

    def picture_size(self):
        """Width and height of the newest JPEG picture, from its frame header; None when there is none."""
        names = sorted((n for n in os.listdir(self.home + "Pictures") if n.lower().endswith(".jpg")),
                       key=lambda n: os.path.getmtime(self.home + "Pictures/" + n))
        if not names:
            return None
        with open(self.home + "Pictures/" + names[-1], "rb") as f:
            data = f.read()
        i = 2
        while i + 9 < len(data) and data[i] == 0xFF:
            marker, length = data[i + 1], int.from_bytes(data[i + 2:i + 4], "big")
            if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
                return int.from_bytes(data[i + 7:i + 9], "big"), int.from_bytes(data[i + 5:i + 7], "big")
            i += 2 + length
        return None

    def log(self):
        return read_log(self.home, errors="replace")

    def alive(self):
        return self.proc.poll() is None

    def stop(self):
        stop_process(self.proc, timeout=60)
        self.display.close()

    def cleanup(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
        self.cleanup()

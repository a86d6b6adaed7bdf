#!/usr/bin/python3
"""Whole-program runs of the real tarvo under its own Xvfb, with its own program and config
folders: first and second start, key presses on the main window, a hidden start and SIGTERM."""
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

TARVO = os.environ.get("TARVO_EXE", "")
SHOTS = os.environ.get("TARVO_E2E_SHOTS", "")
DEADLINE = 60.0


def wait_for(cond, timeout=DEADLINE, what="condition"):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = cond()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


def closed_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Display:
    def __init__(self):
        read, write = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write,), stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as f:
            self.name = ":" + f.readline().strip()

    def close(self):
        self.proc.terminate()
        self.proc.wait(timeout=30)


class Tarvo:
    """One run of the program in the given folders."""

    def __init__(self, env, args=()):
        self.env = env
        self.proc = subprocess.Popen([TARVO, *args], env=env, cwd=env["TARVO_HOME"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def xdo(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True).stdout.split()

    def visible_main_window(self):
        for wid in self.xdo("search", "--all", "--onlyvisible", "--pid", str(self.proc.pid), "--name", "^Tarvo$"):
            return wid
        return None

    def key(self, wid, keys):
        self.xdo("windowactivate", "--sync", wid)
        self.xdo("windowfocus", "--sync", wid)
        self.xdo("key", "--window", wid, keys)

    def pixels(self, wid):
        """The window's pixels as (width, height, rgb bytes)."""
        out = subprocess.run(["import", "-window", wid, "ppm:-"], env=self.env, capture_output=True, check=True).stdout
        m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", out)
        w, h = int(m.group(1)), int(m.group(2))
        return w, h, out[m.end():]

    def screenshot(self, wid, path):
        subprocess.run(["import", "-window", wid, path], env=self.env, check=True)

    def terminate(self):
        start = time.monotonic()
        self.proc.send_signal(signal.SIGTERM)
        code = self.proc.wait(timeout=DEADLINE)
        return code, time.monotonic() - start


class TarvoEndToEnd(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="tarvo-e2e-")
        self.home = os.path.join(self.tmp, "home") + "/"
        self.config = os.path.join(self.tmp, "config")
        os.makedirs(self.home)
        os.makedirs(self.config)
        for asset in ("alarm.wav", "click.wav", "offline.jpg", "example.bmp"):
            src = os.path.join(os.path.dirname(TARVO), asset)
            if os.path.exists(src):
                shutil.copy(src, self.home)
        self.display = Display()
        self.env = dict(os.environ, DISPLAY=self.display.name, QT_QPA_PLATFORM="xcb",
                        TARVO_HOME=self.home, XDG_CONFIG_HOME=self.config, HOME=self.tmp,
                        TARVO_UPDATE_HOST="127.0.0.1:%d" % closed_port())
        self.env.pop("TARVO_TEST_SOURCE", None)
        self.runs = []

    def tearDown(self):
        for run in self.runs:
            if run.proc.poll() is None:
                run.proc.kill()
                run.proc.wait()
        self.display.close()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def start(self, *args):
        self.log_start = len(self.log())
        run = Tarvo(self.env, args)
        self.runs.append(run)
        return run

    def log(self):
        try:
            with open(self.home + "Log/Log.txt", encoding="utf-8", newline="") as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def store(self):
        with open(os.path.join(self.config, "Tarvo", "Tarvo.conf"), encoding="utf-8") as f:
            return f.read()

    def stored(self, name):
        m = re.search(r"^%s=(.*)$" % name, self.store(), re.M)
        return m.group(1).strip('"') if m else None

    def wait_log(self, text, run):
        def found():
            if run.proc.poll() is not None:
                raise AssertionError("tarvo ended early: " + run.proc.stderr.read().decode(errors="replace"))
            return text in self.log()[self.log_start:]
        wait_for(found, what=repr(text))

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
        run = self.start("-m")
        self.wait_log("Loaded driver: ", run)
        self.assertIsNone(run.visible_main_window())
        self.assertIsNone(run.proc.poll())
        code, seconds = run.terminate()
        self.assertEqual(code, 0)
        sys.stderr.write("tarvo -m ended %.3f s after SIGTERM\n" % seconds)
        self.assertEqual(self.stored("Preview"), "0")


if __name__ == "__main__":
    if not TARVO or not os.access(TARVO, os.X_OK):
        sys.exit("set TARVO_EXE to the tarvo executable")
    unittest.main(verbosity=2)

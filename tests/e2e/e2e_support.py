"""Shared pieces of the whole-program runs: an own Xvfb, one tarvo process in its own program and
config folders, log and per-user store readers, profile files with chosen fields, and the real
peers (pyftpdlib FTP server, microsocks SOCKS 5 proxy) on 127.0.0.1."""
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

TARVO = os.environ.get("TARVO_EXE", "")
STATION = os.environ.get("TARVO_STATION_EXE", "")
WRITE_PROFILE = os.environ.get("TARVO_WRITE_PROFILE", "")
SHOW_WINDOW = os.path.join(os.path.dirname(WRITE_PROFILE), "show_window")
SOURCE_DIR = os.environ.get("TARVO_SOURCE_DIR",
                            os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
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


_held_ports = []


def closed_port():
    """A port of 127.0.0.1 that refuses connections until this run ends: it stays bound without
    listening, so no other program can take it meanwhile."""
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    _held_ports.append(s)
    return s.getsockname()[1]


def listening_port(pid):
    """The TCP port on which process pid listens (a peer started on port 0), or 0."""
    inodes = set()
    for fd in os.listdir("/proc/%d/fd" % pid):
        try:
            link = os.readlink("/proc/%d/fd/%s" % (pid, fd))
        except OSError:
            continue
        if link.startswith("socket:["):
            inodes.add(link[8:-1])
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        with open(table) as f:
            for line in f.readlines()[1:]:
                field = line.split()
                if field[3] == "0A" and field[9] in inodes:  # 0A: listening
                    return int(field[1].rsplit(":", 1)[1], 16)
    return 0


def can_connect(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=1):
            return True
    except OSError:
        return False


def stop_process(proc, timeout=10):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def read_log(home, errors="strict"):
    """The program's log in its folder home, line ends as written; empty before it is made."""
    try:
        with open(home + "Log/Log.txt", encoding="utf-8", errors=errors, newline="") as f:
            return f.read()
    except FileNotFoundError:
        return ""


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


class FtpServer:
    """The tests' pyftpdlib server (tests/support/ftp_server.py): user "tarvo", password "secret", files under root. It
    binds a port of its own and reports it, unless given the port of an earlier server to take again."""

    def __init__(self, root, log, port=0):
        os.makedirs(root, exist_ok=True)
        self.root = root
        self.proc = subprocess.Popen(
            ["/usr/bin/python3", os.path.join(SOURCE_DIR, "tests", "support", "ftp_server.py"),
             "--root", root, "--log", log, "--port", str(port)],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        line = self.proc.stdout.readline()
        m = re.match(r"PORT (\d+)", line)
        if not m:
            stop_process(self.proc)
            raise AssertionError("the FTP server did not start: " + repr(line))
        self.port = int(m.group(1))

    def close(self):
        stop_process(self.proc)


class SocksProxy:
    """microsocks on a port of 127.0.0.1 it takes itself, without authentication."""

    def __init__(self):
        self.proc = subprocess.Popen(["/usr/bin/microsocks", "-i", "127.0.0.1", "-p", "0"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: listening_port(self.proc.pid), what="the SOCKS proxy")
        self.port = listening_port(self.proc.pid)

    def close(self):
        stop_process(self.proc)


class ScriptedFtp:
    """An FTP control connection that answers as told, for replies no real server gives: the login
    is accepted and every later command refused with `refusal`. With refusal None the server
    accepts connections and never says a word."""

    def __init__(self, refusal=None):
        self.refusal = refusal
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(8)
        self.port = self.listener.getsockname()[1]
        self.clients = []
        threading.Thread(target=self._accept, daemon=True).start()

    def connections(self):
        return len(self.clients)

    def _accept(self):
        while True:
            try:
                conn, _ = self.listener.accept()
            except OSError:
                return
            self.clients.append(conn)
            if self.refusal is not None:
                threading.Thread(target=self._answer, args=(conn,), daemon=True).start()

    def _answer(self, conn):
        try:
            conn.sendall(b"220 ready\r\n")
            for line in conn.makefile("rb"):
                command = line.split(b" ")[0].strip().upper()
                reply = {b"USER": "331 password please", b"PASS": "230 logged in"}.get(command, self.refusal)
                conn.sendall(reply.encode() + b"\r\n")
        except OSError:
            pass

    def close(self):
        self.listener.shutdown(socket.SHUT_RDWR)
        self.listener.close()
        for conn in self.clients:
            conn.close()


class DesktopProgram:
    """A program of the desktop on the test's display: a window manager or a notification area."""

    def __init__(self, args, env, stderr_file):
        self.stderr_file = stderr_file
        with open(stderr_file, "wb") as err:
            self.proc = subprocess.Popen(args, env=env, stdout=subprocess.DEVNULL, stderr=err)

    def last_words(self):
        with open(self.stderr_file, errors="replace") as f:
            return f.read()[-500:]

    def close(self):
        stop_process(self.proc)


class Panel:
    """What a panel does with the items of the watcher: clicks them and their menus."""
    ITEM = "org.kde.StatusNotifierItem"

    def __init__(self, address):
        import dbus
        self.dbus = dbus
        self.bus = dbus.bus.BusConnection(address)

    def items(self):
        watcher = self.bus.get_object("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher")
        return [str(name) for name in watcher.Get("org.kde.StatusNotifierWatcher", "RegisteredStatusNotifierItems",
                                                  dbus_interface=self.dbus.PROPERTIES_IFACE)
                if self.bus.name_has_owner(name)]

    def item(self):
        return self.bus.get_object(wait_for(self.items, what="the tray icon")[0], "/StatusNotifierItem")

    def click(self):
        self.item().Activate(0, 0, dbus_interface=self.ITEM)

    def menu(self):
        """The item's menu entries as {label: id}, labels without their mnemonic marks; no separators."""
        item = self.item()
        path = item.Get(self.ITEM, "Menu", dbus_interface=self.dbus.PROPERTIES_IFACE)
        self.menu_object = self.bus.get_object(item.bus_name, path)
        _, root = self.menu_object.GetLayout(0, -1, [], dbus_interface="com.canonical.dbusmenu")
        return {str(child[1]["label"]).replace("_", ""): int(child[0]) for child in root[2] if "label" in child[1]}

    def choose(self, label):
        entry = self.menu()[label]
        self.menu_object.Event(entry, "clicked", self.dbus.String("", variant_level=1), self.dbus.UInt32(0),
                               dbus_interface="com.canonical.dbusmenu")


class Tarvo:
    """One run of the program (or of another program of the build, exe) in the given folders."""

    def __init__(self, env, args=(), exe=None):
        self.env = env
        self.proc = subprocess.Popen([exe or TARVO, *args], env=env, cwd=env.get("TARVO_HOME"),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def xdo(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True).stdout.split()

    def visible_window(self, title):
        for wid in self.xdo("search", "--all", "--onlyvisible", "--pid", str(self.proc.pid), "--name", title):
            return wid
        return None

    def width(self, wid):
        geometry = dict(line.split("=") for line in self.xdo("getwindowgeometry", "--shell", wid))
        return int(geometry.get("WIDTH", 0))

    def visible_main_window(self):
        return self.visible_window("^Tarvo$")

    def visible_class_windows(self):
        """Also the windows without a title of their own: the tray icon and popup menus."""
        return self.xdo("search", "--all", "--onlyvisible", "--pid", str(self.proc.pid), "--class", "^tarvo$")

    def tray_icon(self):
        """The icon docked in the notification area: a small window of the program's class."""
        return next((wid for wid in self.visible_class_windows() if self.width(wid) <= 64), None)

    def wm_state(self, wid):
        """The state the window manager gives the window: "Normal", "Iconic", or None while it is
        withdrawn (hidden)."""
        out = subprocess.run(["xprop", "-id", wid, "WM_STATE"], env=self.env, capture_output=True, text=True).stdout
        m = re.search(r"window state: (\w+)", out)
        return m.group(1) if m else None

    def managed_main_window(self):
        """The main window in any state once the window manager has taken it."""
        for wid in self.xdo("search", "--all", "--pid", str(self.proc.pid), "--name", "^Tarvo$"):
            if self.wm_state(wid) and self.width(wid) > 64:
                return wid
        return None

    def open_from_tray(self):
        """"Open Tarvo", the first item of the tray icon's right-button menu, clicked as a user does."""
        icon = wait_for(self.tray_icon, what="the tray icon")
        before = set(self.visible_class_windows())

        def menu_shown():
            # A click while the icon is still being docked goes nowhere; a user clicks again.
            self.xdo("mousemove", "--window", icon, "10", "10", "click", "3")
            try:
                return wait_for(lambda: next(iter(set(self.visible_class_windows()) - before), None), timeout=5)
            except AssertionError:
                return None
        menu = wait_for(menu_shown, what="the tray menu")
        self.xdo("mousemove", "--window", menu, "40", "10", "click", "1")

    def focus(self, wid):
        self.xdo("windowactivate", "--sync", wid)
        self.xdo("windowfocus", "--sync", wid)

    def key(self, wid, keys):
        self.focus(wid)
        self.xdo("key", "--window", wid, keys)

    def press(self, wid, *keys):
        """Focuses the window once, then presses the keys as the keyboard does, so that a menu or
        popup the first key opens receives the next."""
        self.focus(wid)
        for keys_ in keys:
            self.xdo("key", "--delay", "50", keys_)

    def type(self, wid, text):
        self.focus(wid)
        self.xdo("type", "--window", wid, text)

    def pixels(self, wid):
        """The window's pixels as (width, height, rgb bytes)."""
        out = subprocess.run(["import", "-window", wid, "-depth", "8", "ppm:-"], env=self.env, capture_output=True, check=True).stdout
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


class TarvoCase(unittest.TestCase):
    """A fresh program folder, config folder and Xvfb for each test; every run is ended afterwards."""

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
        self.runs = []
        self.peers = []
        # A cleanup, not tearDown: it also runs when a later step of a set-up fails (a window
        # manager that does not come up), so no peer is left holding the test's output open.
        self.addCleanup(self.end_everything)
        self.display = Display()
        self.env = dict(os.environ, DISPLAY=self.display.name, QT_QPA_PLATFORM="xcb",
                        TARVO_HOME=self.home, XDG_CONFIG_HOME=self.config, HOME=self.tmp,
                        TARVO_UPDATE_HOST="127.0.0.1:%d" % closed_port(),
                        # A critical of GStreamer or GLib ends the run: it is a fault of the program.
                        G_DEBUG="fatal-criticals")
        self.env.pop("TARVO_TEST_SOURCE", None)
        self.log_start = 0

    def end_everything(self):
        for run in self.runs:
            if run.proc.poll() is None:
                run.proc.kill()
                run.proc.wait()
            run.proc.stderr.close()
        for peer in self.peers:
            peer.close()
        if hasattr(self, "display"):
            self.display.close()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def start(self, *args, exe=None, env=None):
        self.log_start = len(self.log())
        run = Tarvo(env or self.env, args, exe)
        self.runs.append(run)
        return run

    def log(self):
        return read_log(self.home)

    def run_log(self):
        """The log lines written since the last start."""
        return self.log()[self.log_start:]

    def store(self):
        with open(os.path.join(self.config, "Tarvo", "Tarvo.conf"), encoding="utf-8") as f:
            return f.read()

    def stored(self, name):
        m = re.search(r"^%s=(.*)$" % name, self.store(), re.M)
        return m.group(1).strip('"') if m else None

    def set_stored(self, name, value):
        """Writes one per-user value while no run is active (an INI file of QSettings)."""
        path = os.path.join(self.config, "Tarvo", "Tarvo.conf")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        text = self.store() if os.path.exists(path) else "[General]\n"
        line = "%s=%s" % (name, value)
        text, n = re.subn(r"^%s=.*$" % name, line, text, flags=re.M)
        if not n:
            text = text.rstrip("\n") + "\n" + line + "\n"
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)

    def wait_log(self, text, run, timeout=DEADLINE):
        def found():
            if run.proc.poll() is not None:
                raise AssertionError("tarvo ended early: " + run.proc.stderr.read().decode(errors="replace"))
            return text in self.run_log()
        wait_for(found, timeout=timeout, what=repr(text))

    def write_profile(self, name, **fields):
        """Profiles/<name>.pfl: the defaults with the given fields."""
        os.makedirs(self.home + "Profiles", exist_ok=True)
        args = ["%s=%s" % (k, int(v) if isinstance(v, bool) else v) for k, v in fields.items()]
        subprocess.run([WRITE_PROFILE, self.home, "--profile", name, *args], check=True)

    def use_profile(self, name, **fields):
        """Writes the profile and makes it the one the next start loads."""
        self.write_profile(name, **fields)
        self.set_stored("CurrentProfile", name)

    def ftp_server(self, port=0):
        server = FtpServer(os.path.join(self.tmp, "ftp"), os.path.join(self.tmp, "ftp.log"), port)
        self.peers.append(server)
        return server

    def scripted_ftp(self, refusal=None):
        server = ScriptedFtp(refusal)
        self.peers.append(server)
        return server

    def desktop_program(self, args, ready, what, env=None, patience=None):
        """Starts a program of the desktop and waits until ready() says it serves; one that ends
        before that, or with patience (seconds) given is not ready within it, is started again,
        twice at most, and its last words are kept for the report."""
        for _ in range(3):
            program = DesktopProgram(args, env or self.env, os.path.join(self.tmp, os.path.basename(args[0]) + ".stderr"))
            self.peers.append(program)
            try:
                wait_for(lambda: program.proc.poll() is not None or ready(), timeout=patience or DEADLINE, what=what)
            except AssertionError:
                if patience is None:
                    raise
                program.close()
                continue
            if program.proc.poll() is None:
                return
        raise AssertionError("%s was not ready at any of three starts: %s" % (what, program.last_words()))

    def window_manager(self):
        """openbox: minimising a window needs a window manager."""
        def running():
            out = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env,
                                 capture_output=True, text=True).stdout
            return "window id" in out
        self.desktop_program(["openbox"], running, "the window manager")

    def notification_area(self):
        """trayer: a notification area the tray icon docks into."""
        self.desktop_program(["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width", "60",
                              "--heighttype", "pixel", "--height", "24"],
                             lambda: subprocess.run(["xdotool", "search", "--class", "trayer"], env=self.env,
                                                    capture_output=True, text=True).stdout.strip(),
                             "the notification area")

    def wayland_desktop(self, notification_service=True):
        """weston nested in the test's Xvfb (so xdotool input reaches its clients), a private session
        bus with dunst as notification service (unless told not to); the next starts use Wayland."""
        runtime = os.path.join(self.tmp, "run")
        os.makedirs(runtime, mode=0o700)
        config = os.path.join(self.tmp, "weston.ini")
        with open(config, "w") as f:
            # No panel and no idle lock: the screen shows only the clients on a plain background.
            f.write("[core]\nidle-time=0\n[shell]\nbackground-color=0xff204060\npanel-position=none\nlocking=false\nanimation=none\nclose-animation=none\nstartup-animation=none\nfocus-animation=none\n")
        self.env["XDG_RUNTIME_DIR"] = runtime
        self.env.pop("WAYLAND_DISPLAY", None)
        socket_name = "tarvo-wayland"
        self.desktop_program(["weston", "--config=" + config, "--backend=x11-backend.so", "--use-pixman", "--debug",
                              "--socket=" + socket_name, "--width=1024", "--height=768"],
                             lambda: os.path.exists(os.path.join(runtime, socket_name)), "the Wayland compositor")
        bus = os.path.join(runtime, "bus")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + bus
        self.desktop_program(["dbus-daemon", "--session", "--nofork", "--address=unix:path=" + bus],
                             lambda: os.path.exists(bus), "the session bus")
        self.env.update(WAYLAND_DISPLAY=socket_name, QT_QPA_PLATFORM="wayland")
        if notification_service:
            self.notification_service()

    def notification_service(self):
        # dunst draws on the X display: weston 10 lacks the layer shell dunst wants under Wayland.
        # Every notification is also written to a file, for notifications().
        record, dunstrc = os.path.join(self.tmp, "notified.sh"), os.path.join(self.tmp, "dunstrc")
        with open(record, "w") as f:
            f.write('#!/bin/sh\nprintf "%%s|%%s|%%s|%%s|%%s\\n" "$1" "$2" "$3" "$5" "$4" >> %s\n' % self.notified)
        os.chmod(record, 0o755)
        with open(dunstrc, "w") as f:
            f.write('[record]\nappname = "*"\nscript = %s\n' % record)
        # dunst is an X client: it must not follow the Wayland settings made for the program.
        x_env = {k: v for k, v in self.env.items() if k not in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        self.desktop_program(["dunst", "-config", dunstrc], lambda: self.bus_name_owned("org.freedesktop.Notifications"),
                             "the notification service", env=x_env)

    @property
    def notified(self):
        return os.path.join(self.tmp, "notified.txt")

    def notifications(self):
        """The notifications dunst got, one "application|summary|body|urgency|icon" a line."""
        try:
            with open(self.notified) as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def status_notifier_watcher(self):
        """A panel's tray on the session bus (tests/support/status_notifier_watcher.py)."""
        self.desktop_program([os.path.join(SOURCE_DIR, "tests", "support", "status_notifier_watcher.py")],
                             lambda: self.bus_name_owned("org.kde.StatusNotifierWatcher"), "the tray's watcher")
        return Panel(self.env["DBUS_SESSION_BUS_ADDRESS"])

    def focus_witness(self):
        """A window the user types into, started last so that it has the keyboard focus; returns a
        function that gives its reports so far, "active" or "inactive" each. A busy compositor now
        and then leaves a new window without the focus: that window is closed and another opened,
        twice at most."""
        path = os.path.join(self.tmp, "show_window.stderr")

        def reports():
            with open(path, errors="replace") as f:
                return [line for line in f.read().splitlines() if line in ("active", "inactive")]
        self.desktop_program([SHOW_WINDOW, "--report-focus", "proxy"], lambda: reports()[-1:] == ["active"],
                             "the window the user types into", patience=20)
        return reports

    def bus_name_owned(self, name):
        out = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                              "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:" + name],
                             env=self.env, capture_output=True, text=True).stdout
        return "boolean true" in out

    def socks_proxy(self):
        proxy = SocksProxy()
        self.peers.append(proxy)
        return proxy


def main():
    if not TARVO or not os.access(TARVO, os.X_OK):
        sys.exit("set TARVO_EXE to the tarvo executable")
    unittest.main(verbosity=2)

#!/usr/bin/python3
"""The Debian package from scripts/package.sh: clean for lintian and the desktop's validators,
installed with apt-get, the installed tarvo run on the test device with a motion profile, and
purged without a trace outside the user's own folders. It installs into this machine (as root, or
through sudo), so CI runs it on its own after the suite: tests/install/test_package.py BUILD_DIR"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import e2e_support  # noqa: E402
from e2e_support import SOURCE_DIR, TarvoCase  # noqa: E402

SUDO = [] if os.geteuid() == 0 else ["sudo"]
SYSTEM_FOLDERS = ["/usr", "/etc", "/var", "/opt", "/srv"]


def run(*args, **kw):
    done = subprocess.run(list(args), capture_output=True, text=True, **kw)
    if done.returncode != 0:
        raise AssertionError("%s ended with %d:\n%s%s" % (" ".join(args), done.returncode, done.stdout[-3000:],
                                                          done.stderr[-3000:]))
    return done.stdout


def apt_get(*args):
    run(*SUDO, "env", "DEBIAN_FRONTEND=noninteractive", "apt-get", "-y", "-q", *args)


def installed():
    return subprocess.run(["dpkg-query", "-W", "-f=${Status}", "tarvo"], capture_output=True, text=True).stdout \
        .endswith(" installed")


def package_paths(deb):
    """Every path the package holds, folders included, as it is installed."""
    paths = (line.split()[5].lstrip(".").rstrip("/") for line in run("dpkg-deb", "-c", deb).splitlines())
    return [path for path in paths if path]


def system_paths_named_tarvo():
    """What the package, its scripts or the program could leave in the system's folders."""
    found = run("find", *SYSTEM_FOLDERS, "-xdev", "-iname", "*tarvo*", "-not", "-path", "/var/lib/dpkg/*")
    return set(found.split("\n")) - {""}


class Package(TarvoCase):
    @classmethod
    def setUpClass(cls):
        if installed():
            apt_get("purge", "tarvo")
        # TARVO_DEB: a package built already, to check it without building it again.
        cls.deb = os.environ.get("TARVO_DEB")
        if not cls.deb:
            out = tempfile.mkdtemp(prefix="tarvo-deb-")
            cls.addClassCleanup(shutil.rmtree, out)
            run(os.path.join(SOURCE_DIR, "scripts", "package.sh"), out, cwd=SOURCE_DIR)
            cls.deb = glob.glob(os.path.join(out, "tarvo_*.deb"))[0]

    def setUp(self):
        super().setUp()
        # The installed copy decides its program folder itself: the per-user data folder.
        del self.env["TARVO_HOME"]
        self.env.pop("XDG_DATA_HOME", None)
        self.home = os.path.join(self.tmp, ".local", "share", "Tarvo") + "/"

    def test_the_package_installs_runs_in_the_users_folder_and_purges_cleanly(self):
        lintian = subprocess.run(["lintian", "--fail-on", "error,warning", self.deb], capture_output=True, text=True)
        self.assertEqual(lintian.returncode, 0, lintian.stdout)
        self.assertNotRegex(lintian.stdout, r"(?m)^[EW]: ")
        contents = package_paths(self.deb)
        present_before = {p for p in contents if os.path.lexists(p)}
        named_before = system_paths_named_tarvo()

        apt_get("install", os.path.abspath(self.deb))
        self.addCleanup(lambda: installed() and apt_get("purge", "tarvo"))
        run("appstreamcli", "validate", "--no-net", "/usr/share/metainfo/example.tarvo.Tarvo.metainfo.xml")
        self.assertEqual(run("desktop-file-validate", "/usr/share/applications/tarvo.desktop"), "")
        for page, text in (("tarvo", "Start hidden in the notification area"), ("tarvo-station", "RUNNING AS A SERVICE")):
            shown = subprocess.run(["man", "-P", "cat", page], env=dict(os.environ, MANWIDTH="100"),
                                   capture_output=True, text=True, check=True)
            self.assertIn(text, shown.stdout)
            self.assertEqual(shown.stderr, "")

        # Root may write into /usr: the installed copy must go to the per-user folder all the same.
        program_folder = sorted(run("find", "/usr/lib/tarvo").split())
        self.write_profile("Watch", Trigger=2, AutoCapAtStart=True, CapPic=True, ClickSound=False)
        self.set_stored("CurrentProfile", "Watch")
        tarvo = self.start("-m", exe="/usr/bin/tarvo")
        for line in ("Loaded profile: Watch", "Autocapturing on", "Picture saved as: " + self.home + "Log/"):
            self.wait_log(line, tarvo)
        self.assertEqual(tarvo.terminate()[0], 0)
        self.assertTrue(glob.glob(self.home + "Log/*.jpg"))
        for asset in ("alarm.wav", "click.wav", "offline.jpg", "example.bmp"):
            self.assertTrue(os.path.exists(self.home + asset), asset)
        self.assertEqual(sorted(run("find", "/usr/lib/tarvo").split()), program_folder)

        apt_get("purge", "tarvo")
        self.assertEqual({p for p in contents if os.path.lexists(p)}, present_before)
        self.assertEqual(system_paths_named_tarvo(), named_before)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: test_package.py BUILD_DIR (for its tools/write_profile)")
    e2e_support.WRITE_PROFILE = os.path.join(os.path.abspath(sys.argv.pop()), "tools", "write_profile")
    e2e_support.TARVO = "/usr/bin/tarvo"
    import unittest
    unittest.main(verbosity=2)

#!/usr/bin/python3
"""Soak run: motion auto-capturing on the test device with local pictures and FTP publishing to a
local pyftpdlib server for N minutes. Prints pictures taken, uploads done and resident memory every
minute, and at the end whether memory grew more than 5 % between minute 5 and the end."""
import argparse
import os
import sys
import tempfile
import time

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
sys.path.insert(0, os.path.join(ROOT, "bench", "wholerun"))
from tarvo_run import Run, cpu_seconds, device_mode, motion_profile, rss_kib  # noqa: E402
from e2e_support import FtpServer  # noqa: E402  (on the path tarvo_run sets)

WARM_MINUTE = 5
ALLOWED_GROWTH = 0.05


class SoakFtp(FtpServer):
    """The tests' FTP server on a scratch folder with the upload folder "www", counting uploads."""

    def __init__(self):
        root = tempfile.mkdtemp(prefix="tarvo-soak-ftp-")
        os.makedirs(root + "/www")
        self.log = root + ".log"
        super().__init__(root, self.log)

    def uploads(self):
        """Completed STOR commands (every upload, also those that replace the same name)."""
        try:
            with open(self.log, errors="replace") as f:
                return sum(1 for line in f if " STOR " in line and "completed=1" in line)
        except FileNotFoundError:
            return 0


def main():
    p = argparse.ArgumentParser()
    p.add_argument("build_dir")
    p.add_argument("--minutes", type=int, default=30)
    p.add_argument("--size", default="640x480")
    a = p.parse_args()
    w, h = (int(x) for x in a.size.split("x"))
    ftp = SoakFtp()
    settings = motion_profile("{home}", 30, [
        "UpPic=1", "WebsiteFTP=1", "FTPAddress=127.0.0.1", "Port=%d" % ftp.port, "UserName=tarvo",
        "Password=secret", "SavePassword=1", "UpDir=www", "PassiveMode=1"]) + device_mode(w, h, 30)
    rss = {}
    failed = False
    try:
        with Run(os.path.abspath(a.build_dir), settings) as run:
            start = time.monotonic()
            print("minute  pictures  uploads  rss_mib  cpu_%", flush=True)
            cpu_before = 0.0
            for minute in range(1, a.minutes + 1):
                while time.monotonic() - start < minute * 60:
                    time.sleep(1)
                    if not run.alive():
                        print("tarvo ended at minute %d with code %s" % (minute, run.proc.returncode))
                        failed = True
                        break
                if failed:
                    break
                cpu = cpu_seconds(run.proc.pid)
                rss[minute] = rss_kib(run.proc.pid) / 1024
                print("%6d  %8d  %7d  %7.1f  %5.1f" % (minute, run.pictures(), ftp.uploads(), rss[minute],
                                                       100 * (cpu - cpu_before) / 60), flush=True)
                cpu_before = cpu
            errors = [l for l in run.log().splitlines() if "Could not" in l or "rror" in l]
            print("log lines with errors: %d%s" % (len(errors), (" (first: %s)" % errors[0]) if errors else ""))
    finally:
        ftp.close()
    warm = min(WARM_MINUTE, max(1, a.minutes // 2))
    last = max(rss) if rss else 0
    if last > warm:
        growth = rss[last] / rss[warm] - 1
        verdict = "grew more than 5 %" if growth > ALLOWED_GROWTH else "within 5 %"
        print("RSS minute %d: %.1f MiB, minute %d: %.1f MiB, growth %+.1f %%: %s"
              % (warm, rss[warm], last, rss[last], 100 * growth, verdict))
        failed = failed or growth > ALLOWED_GROWTH
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()

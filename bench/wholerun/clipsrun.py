#!/usr/bin/python3
"""Memory and CPU of a long motion run with motion clips: tarvo -m plays an MJPEG clip of make-clips.sh
through the test device (box crossing a noisy room) with [Clips] on, and reports the resident memory
at the chosen minutes, the process's share of one core from the first alarm on, the clips written
and any frames the clip writer dropped. The clips carry the caption of local pictures (at the bottom,
or with --caption top at the top); --caption off leaves it out.
Usage: clipsrun.py <build-dir> --clip clip-1920x1080-30.avi [--minutes 30] [--marks 5,30]
                   [--caption bottom|top|off] [--json]"""
import argparse
import json
import os
import re
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tarvo_run import Run, cpu_seconds, device_mode, motion_profile, rss_kib, wait_for  # noqa: E402


def main():
    p = argparse.ArgumentParser()
    p.add_argument("build_dir")
    p.add_argument("--clip", required=True, help="MJPEG AVI named clip-WxH-FPS.avi")
    p.add_argument("--minutes", type=float, default=30)
    p.add_argument("--marks", default="5,30", help="minutes at which the resident memory is recorded")
    p.add_argument("--caption", choices=["bottom", "top", "off"], default="bottom")
    p.add_argument("--json", action="store_true")
    a = p.parse_args()
    clip = os.path.abspath(a.clip)
    m = re.search(r"(\d+)x(\d+)-(\d+)\.avi$", clip)
    if not m:
        raise SystemExit("clip names end in WxH-FPS.avi")
    w, h, fps = (int(x) for x in m.groups())
    marks = sorted(float(x) for x in a.marks.split(","))
    # Clips of at most 10 s, an alarm at most every 30 s, and the video folder kept under 1 GB by
    # the storage keeper, so a long run neither fills the disk nor writes without a pause.
    settings = motion_profile("{home}", fps, ["VideoDir={home}Videos/", "VidNaming=2", "RearmEnabled=1",
                                              "RearmMin=0", "RearmSec=30", "CapPic=0", "CreateLogfile=1",
                                              "CaptionLocal=%d" % (a.caption != "off"),
                                              "CapTop=%d" % (a.caption == "top"), "CapBottom=%d" % (a.caption != "top")]) + \
        device_mode(w, h, fps, "MJPG") + \
        ["ini:Clips/Enabled=true", "ini:Clips/PreSeconds=3", "ini:Clips/PostSeconds=5", "ini:Clips/MaxSeconds=10",
         "ini:Storage/MaxMegabytes=1000"]
    with Run(os.path.abspath(a.build_dir), settings, clip) as run:
        wait_for(lambda: "Motion detected" in run.log() or not run.alive(), timeout=120, what="the first alarm")
        start = time.monotonic()
        cpu_start = cpu_seconds(run.proc.pid)
        rss, peak = {}, 0
        while time.monotonic() - start < a.minutes * 60 and run.alive():
            time.sleep(5)
            now = rss_kib(run.proc.pid)
            peak = max(peak, now)
            minute = (time.monotonic() - start) / 60
            for mark in marks:
                if mark not in rss and minute >= mark:
                    rss[mark] = now / 1024
                    print("minute %g: RSS %.1f MiB" % (mark, now / 1024), file=sys.stderr, flush=True)
        if not run.alive():
            raise SystemExit("tarvo ended during the run; see " + run.tmp + "/stderr.txt")
        core = 100 * (cpu_seconds(run.proc.pid) - cpu_start) / (time.monotonic() - start)
        log = run.log()
        result = {"size": "%dx%d" % (w, h), "fps": fps, "caption": a.caption,
                  "minutes": round((time.monotonic() - start) / 60, 1), "core_percent": round(core, 1),
                  "rss_mib": {str(k): round(v, 1) for k, v in rss.items()}, "peak_rss_mib": round(peak / 1024, 1),
                  "clips": log.count("Motion clip saved as: "), "clip_failures": log.count("Motion clip could not"),
                  "clips_dropping": log.count("Motion clip drops frames")}
    print(json.dumps(result) if a.json else
          "%s/%d fps, caption %s, %.1f min: %.1f %% of a core, RSS %s MiB, peak %.1f MiB; %d clips saved, %d failed, "
          "%d dropped frames" % (result["size"], fps, a.caption, result["minutes"], result["core_percent"], result["rss_mib"],
                                 result["peak_rss_mib"], result["clips"], result["clip_failures"], result["clips_dropping"]))


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Whole-run cost of motion auto-capturing: tarvo -m on the test device at the chosen size and
30 fps for N seconds; prints CPU seconds per wall second (fraction of one core) and resident memory.
With --clip, the test device plays an MJPEG AVI clip (bench/wholerun/make-clips.sh) in an MJPG mode of
its size, handing its JPEG frames on as a camera would; --caption adds the caption and JPEG quality 90.
With --viewers N the live view runs with N viewers of its stream; with --idle auto-capturing stays
off (the login start's usual state), and counting starts once the viewers get pictures; --alarms sets
the [Alarms] group.
Usage: wholerun.py <build-dir> [--seconds 60] [--size 640x480] [--fps 30] [--warmup 5] [--clip FILE] [--viewers N]
                   [--idle] [--caption] [--json] [--source-alone] [--alarms KEY=VALUE,...]"""
import argparse
import json
import os
import re
import socket
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tarvo_run import Run, cpu_seconds, device_mode, motion_profile, rss_kib, wait_for  # noqa: E402


class Viewers:
    """n browsers on the live view's stream, each reading it as fast as it comes."""

    def __init__(self, port, n):
        self.stop, self.parts, self.threads = False, [0] * n, []
        for i in range(n):
            t = threading.Thread(target=self.view, args=(port, i), daemon=True)
            t.start()
            self.threads.append(t)

    def view(self, port, i):
        deadline = time.monotonic() + 60
        while not self.stop and time.monotonic() < deadline:
            try:
                with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
                    s.sendall(b"GET /stream.mjpg HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
                    while not self.stop:
                        data = s.recv(65536)
                        if not data:
                            break
                        self.parts[i] += data.count(b"\xff\xd8\xff")
            except OSError:
                time.sleep(0.5)  # the live view is not up yet

    def close(self):
        self.stop = True
        for t in self.threads:
            t.join(timeout=10)


def measure(build_dir, seconds, width, height, fps, warmup, clip=None, caption=False, viewers=None, alarms=None,
            idle=False):
    extra = ["CaptionLocal=1", "PicQual=90"] if caption else []
    settings = motion_profile("{home}", fps, extra) + device_mode(width, height, fps, "MJPG" if clip else "YUY2")
    if idle:
        settings = [s for s in settings if not s.startswith("AutoCapAtStart=")] + ["AutoCapAtStart=0"]
    # Port 0: the live view takes a free port and names it in the log.
    extras = "[LiveView]\nEnabled=true\nPort=0\nStreamFps=5\n" if viewers is not None else ""
    if alarms:
        extras += "[Alarms]\n" + "".join(line + "\n" for line in alarms.split(","))
    with Run(build_dir, settings, clip, extras) as run:
        crowd = None
        if viewers:
            wait_for(lambda: "Live view at" in run.log() or not run.alive(), timeout=60, what="the live view")
            port = int(re.findall(r"Live view at http://127\.0\.0\.1:(\d+)/", run.log())[-1])
            crowd = Viewers(port, viewers)
        if idle:
            # Idle, counting starts once the viewers get pictures (with none, once the program is up).
            wait_for(lambda: (sum(crowd.parts) > 0 if crowd else "Loaded driver" in run.log()) or not run.alive(),
                     timeout=60 + warmup, what="the first pictures of the stream")
        else:
            # Counting starts once the first motion picture is written: auto-capturing is running.
            wait_for(lambda: run.pictures() > 0 or not run.alive(), timeout=60 + warmup,
                     what="the first motion picture")
        if not run.alive():
            raise SystemExit("tarvo ended early; see " + run.tmp + "/stderr.txt")
        time.sleep(warmup)
        cpu0, wall0, pics0 = cpu_seconds(run.proc.pid), time.monotonic(), run.pictures()
        if crowd:
            crowd.parts = [0] * len(crowd.parts)
        peak = 0
        while time.monotonic() - wall0 < seconds:
            time.sleep(1)
            peak = max(peak, rss_kib(run.proc.pid))
        cpu1, wall1 = cpu_seconds(run.proc.pid), time.monotonic()
        if crowd:
            crowd.close()
        result = {"size": "%dx%d" % (width, height), "fps": fps, "clip": bool(clip), "seconds": round(wall1 - wall0, 1),
                  "core_fraction": (cpu1 - cpu0) / (wall1 - wall0), "rss_mib": rss_kib(run.proc.pid) / 1024,
                  "peak_rss_mib": peak / 1024, "pictures": run.pictures() - pics0,
                  "picture_size": "%dx%d" % (run.picture_size() or (0, 0)), "viewers": viewers, "idle": idle,
                  "stream_pictures_per_viewer_s": sum(crowd.parts) / len(crowd.parts) / (wall1 - wall0) if crowd else 0}
        if not run.alive():
            raise SystemExit("tarvo ended during the measurement")
        return result


def measure_source_alone(seconds, width, height, fps, clip=None):
    """The same test pattern (or clip, at its own pace) produced and thrown away by gst-launch: what
    the test device costs by itself, which a real camera does not. A clip is measured for at most
    its own length less the start."""
    if clip:
        pipeline = ["filesrc", "location=" + clip, "!", "avidemux", "!", "image/jpeg", "!", "fakesink", "sync=true"]
    else:
        caps = "video/x-raw,format=YUY2,width=%d,height=%d,framerate=%d/1" % (width, height, fps)
        pipeline = ["videotestsrc", "pattern=ball", "is-live=true", "!", caps, "!", "fakesink", "sync=true"]
    proc = subprocess.Popen(["gst-launch-1.0", "-q", *pipeline], stdout=subprocess.DEVNULL)
    try:
        time.sleep(2)
        cpu0, wall0 = cpu_seconds(proc.pid), time.monotonic()
        time.sleep(seconds)
        cpu1, wall1 = cpu_seconds(proc.pid), time.monotonic()
    finally:
        proc.terminate()
        proc.wait()
    return {"size": "%dx%d" % (width, height), "fps": fps, "clip": bool(clip), "seconds": round(wall1 - wall0, 1),
            "core_fraction": (cpu1 - cpu0) / (wall1 - wall0), "source_alone": True}


def main():
    p = argparse.ArgumentParser()
    p.add_argument("build_dir")
    p.add_argument("--seconds", type=float, default=60)
    p.add_argument("--size", default="640x480")
    p.add_argument("--fps", type=int, default=30)
    p.add_argument("--warmup", type=float, default=5)
    p.add_argument("--json", action="store_true")
    p.add_argument("--clip", help="MJPEG AVI named clip-WxH-FPS.avi, played as an MJPEG camera")
    p.add_argument("--caption", action="store_true", help="pictures with the caption, JPEG quality 90")
    p.add_argument("--source-alone", action="store_true", help="measure only the test pattern via gst-launch")
    p.add_argument("--viewers", type=int, help="live view on, with this many stream viewers (0: on, none watching)")
    p.add_argument("--alarms", help="[Alarms] settings, e.g. MinGroupPoints=4,IgnoreLightChange=true")
    p.add_argument("--idle", action="store_true", help="auto-capturing off")
    a = p.parse_args()
    w, h = (int(x) for x in a.size.split("x"))
    clip = os.path.abspath(a.clip) if a.clip else None
    if clip:
        m = re.search(r"(\d+)x(\d+)-(\d+)\.avi$", clip)
        if not m:
            raise SystemExit("clip names end in WxH-FPS.avi")
        w, h, a.fps = (int(x) for x in m.groups())
    if a.source_alone:
        r = measure_source_alone(a.seconds, w, h, a.fps, clip)
        print(json.dumps(r) if a.json else "test pattern alone, %s/%d fps: %.1f %% of one core"
              % (r["size"], r["fps"], 100 * r["core_fraction"]))
        return
    r = measure(os.path.abspath(a.build_dir), a.seconds, w, h, a.fps, a.warmup, clip, a.caption, a.viewers, a.alarms,
                a.idle)
    if a.json:
        print(json.dumps(r))
    else:
        print("%s/%d fps over %.0f s: %.1f %% of one core, RSS %.1f MiB (peak %.1f), %d pictures of %s, %.1f stream pictures/s"
              % (r["size"], r["fps"], r["seconds"], 100 * r["core_fraction"], r["rss_mib"],
                 r["peak_rss_mib"], r["pictures"], r["picture_size"], r["stream_pictures_per_viewer_s"]))


if __name__ == "__main__":
    main()

#!/usr/bin/env bash
# Runs the whole suite under ThreadSanitizer (not part of CI's time budget) with the suppressions of
# tsan.supp, which only stop checking inside libraries not built with it. A test fails on any
# report, except the canary (label tsan-canary), which always runs and fails unless its deliberate
# race between a streaming thread and the GUI thread is what gets reported.
# Usage: scripts/tsan.sh [-R regex] [-j N]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test
scripts/build.sh build-tsan -DTARVO_TSAN=ON -DTARVO_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
# QProcess starts programs (ffmpeg in the tests, alarm commands) by fork and exec from a process
# with threads; the child only execs, so the sanitizer must not stop it for starting a thread.
exec /usr/bin/python3 - build-tsan "second_deadlock_stack=1 die_after_fork=0 halt_on_error=1 exitcode=66 suppressions=$PWD/tsan.supp" "$@" <<'PY'
"""Runs the tests of a ThreadSanitizer build the way ctest would (command, environment, working
folder, time limit), but with TSAN_OPTIONS set here: the tests' own registration sets a
TSAN_OPTIONS without suppressions, which would win over the caller's environment.
Arguments: <build-dir> <tsan-options> [-R regex] [-j N]"""
import argparse
import concurrent.futures
import json
import os
import re
import subprocess
import sys

p = argparse.ArgumentParser()
p.add_argument("build_dir")
p.add_argument("tsan_options")
p.add_argument("-R", dest="regex", default="")
p.add_argument("-j", dest="jobs", type=int, default=os.cpu_count())
a = p.parse_args()

listing = json.loads(subprocess.run(["ctest", "--show-only=json-v1"], cwd=a.build_dir, check=True,
                                    capture_output=True, text=True).stdout)


def run(test):
    if "command" not in test:
        return test["name"], False, "not built"
    props = {q["name"]: q["value"] for q in test.get("properties", [])}
    env = dict(os.environ)
    for entry in props.get("ENVIRONMENT", []):
        name, _, value = entry.partition("=")
        env[name] = value
    env["TSAN_OPTIONS"] = a.tsan_options
    try:
        r = subprocess.run(test["command"], cwd=props.get("WORKING_DIRECTORY", a.build_dir), env=env,
                           capture_output=True, text=True, errors="replace", timeout=props.get("TIMEOUT", 900))
        output = r.stdout + r.stderr
        reports = output.count("WARNING: ThreadSanitizer")
        if is_canary(test):
            # The other side's stack may be too old to restore; the raced variable names the race.
            ok = reports == 1 and "data race" in output and "::unguarded'" in output
        else:
            ok = r.returncode == 0 and reports == 0
    except subprocess.TimeoutExpired:
        output, ok = "timed out", False
    return test["name"], ok, output


def is_canary(test):
    return any(q["name"] == "LABELS" and "tsan-canary" in q["value"] for q in test.get("properties", []))


# The Wayland lane loads the compositor's client stack (libwayland, libffi, Mesa's EGL), none of it
# built with the sanitizer, whose own locking reads as misuse; the program's threads there are
# those of the X11 lanes, which run here.
LEFT_OUT = {"e2e_wayland"}
tests = [t for t in listing["tests"]
         if (re.search(a.regex, t["name"]) and t["name"] not in LEFT_OUT) or is_canary(t)]
if not any(is_canary(t) for t in tests):
    sys.exit("the canary test is missing from " + a.build_dir)
failed = []
with concurrent.futures.ThreadPoolExecutor(a.jobs) as pool:
    for name, ok, output in pool.map(run, tests):
        print("%-32s %s" % (name, "passed" if ok else "FAILED"), flush=True)
        if not ok:
            failed.append(name)
            sys.stdout.write(output[-20000:] + "\n")
print("%d of %d tests clean under ThreadSanitizer" % (len(tests) - len(failed), len(tests)))
sys.exit(1 if failed else 0)
PY

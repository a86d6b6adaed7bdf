#!/usr/bin/env bash
# Real footage through the motion comparison: the sample clips of Debian's opencv-doc package (a
# tree whose leaves sway under flickering light, a hand reaching in at 23.1 s; a car park with
# people walking through all of it), copied to MJPEG AVIs as a camera sends them, replayed by
# footage_replay under the settings compared in bench/README.md.
# Usage: bench/engine/footage.sh [build-dir=build] [folder=/tmp/tarvo-footage]
set -euo pipefail
build=$(realpath "${1:-build}")
out=${2:-/tmp/tarvo-footage}
mkdir -p "$out"
cd "$out"
data=usr/share/doc/opencv-doc/examples/data
if [ ! -s "$data/tree.avi" ] || [ ! -s "$data/vtest.avi" ]; then
  # About 96 MB: downloaded, not installed; only the two clips are unpacked.
  ls opencv-doc_*.deb >/dev/null 2>&1 || apt-get download opencv-doc
  dpkg-deb --fsys-tarfile opencv-doc_*.deb | tar -x "./$data/tree.avi" "./$data/vtest.avi"
fi
mjpeg() { # source, target, extra filter
  [ -s "$2" ] && return
  ffmpeg -loglevel error -y -i "$1" -vf "$3${3:+,}format=yuvj422p" -c:v mjpeg -q:v 4 -an -f avi "$2.part"
  mv "$2.part" "$2"
}
# The light steps up and down as a lamp or the camera's exposure does: x1.25, x1.5, x0.5, x2,
# each for 3 s; the last ends just as the hand reaches in.
light=""
for step in 3,6,1.25 9,12,1.5 15,18,0.5 21,23.2,2; do
  IFS=, read -r from to gain <<<"$step"
  light+="${light:+,}colorchannelmixer=rr=$gain:gg=$gain:bb=$gain:enable='between(t,$from,$to)'"
done
mjpeg "$data/tree.avi" tree-320x240-15.avi ""
mjpeg "$data/tree.avi" tree-768x576-15.avi "scale=768:576"
mjpeg "$data/tree.avi" treelight-320x240-15.avi "$light"
mjpeg "$data/vtest.avi" carpark-768x576-10.avi ""

# One set of settings a line (SETTINGS overrides them); METER=1 adds the largest groups seen.
settings=${SETTINGS:-$'\n--points 30\n--points 8\n--group 4\n--group 4 --light 60'}
replay() { printf '%-26s %-28s ' "$1" "$2"; "$build/bench/footage_replay" "$out/$1" $2 --meter "${METER:-0}"; }
while IFS= read -r s; do
  for clip in tree-320x240-15.avi tree-768x576-15.avi treelight-320x240-15.avi; do
    replay "$clip" "--from 23.1 $s"
  done
  replay carpark-768x576-10.avi "--from 0 $s"
done <<<"$settings"

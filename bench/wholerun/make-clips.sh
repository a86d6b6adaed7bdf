#!/usr/bin/env bash
# Writes the MJPEG AVI clips the whole-run measurement plays through the test device, as an MJPEG
# camera would deliver them: a grey-blue room with sensor noise on every frame and a box crossing
# it. Usage: make-clips.sh <folder> [seconds=20]; makes clip-640x480-15.avi and clip-1920x1080-30.avi.
set -euo pipefail
out=${1:?folder}
seconds=${2:-20}
mkdir -p "$out"
for mode in 640x480:15 1920x1080:30; do
  size=${mode%:*} fps=${mode#*:}
  w=${size%x*} h=${size#*x}
  file="$out/clip-$size-$fps.avi"
  [ -s "$file" ] && continue
  ffmpeg -loglevel error -y \
    -f lavfi -i "color=c=0x5a6878:size=${size}:rate=${fps},drawgrid=w=$((w / 8)):h=$((h / 6)):t=2:c=0x34404c" \
    -f lavfi -i "color=c=0xd08030:size=$((w / 8))x$((h / 4)):rate=${fps}" \
    -filter_complex "[0][1]overlay=x='mod(t*${w}/4\,${w})':y=${h}/3,noise=alls=10:allf=t,format=yuvj422p" \
    -t "$seconds" -c:v mjpeg -q:v 4 -an -f avi "$file.part"
  mv "$file.part" "$file"
done

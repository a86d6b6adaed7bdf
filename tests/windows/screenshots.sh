#!/usr/bin/env bash
# Screenshots of the caption example, the detection-area window and the FTP test window for the
# user guide, taken under Xvfb with a window manager so the title bars show.
# Usage: tests/windows/screenshots.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
src=$(cd "$(dirname "$0")/../.." && pwd)
out="$src/docs/screenshots"
mkdir -p "$out"
tool="$build/tests/windows_screenshots"

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
unset QT_QPA_PLATFORM
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

# shot NAME TITLE-PATTERN ARGS...: starts the tool, waits for its window and a quiet moment, grabs
# the window with its frame.
shot() {
  local name=$1 pattern=$2; shift 2
  "$tool" "$@" >/dev/null 2>&1 &
  local tool_pid=$!
  local id=""
  for _ in $(seq 100); do
    id=$(xdotool search --name "$pattern" 2>/dev/null | head -1) && [ -n "$id" ] && break
    sleep 0.1
  done
  sleep 2
  import -frame -window "$id" "$out/$name"
  kill "$tool_pid"
  wait "$tool_pid" 2>/dev/null || true
}

shot caption-example.png "Caption Example" caption
shot detection-area.png "Define motion detection area" area

port_file=$(mktemp)
ftp_root=$(mktemp -d); ftp_recv=$(mktemp -d)
mkdir "$ftp_root/www"
/usr/bin/python3 "$src/tests/support/ftp_server.py" --root "$ftp_root" --received "$ftp_recv" >"$port_file" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do grep -q PORT "$port_file" && break; sleep 0.1; done
shot ftp-test.png "Testing FTP settings" ftp "$(awk '{print $2}' "$port_file")"
rm -rf "$port_file" "$ftp_root" "$ftp_recv"
echo "screenshots in $out"

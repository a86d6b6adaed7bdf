#!/usr/bin/env bash
# The user guide's screenshots, taken under a private Xvfb into docs/screenshots: the setup
# dialog's pages, the profile and proxy windows (bare, as the dialog draws them), then the caption
# example, the detection-area window and the FTP test window with a window manager's title bars.
# Usage: scripts/screenshots.sh [build folder]
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$src/build}" && pwd)
out="$src/docs/screenshots"
mkdir -p "$out"
[ -x "$build/tools/show_window" ] || cmake --build "$build" --target show_window
tool="$build/tools/show_window"

fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x1280x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
pids=()
ftp_dirs=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$fifo" "${ftp_dirs[@]}"
}
trap cleanup EXIT
read -r number <"$fifo" # Xvfb writes its display number once it accepts clients
export DISPLAY=:$number QT_QPA_PLATFORM=xcb

# shot NAME TITLE-PATTERN ARGS...: starts the tool, waits for its window and a quiet moment, grabs
# the window with its frame.
shot() {
  local name=$1 pattern=$2; shift 2
  "$tool" "$@" >/dev/null 2>&1 &
  local tool_pid=$!
  xdotool search --sync --name "$pattern" >/dev/null
  sleep 1
  import -frame -window "$(xdotool search --name "$pattern" | head -1)" "$out/$name.png"
  kill "$tool_pid"
  wait "$tool_pid" 2>/dev/null || true
}

for page in 0 1 2 3 4 5 6 7; do
  shot "setup-$page" "^Setup" setup "$page"
done
shot profiles "Select setup profile" profiles
shot proxy "Firewall / Proxy" proxy

openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
shot caption-example "Caption Example" caption
shot detection-area "Define motion detection area" area

ftp_root=$(mktemp -d); ftp_recv=$(mktemp -d); ftp_dirs+=("$ftp_root" "$ftp_recv")
mkdir "$ftp_root/www"
/usr/bin/python3 "$src/tests/support/ftp_server.py" --root "$ftp_root" --received "$ftp_recv" >"$ftp_recv.port" 2>/dev/null &
pids+=($!)
ftp_dirs+=("$ftp_recv.port")
for _ in $(seq 100); do grep -q PORT "$ftp_recv.port" && break; sleep 0.1; done
shot ftp-test "Testing FTP settings" ftp "$(awk '{print $2}' "$ftp_recv.port")"
echo "screenshots in $out"

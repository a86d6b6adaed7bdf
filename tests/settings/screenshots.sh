#!/bin/sh
# Screenshots of the settings windows under a private Xvfb: docs/screenshots/setup-<n>.png,
# profiles.png, proxy.png. Usage: screenshots.sh <build folder>
set -eu
build=$1
out=$(cd "$(dirname "$0")/../.." && pwd)/docs/screenshots
mkdir -p "$out"
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x1280x24 -nolisten tcp 3>"$fifo" &
xvfb=$!
trap 'kill $xvfb; rm -f "$fifo"' EXIT
read -r number <"$fifo" # Xvfb writes its display number once it accepts clients
export DISPLAY=:$number QT_QPA_PLATFORM=xcb

shoot() { # name, window title, arguments
    name=$1; title=$2; shift 2
    "$build/tests/show_settings_window" "$@" &
    pid=$!
    xdotool search --sync --name "$title" >/dev/null
    xdotool sleep 0.5
    id=$(xdotool search --name "$title" | head -1)
    import -window "$id" -frame "$out/$name.png"
    kill $pid
    wait $pid 2>/dev/null || true
}
for page in 0 1 2 3 4 5 6 7; do
    shoot "setup-$page" "^Setup" setup "$page"
done
shoot profiles "Select setup profile" profiles
shoot proxy "Firewall / Proxy" proxy

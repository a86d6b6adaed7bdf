#!/usr/bin/env bash
# An installed copy runs from a read-only program folder: it must keep its profiles, log and
# website folder in the user's data folder, with the bundled sounds and pictures copied there.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
for f in bin/tarvo bin/tarvo-station lib/tarvo/tarvo lib/tarvo/tarvo-station lib/systemd/user/tarvo-station.service lib/tarvo/alarm.wav lib/tarvo/offline.jpg \
         share/applications/tarvo.desktop share/icons/hicolor/64x64/apps/tarvo.png; do
  [ -e "$work/prefix/$f" ] || { echo "missing after install: $f"; exit 1; }
done
grep -q '^Exec=tarvo$' "$work/prefix/share/applications/tarvo.desktop"
grep -q "^ExecStart=$work/prefix/bin/tarvo-station$" "$work/prefix/lib/systemd/user/tarvo-station.service"

# As root every folder is writable; run as an ordinary user to see the per-user fallback.
[ "$(id -u)" -eq 0 ] && id nobody >/dev/null 2>&1 || { echo "needs root and the user nobody"; exit 77; }
home="$work/home"
mkdir -p "$home" && chown nobody "$home" && chmod 755 "$work" "$work/prefix"
chmod -R a+rX,go-w "$work/prefix"
set +e
timeout -s TERM 20 runuser -u nobody -- env -i HOME="$home" PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen \
  TARVO_UPDATE_HOST=127.0.0.1:9 "$work/prefix/bin/tarvo" -m >/dev/null 2>&1 &
pid=$!
set -e
data="$home/.local/share/Tarvo"
for _ in $(seq 1 300); do
  grep -q "Loaded profile: Default" "$data/Log/Log.txt" 2>/dev/null && break
  sleep 0.05
done
kill -TERM $pid 2>/dev/null || true
wait $pid || true
for f in Profiles/Default.pfl Log/Log.txt alarm.wav click.wav offline.jpg example.bmp; do
  [ -e "$data/$f" ] || { echo "missing in the per-user folder: $f"; exit 1; }
done
[ "$(stat -c %s "$data/Profiles/Default.pfl")" -eq 5532 ]
[ ! -e "$work/prefix/lib/tarvo/Profiles" ] || { echo "wrote into the program folder"; exit 1; }
echo "installed copy keeps its files in $data"

#!/usr/bin/env bash
# An installed copy keeps its profiles, log and website folder in the user's data folder, with the
# bundled sounds and pictures copied there: for an ordinary user, whose program folder is read-only,
# and for root, who could write into it.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
for f in bin/tarvo bin/tarvo-station lib/tarvo/tarvo lib/tarvo/tarvo-station lib/systemd/user/tarvo-station.service lib/tarvo/alarm.wav lib/tarvo/offline.jpg \
         share/applications/tarvo.desktop share/metainfo/example.tarvo.Tarvo.metainfo.xml share/man/man1/tarvo.1 \
         share/man/man1/tarvo-station.1 share/icons/hicolor/{48x48,64x64,128x128}/apps/tarvo.png share/icons/hicolor/scalable/apps/tarvo.svg; do
  [ -e "$work/prefix/$f" ] || { echo "missing after install: $f"; exit 1; }
done
grep -q '^Exec=tarvo$' "$work/prefix/share/applications/tarvo.desktop"
grep -q "^ExecStart=$work/prefix/bin/tarvo-station$" "$work/prefix/lib/systemd/user/tarvo-station.service"

# Running as another user needs root.
[ "$(id -u)" -eq 0 ] && id nobody >/dev/null 2>&1 || { echo "needs root and the user nobody"; exit 77; }
# run_installed USER HOME: starts the installed tarvo -m as USER until the profile is loaded, then
# checks the user's data folder and that the program folder stayed as installed.
run_installed() {
  local user=$1 home=$2
  mkdir -p "$home" && chown "$user" "$home"
  set +e
  timeout -s TERM 20 runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen \
    TARVO_UPDATE_HOST=127.0.0.1:9 "$work/prefix/bin/tarvo" -m >/dev/null 2>&1 &
  local pid=$!
  set -e
  local data="$home/.local/share/Tarvo"
  for _ in $(seq 1 300); do
    grep -q "Loaded profile: Default" "$data/Log/Log.txt" 2>/dev/null && break
    sleep 0.05
  done
  kill -TERM $pid 2>/dev/null || true
  wait $pid || true
  for f in Profiles/Default.pfl Log/Log.txt alarm.wav click.wav offline.jpg example.bmp; do
    [ -e "$data/$f" ] || { echo "$user: missing in the per-user folder: $f"; exit 1; }
  done
  [ "$(stat -c %s "$data/Profiles/Default.pfl")" -eq 5532 ]
  [ ! -e "$work/prefix/lib/tarvo/Profiles" ] || { echo "$user: wrote into the program folder"; exit 1; }
}
chmod 755 "$work" "$work/prefix"
chmod -R a+rX,go-w "$work/prefix"
run_installed nobody "$work/home"
run_installed root "$work/root"
echo "installed copy keeps its files in the per-user folder"

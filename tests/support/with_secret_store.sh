#!/bin/sh
# Runs a command inside a private D-Bus session with its own unlocked GNOME Keyring, so tests use a
# real Secret Service and never the user's. Exits 77 (a skipped test) when the tools are missing.
# Usage: with_secret_store.sh command [arguments...]
set -eu
if ! command -v dbus-run-session >/dev/null || ! command -v gnome-keyring-daemon >/dev/null; then
    echo "dbus-run-session or gnome-keyring-daemon missing (packages dbus, gnome-keyring): skipped"
    exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The keyring files and the daemon's control socket stay in the scratch folder.
export HOME="$scratch" XDG_DATA_HOME="$scratch/data" XDG_RUNTIME_DIR="$scratch/run" XDG_CONFIG_HOME="$scratch/config"
mkdir -p "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME"
chmod 700 "$XDG_RUNTIME_DIR"
# An empty line unlocks (creates) the login keyring with an empty password. The daemon leaves with
# the session bus, which ends with the command.
dbus-run-session -- sh -c 'echo | gnome-keyring-daemon --unlock --components=secrets >/dev/null && exec "$@"' sh "$@"

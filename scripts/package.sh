#!/usr/bin/env bash
# Builds the Debian package tarvo_<version>_<arch>.deb from this tree into the folder OUT.
# Usage: scripts/package.sh OUT
set -euo pipefail
[ $# -eq 1 ] || { echo "Usage: scripts/package.sh OUT" >&2; exit 2; }
mkdir -p "$1"
out=$(realpath "$1")
cd "$(dirname "$0")/.."
scripts/setup.sh package

# The program's version is written once, in ui/ProgramVersion.h; the changelog and the AppStream
# entry must have a release of it.
version=$(sed -n 's/.*VersionText = "\([0-9.]*\)".*/\1/p' ui/ProgramVersion.h)
if [ "$(dpkg-parsechangelog -S Version)" != "$version" ]; then
  echo "debian/changelog: the newest entry must be version $version, the program's" >&2
  exit 1
fi
if ! grep -q "<release version=\"$version\"" assets/example.tarvo.Tarvo.metainfo.xml; then
  echo "assets/example.tarvo.Tarvo.metainfo.xml: no release $version" >&2
  exit 1
fi

# A copy of the tree (what git tracks and what it does not ignore, but no earlier package in OUT),
# so that the build leaves this checkout as it was. Its place stays the same from one run to the next: the compiler cache keys
# on the folder the compiler runs in.
work=${TMPDIR:-/tmp}/tarvo-package-$(id -u)
exec 9>"$work.lock"
flock 9
rm -rf "$work"
src="$work/tarvo-$version"
mkdir -p "$src"
inside=$(realpath --relative-to=. "$out")
git ls-files -z --cached --others --exclude-standard | { grep -zv "^$inside/" || true; } |
  tar --null --files-from=- --ignore-failed-read -cf - 2>/dev/null | tar -C "$src" -xf -

# The suite has already run on this tree; the package build compiles the program only.
# debhelper gives the build a HOME of its own, so the compiler cache is named explicitly.
options=()
if command -v ccache >/dev/null; then
  options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  CCACHE_DIR=$(ccache --get-config cache_dir)
  export CCACHE_DIR
fi
(cd "$src" && TARVO_CMAKE_OPTIONS="${options[*]}" DEB_BUILD_OPTIONS="nocheck parallel=$(nproc) ${DEB_BUILD_OPTIONS:-}" \
  dpkg-buildpackage --build=binary --no-sign)
deb="tarvo_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb"
cp "$work/$deb" "$out/"
rm -rf "$work"
echo "$out/$deb"

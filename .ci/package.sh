#!/usr/bin/env bash
# CI: build the Debian package from the build directory, install it, read its
# manual page with man, run the installed program, and remove the package.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v man >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq man-db
fi

cmake -B build -G Ninja >/dev/null
cmake --build build --target tav32
(cd build && rm -f tav32_*.deb && cpack -G DEB >/dev/null)
deb=$(ls build/tav32_*.deb)
echo "Package: $deb"
dpkg-deb --contents "$deb"

# Minimal images tell dpkg to leave manual pages out; this one is wanted.
dpkg --path-include='/usr/share/man/man1/tav32.1*' -i "$deb"
trap 'dpkg -r tav32 >/dev/null 2>&1 || true' EXIT

[ "$(command -v tav32)" = /usr/bin/tav32 ]
[ "$(tav32 --version | head -n 1)" = 'TAV32 1.21' ]
page=$(man -P cat tav32)
head -n 20 <<<"$page"
grep -q 'unattended update interpreter' <<<"$page"

# A run of the installed program.
work=$(mktemp -d)
printf 'Echo installed\n' >"$work/p.tav"
(cd "$work" && WINDIR="$work" tav32 p.tav -LOG run.log </dev/null)
grep -q installed "$work/run.log"
rm -rf "$work"

dpkg -r tav32
trap - EXIT
[ ! -e /usr/bin/tav32 ] && [ ! -e /usr/share/man/man1/tav32.1.gz ] && [ ! -e /usr/share/man/man1/tav32.1 ]
! dpkg -s tav32 >/dev/null 2>&1 || dpkg -s tav32 | grep -q 'Status: deinstall'
echo "Package installs and removes cleanly."

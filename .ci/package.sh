#!/usr/bin/env bash
# CI: build the Debian package from the build directory, check it with
# lintian (an error fails), install it, read its manual page with man, run
# the installed program, and remove the package. Also checks that
# `cmake --install --strip` installs a stripped program.
set -euo pipefail
cd "$(dirname "$0")/.."

bash .ci/install-missing.sh man-db lintian

cmake -B build -G Ninja >/dev/null
cmake --build build --target tav32 tav32_docs
(cd build && rm -f tav32_*.deb && cpack -G DEB >/dev/null)
deb=$(ls build/tav32_*.deb)
echo "Package: $deb"
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"
# Errors fail the build; warnings and notes are shown.
lintian --fail-on error --display-info "$deb"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cmake --install build --prefix "$stage" --strip >/dev/null
! readelf -S "$stage/bin/tav32" | grep -q '\.symtab' || { echo "--strip left the symbol table in bin/tav32"; exit 1; }
rm -rf "$stage"

# Minimal images tell dpkg to leave manual pages and documents out; these
# are wanted.
dpkg --path-include='/usr/share/man/man1/tav32.1*' --path-include='/usr/share/doc/tav32/*' -i "$deb"
trap 'dpkg -r tav32 >/dev/null 2>&1 || true' EXIT

[ "$(command -v tav32)" = /usr/bin/tav32 ]
version=$(dpkg-deb -f "$deb" Version)
[ "$(tav32 --version | head -n 1)" = "TAV32 ${version%-*}" ]
page=$(man -P cat tav32)
head -n 20 <<<"$page"
grep -q 'unattended update interpreter' <<<"$page"
grep -q "TAV32 ${version%-*}" <<<"$page"
grep -q '^License: ' /usr/share/doc/tav32/copyright
[ "$(zcat /usr/share/doc/tav32/changelog.Debian.gz | head -n 1)" = "tav32 ($version) unstable; urgency=medium" ]

# A run of the installed program.
work=$(mktemp -d)
printf 'Echo installed\n' >"$work/p.tav"
(cd "$work" && WINDIR="$work" tav32 p.tav -LOG run.log </dev/null)
grep -q installed "$work/run.log"
rm -rf "$work"

dpkg -r tav32
trap - EXIT
[ ! -e /usr/bin/tav32 ] && [ ! -e /usr/share/man/man1/tav32.1.gz ] && [ ! -e /usr/share/man/man1/tav32.1 ]
[ ! -e /usr/share/doc/tav32 ]
! dpkg -s tav32 >/dev/null 2>&1 || dpkg -s tav32 | grep -q 'Status: deinstall'
echo "Package installs and removes cleanly."

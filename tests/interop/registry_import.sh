#!/usr/bin/env bash
# Shows that a registry state prepared on Linux can be carried to Windows: the
# store files that the POSIX build writes for registry.tav import with
# "regedit /S" and give the same keys, types and bytes as the Windows build
# writes into the registry for the same program.
#
#   registry_import.sh POSIX-TAV32 WINDOWS-TAV32.EXE
#
# Both builds run the program; the Windows build under Wine, in a Wine prefix
# of its own. Wine's regedit exports the program's keys after each: once as
# tav32.exe left them, once after they were deleted and the POSIX store files
# imported. The two exports must be equal byte for byte.
set -euo pipefail
posix=$(readlink -f "$1")
windows=$(readlink -f "$2")
here=$(dirname "$(readlink -f "$0")")
keys=('HKEY_LOCAL_MACHINE\Software\TAV32 Interop' 'HKEY_CURRENT_USER\Software\TAV32 Interop')

work=$(mktemp -d "${TMPDIR:-/tmp}/tav32-interop.XXXXXX")
export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
# The program's text is Windows-1252, the code page Wine takes for this locale.
export LC_ALL=C.UTF-8
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/posix/windows" "$work/win"
cp "$here/registry.tav" "$work/posix/"
cp "$here/registry.tav" "$windows" "$work/win/"

fail() { echo "FAIL: $*" >&2; exit 1; }

# The program's keys as Wine's regedit exports them, one file per key.
export_keys() {
  local prefix=$1 i
  for i in "${!keys[@]}"; do
    rm -f "$work/$prefix.$i.reg"
    wine regedit /E "$(winepath -w "$work/$prefix.$i.reg")" "${keys[$i]}" >/dev/null 2>&1 || true
    [ -s "$work/$prefix.$i.reg" ] || fail "$prefix: regedit exported nothing for ${keys[$i]}"
  done
}

# The POSIX build, with a store of its own. The program file is written in
# Windows-1252, the code page Wine gives the Windows build, so the POSIX build
# runs in a Windows-1252 locale made for the run.
mkdir -p "$work/locale"
localedef -i en_US -f CP1252 "$work/locale/en_US.CP1252" 2>/dev/null || [ -d "$work/locale/en_US.CP1252" ] ||
  fail "no Windows-1252 locale could be made (the locales package is needed)"
(cd "$work/posix" && WINDIR="$work/posix/windows" TAV32_REGISTRY="$work/posix/registry" \
  LOCPATH="$work/locale" LC_ALL=en_US.CP1252 \
  "$posix" registry.tav -LOG run.log </dev/null >/dev/null) || fail "the POSIX build failed"

# The Windows build, into Wine's registry.
wineboot -i >/dev/null 2>&1 || true
(cd "$work/win" && wine ./"$(basename "$windows")" registry.tav -LOG run.log </dev/null >/dev/null 2>&1) ||
  fail "the Windows build failed"
for build in posix win; do
  grep -q done "$work/$build/run.log" || fail "$build: the program did not run to its end"
done
export_keys windows

# The same keys made by importing the POSIX store files instead.
for key in "${keys[@]}"; do wine reg delete "$key" /f >/dev/null 2>&1 || fail "could not delete $key"; done
for file in "$work"/posix/registry/*.reg; do
  wine regedit /S "$(winepath -w "$file")" >/dev/null 2>&1 || fail "regedit /S refused $(basename "$file")"
done
export_keys imported

text() { iconv -f UTF-16LE -t UTF-8 "$1" | tr -d '\r'; }
for i in "${!keys[@]}"; do
  if ! cmp -s "$work/windows.$i.reg" "$work/imported.$i.reg"; then
    diff -u <(text "$work/windows.$i.reg") <(text "$work/imported.$i.reg") >&2 || true
    fail "${keys[$i]}: the imported store differs from what the Windows build wrote"
  fi
done

# Both exports hold what the program wrote, not merely the same nothing.
exported=$(text "$work/windows.0.reg"; text "$work/windows.1.reg")
for expected in '"Big"=hex(5):1f,00,00,00' '"Count"=dword:0000001f' '"Bytes"=hex:01,02,ff' \
  '"List"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00' '"Version"="2.0"' '"Accents"="café € naïve"' \
  '[HKEY_LOCAL_MACHINE\Software\TAV32 Interop\Product\Deeper]' '@="the default"'; do
  grep -qF -- "$expected" <<<"$exported" || fail "the exports lack $expected"
done
for absent in '"Gone"' 'Old\A'; do
  ! grep -qF -- "$absent" <<<"$exported" || fail "the exports still hold $absent"
done
echo "registry interoperability: the imported POSIX store equals the Windows build's registry"

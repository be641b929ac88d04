#!/usr/bin/env bash
# The manual page, the README and --help name every option word and every
# environment variable that the program reads. Both lists are taken from the
# sources, so that a new option or variable fails here until it is documented.
# Usage: consistency.sh TAV32_BINARY SOURCE_DIR
set -euo pipefail
binary=$1
source=$2

# Option words: those the start-up compares with (a word that follows
# another, like CHECK STRICT, without a dash), and the two that main.cpp
# answers alone.
options=$(grep -ohE 'StartsWithNoCase\((word|rest), "[A-Z]+' "$source/src/run/startup.cpp" |
  sed 's/^.*word, "/-/; s/^.*rest, "//' | sort -u)
options+=$'\n'$(grep -ohE 'strcmp\(argv\[1\], "--[a-z]+"' "$source/src/main.cpp" | sed 's/.*"\(--[a-z]*\)"/\1/')
# Variables read by name, and those a locale made from the environment reads.
variables=$(grep -rhoE '(getenv|Env|GetEnvironment)\("[A-Z_][A-Z0-9_]*"' "$source/src" | sed 's/.*("//; s/"$//' | sort -u)
if grep -rqE 'newlocale\([^,]*, ""' "$source/src"; then
  variables+=$'\nLC_ALL\nLC_CTYPE\nLANG'
fi
[ "$(wc -l <<<"$options")" -ge 8 ] || { echo "found only these option words in the sources: $options"; exit 1; }
[ "$(wc -l <<<"$variables")" -ge 8 ] || { echo "found only these variables in the sources: $variables"; exit 1; }

# A section of the manual page (.SH NAME up to the next .SH), dashes unescaped.
man_section() { sed 's/\\-/-/g' "$source/docs/tav32.1.in" | awk -v name="$1" '/^\.SH /{inside = ($2 == name)} inside'; }
# The README's command-line chapter with its subsections.
readme=$(awk '/^## /{inside = ($0 == "## Command line")} inside' "$source/README.md")
help=$("$binary" --help)

failed=0
# Fails unless text holds word as a whole word (letters, digits, _ and - join).
expect() {
  local where=$1 word=$2 text=$3
  if ! grep -qE "(^|[^A-Za-z0-9_-])${word}([^A-Za-z0-9_]|$)" <<<"$text"; then
    echo "$where does not name $word"
    failed=1
  fi
}
for option in $options; do
  expect "the manual page's OPTIONS" "$option" "$(man_section OPTIONS)"
  expect "the README's Command line" "$option" "$readme"
  expect "--help" "$option" "$help"
done
for variable in $variables; do
  expect "the manual page's ENVIRONMENT" "$variable" "$(man_section ENVIRONMENT)"
  expect "the README's Command line" "$variable" "$readme"
  expect "--help" "$variable" "$help"
done
[ $failed -eq 0 ] && echo "the manual page, the README and --help name" $options $variables
exit $failed

# Prints the action, kind, path below the work directory, size and attributes
# of every line of a report file. The Windows build writes its paths with a
# drive and backslashes (Z:\tmp\... under Wine) and shows the archive bit that
# Windows sets on every file it writes; both are brought to the POSIX form, so
# that one expectation serves both builds.
fields() {
  tr -d '\r' < "$1" | awk -F'\t' -v w="$WORK/" '{
    windows = sub(/^[A-Za-z]:/, "", $4)
    gsub(/\\/, "/", $4)
    sub(w, "", $4)
    if (windows) $8 = substr($8, 1, 3) "-"
    print $2, $3, $4, $7, $8
  }'
}
# Paths in a text that the program wrote, in the POSIX form: the Windows
# build's drive letters dropped and backslashes made slashes.
posix_paths() { sed -e 's|[A-Za-z]:\\|\\|g' -e 's|\\|/|g'; }
# Whether a report was written by the Windows build (its paths have a drive).
windows_report() { tr -d '\r' < "$1" | cut -f4 | grep -q '^[A-Za-z]:'; }

# Sourced by end-to-end checks and setups of registry cases when the Windows
# build runs under Wine: the registry is then Wine's, shared by every case.
#   forget_keys KEY...  deletes the keys (with everything below them)
#   exported KEY        the key's tree as the registry editor exports it, in
#                       UTF-8 without the byte-order mark and CR
forget_keys() {
  local key
  for key in "$@"; do wine reg delete "$key" /f >/dev/null 2>&1 || true; done
}
exported() {
  local file
  file=$(mktemp "${TMPDIR:-/tmp}/tav32-export.XXXXXX")
  rm -f "$file"
  wine regedit /E "$(winepath -w "$file")" "$1" >/dev/null 2>&1 || true
  if [ -f "$file" ]; then iconv -f UTF-16LE -t UTF-8 "$file" | sed '1s/^\xEF\xBB\xBF//' | tr -d '\r'; fi
  rm -f "$file"
}

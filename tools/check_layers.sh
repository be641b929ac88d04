#!/usr/bin/env bash
# Checks that every include in src/ points down the layers: each folder may
# include only the folders on its line below (and, for a file's own folder,
# the file beside it). Operating-system headers are included only by the
# platform layer and the Windows windows. Prints each include that breaks a
# rule and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/../src"

# folder: the prefixes its files may include, most specific folder first.
allowed_for() {
  case $1 in
    main.cpp) echo "core/ parse/ ini/ registry/ external/ sync/ run/ ui/ platform/" ;;
    platform/posix/*) echo "platform/posix/ platform/" ;;
    platform/win32/*) echo "platform/win32/ platform/" ;;
    platform/*) echo "platform/" ;;
    core/*) echo "core/ platform/" ;;
    registry/store/*) echo "registry/store/ core/ platform/" ;;
    registry/*) echo "registry/ core/ platform/" ;;
    ini/* | external/* | sync/*) echo "${1%%/*}/ core/ platform/" ;;
    parse/*) echo "parse/ registry/ sync/ core/ platform/" ;;
    run/*) echo "run/ parse/ ini/ registry/ external/ sync/ core/ platform/" ;;
    ui/*) echo "ui/ core/ platform/" ;;
    *) echo "" ;;
  esac
}

# Headers of the operating system (everything else in angle brackets is the
# standard library).
os_header='^(windows|winsock2|shellapi|shlobj|mmsystem|commctrl|aclapi|sddl|io|direct|process|unistd|fcntl|dirent|poll|pty|termios|signal|spawn|pwd|grp|iconv|langinfo|locale|dlfcn|pthread|utime|sys/.*|linux/.*|acl/.*|attr/.*)\.h$'

bad=0
while IFS= read -r file; do
  allowed=$(allowed_for "$file")
  dir=$(dirname "$file")
  while IFS= read -r include; do
    case $include in
      \"*)
        target=${include#\"}
        target=${target%\"}
        [[ $target == */* ]] || continue  # the file beside it
        ok=0
        for prefix in $allowed; do
          [[ $target == "$prefix"* ]] && ok=1 && break
        done
        if [ $ok -eq 0 ]; then
          echo "src/$file: includes \"$target\", which is not below $dir/"
          bad=1
        fi
        ;;
      \<*)
        target=${include#<}
        target=${target%>}
        if [[ $target =~ $os_header ]] && [[ $file != platform/* && $file != ui/win32/* ]]; then
          echo "src/$file: includes <$target>, an operating-system header, outside the platform layer"
          bad=1
        fi
        ;;
    esac
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*\([<"][^>"]*[>"]\).*/\1/p' "$file")
done < <(find . -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.rc' \) | sed 's|^\./||' | sort)

if [ $bad -eq 0 ]; then
  echo "layers: every include in src/ points down"
fi
exit $bad

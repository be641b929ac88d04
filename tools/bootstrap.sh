#!/usr/bin/env bash
# Installs what building TAV32 needs and a Debian machine lacks: CMake, Ninja,
# a C++ compiler and the JSON library; with "tests", also GoogleTest and
# Google Benchmark.
# Further package names may follow ("tests clang"). Does nothing when all is
# installed; uses sudo when not run as root. On a system without dpkg it only
# checks that the build tools are on PATH.
set -euo pipefail

packages=(cmake ninja-build g++ nlohmann-json3-dev)
for word in "$@"; do
  case "$word" in
    tests) packages+=(libgtest-dev libbenchmark-dev) ;;
    -*) echo "usage: $0 [tests] [PACKAGE ...]" >&2; exit 2 ;;
    *) packages+=("$word") ;;
  esac
done

if ! command -v dpkg-query >/dev/null 2>&1; then
  for tool in cmake ninja c++; do
    command -v "$tool" >/dev/null 2>&1 || { echo "bootstrap: $tool is missing; install it" >&2; exit 1; }
  done
  exit 0
fi

missing=()
for pkg in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 || {
    echo "bootstrap: missing ${missing[*]}; run as root or install sudo" >&2
    exit 1
  }
  as_root=(sudo)
fi
echo "bootstrap: installing ${missing[*]}" >&2
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"

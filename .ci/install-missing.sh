#!/usr/bin/env bash
# Installs those of the Debian packages named that this machine lacks (CI
# runs as root on a fresh machine); does nothing when all are there.
set -euo pipefail
need=()
for pkg in "$@"; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
[ ${#need[@]} -eq 0 ] && exit 0
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${need[@]}"

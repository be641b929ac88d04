#!/usr/bin/env bash
# Rolls a program out to five hosts on this machine with ansible-core and the
# tav32.update collection: a check-mode pass, the real run, a second run that
# changes nothing, and a rollout stopped by a failing host. Each host has its
# own application directory, WINDIR and registry store, and host h1 is up to
# date already. Usage: tests/ansible/run.sh path/to/tav32
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tav32=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
hosts=(h1 h2 h3 h4 h5)

export ANSIBLE_COLLECTIONS_PATH=$here/../../ansible/collections
export ANSIBLE_STDOUT_CALLBACK=json ANSIBLE_LOCAL_TEMP=$work/.ansible ANSIBLE_REMOTE_TEMP=$work/.ansible-remote
export ANSIBLE_NOCOLOR=1 ANSIBLE_HOST_KEY_CHECKING=0 ANSIBLE_RETRY_FILES_ENABLED=0

mkdir -p "$work/source"
echo "version 2" > "$work/source/readme.txt"
{
  echo "[fleet]"
  for h in "${hosts[@]}"; do echo "$h host_root=$work/$h"; done
  echo "[fleet:vars]"
  echo "ansible_connection=local"
  echo "ansible_python_interpreter=$(command -v python3)"
  echo "tav32=$tav32"
  echo "source_dir=$work/source"
} > "$work/inventory"
cp "$here/rollout.yml" "$here/update.tav" "$work/"

# Fresh hosts: version 1 everywhere; h1 has had version 2 already.
setup_hosts() {
  for h in "${hosts[@]}"; do
    rm -rf "${work:?}/$h"
    mkdir -p "$work/$h/windows" "$work/$h/registry" "$work/$h/app/files"
    printf '[Settings]\r\nVersion=1\r\nName=%s\r\n' "$h" > "$work/$h/app/app.ini"
  done
  WINDIR=$work/h1/windows TAV32_REGISTRY=$work/h1/registry APPDIR=$work/h1/app SOURCE=$work/source \
    "$tav32" "$work/update.tav" -LOG "$work/h1/windows/first.log" >/dev/null
}
snapshot() { (cd "$work" && find h? -type f ! -name '*.log' -print0 | sort -z | xargs -0 sha1sum); }
playbook() {
  local out=$1
  shift
  (cd "$work" && ansible-playbook -i inventory rollout.yml "$@" > "$out") || echo "playbook exit $?" >> "$work/exits"
}

setup_hosts
before=$(snapshot)
playbook "$work/check.json" --check --diff
[ "$(snapshot)" = "$before" ] || { echo "check mode changed files" >&2; exit 1; }
python3 "$here/check_results.py" "$work/check.json" changed=h2,h3,h4,h5 diff='+Version=2'

start=$(date +%s%N)
playbook "$work/run.json" --diff
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
python3 "$here/check_results.py" "$work/run.json" changed=h2,h3,h4,h5 diff='REG_SZ 2'
for h in "${hosts[@]}"; do
  grep -q 'Version=2' "$work/$h/app/app.ini" && [ -f "$work/$h/app/files/readme.txt" ] ||
    { echo "$h was not updated" >&2; exit 1; }
done

playbook "$work/again.json"
python3 "$here/check_results.py" "$work/again.json" changed=

# h4 fails: with max_fail_percentage 0 its batch (h3, h4) ends the rollout,
# and h5 is never started. A failed host does not count as changed.
setup_hosts
touch "$work/h4/app/broken"
playbook "$work/fail.json"
python3 "$here/check_results.py" "$work/fail.json" changed=h2,h3 failed=h4 unreached=h5
grep -q 'Version=1' "$work/h5/app/app.ini" || { echo "h5 was changed" >&2; exit 1; }
[ "$(cat "$work/exits")" = "playbook exit 2" ] || { echo "exits: $(cat "$work/exits")" >&2; exit 1; }

echo "ansible rollout: five hosts in batches of two, real run ${elapsed_ms} ms"
echo "4 passed, 0 failed"

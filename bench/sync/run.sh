#!/usr/bin/env bash
# Benchmarks SynchronizeDir on a generated tree of about 20,000 files in 2,000
# directories (about 200 MB), side by side with rsync -a (--delete) and cp -a:
#   1. initial copy to an empty destination   (ours vs cp -a and rsync -a)
#   2. a second run with nothing changed       (ours vs rsync -a --delete)
#   3. a run after 1% of the files changed      (ours vs rsync -a --delete)
# Each figure is the best of REPEAT runs (default 3), on a warm cache.
#
#   bench/sync/run.sh [TAV32-BINARY] [WORK-DIRECTORY]
set -euo pipefail
binary=$(readlink -f "${1:-build/tav32}")
work=${2:-$(mktemp -d "${TMPDIR:-/tmp}/tav32-bench.XXXXXX")}
repeat=${REPEAT:-3}
mkdir -p "$work"
cd "$work"
command -v rsync >/dev/null || { echo "rsync is needed (apt-get install rsync)"; exit 1; }

if [ ! -d src ]; then
  echo "generating the tree in $work/src ..."
  python3 - <<'PY'
import os, random
random.seed(20)
block = os.urandom(1 << 20)
count = 0
for top in range(40):
    for sub in range(50):
        d = f"src/d{top:02d}/s{sub:02d}"
        os.makedirs(d, exist_ok=True)
        for f in range(10):
            size = int(random.expovariate(1 / 10000))
            start = random.randrange(0, len(block) - 1)
            data = (block[start:] + block)[:size]
            with open(f"{d}/file{f}.dat", "wb") as out:
                out.write(data)
            count += 1
print(count, "files")
PY
fi
du -sh src | sed 's/^/tree: /'
find src -type f | wc -l | sed 's/^/files: /'
find src -type d | wc -l | sed 's/^/directories: /'
tar cf - src >/dev/null   # warm the cache

cat > sync.tav <<'TAV'
SynchronizeDir
  From src
  To ours
  Add
  Delete
  Overwrite
  Preserve
  Subdirectories
End SynchronizeDir
TAV

now() { date +%s.%N; }
# Runs a command and prints its elapsed seconds.
timed() { local t0 t1; t0=$(now); "$@" >/dev/null; t1=$(now); awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f\n", b - a }'; }
best() { sort -g | head -1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f\n", a / b }'; }

ours_initial=() cp_initial=() rsync_initial=()
for _ in $(seq "$repeat"); do
  rm -rf ours cpcopy rsynccopy; sync
  ours_initial+=("$(timed "$binary" sync.tav)")
  rm -rf ours; sync
  cp_initial+=("$(timed cp -a src cpcopy)")
  rsync_initial+=("$(timed rsync -a --delete src/ rsynccopy/)")
done
# ours is left holding the last initial copy
oi=$(printf '%s\n' "${ours_initial[@]}" | best)
ci=$(printf '%s\n' "${cp_initial[@]}" | best)
ri=$(printf '%s\n' "${rsync_initial[@]}" | best)
"$binary" sync.tav

ours_same=() rsync_same=()
for _ in $(seq "$repeat"); do
  ours_same+=("$(timed "$binary" sync.tav)")
  rsync_same+=("$(timed rsync -a --delete src/ rsynccopy/)")
done
os=$(printf '%s\n' "${ours_same[@]}" | best)
rs=$(printf '%s\n' "${rsync_same[@]}" | best)

ours_changed=() rsync_changed=()
for round in $(seq "$repeat"); do
  # 1% of the files get new contents and a new time.
  find src -type f | shuf -n 200 --random-source=<(yes "$round") | while read -r f; do
    printf 'changed %s\n' "$round" >> "$f"
  done
  ours_changed+=("$(timed "$binary" sync.tav)")
  rsync_changed+=("$(timed rsync -a --delete src/ rsynccopy/)")
done
oc=$(printf '%s\n' "${ours_changed[@]}" | best)
rc=$(printf '%s\n' "${rsync_changed[@]}" | best)

diff -r src ours >/dev/null && echo "check: destination equals source"
printf '%-28s %8s %8s %8s\n' run tav32 other ratio
printf '%-28s %8.3f %8.3f %8s\n' "initial copy vs cp -a" "$oi" "$ci" "$(ratio "$oi" "$ci")"
printf '%-28s %8.3f %8.3f %8s\n' "initial copy vs rsync -a" "$oi" "$ri" "$(ratio "$oi" "$ri")"
printf '%-28s %8.3f %8.3f %8s\n' "no change vs rsync" "$os" "$rs" "$(ratio "$os" "$rs")"
printf '%-28s %8.3f %8.3f %8s\n' "1% changed vs rsync" "$oc" "$rc" "$(ratio "$oc" "$rc")"

#!/usr/bin/env bash
# Benchmarks SynchronizeDir on a generated tree of about 20,000 files in 2,000
# directories (about 200 MB), side by side with rsync -a (--delete) and cp -a:
#   1. initial copy to an empty destination   (ours vs cp -a and rsync -a)
#   2. a second run with nothing changed       (ours vs rsync -a --delete)
#   3. a run after 1% of the files changed      (ours vs rsync -a --delete)
# The tools take turns within each round (the order rotates from round to
# round), and each figure is the median of REPEAT rounds (default 5, at least
# 5), on a warm cache, so that a noisy machine still gives a stable figure.
# Then each tool's initial copy runs once more under strace -c -f, and the
# counts of the system calls that matter are printed side by side.
#
#   bench/sync/run.sh [TAV32-BINARY] [WORK-DIRECTORY]
set -euo pipefail
binary=$(readlink -f "${1:-build/tav32}")
work=${2:-$(mktemp -d "${TMPDIR:-/tmp}/tav32-bench.XXXXXX")}
repeat=${REPEAT:-5}
[ "$repeat" -ge 5 ] || repeat=5
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
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f\n", a / b }'; }

# The initial copies, one per tool, each into an empty destination.
initial_ours() { rm -rf ours; sync; timed "$binary" sync.tav; }
initial_cp() { rm -rf cpcopy; sync; timed cp -a src cpcopy; }
initial_rsync() { rm -rf rsynccopy; sync; timed rsync -a --delete src/ rsynccopy/; }

tools=(ours cp rsync)
declare -A initial=()
for round in $(seq "$repeat"); do
  for k in 0 1 2; do
    tool=${tools[$(( (round + k) % 3 ))]}
    initial[$tool]+="$(initial_$tool) "
  done
done
oi=$(printf '%s\n' ${initial[ours]} | median)
ci=$(printf '%s\n' ${initial[cp]} | median)
ri=$(printf '%s\n' ${initial[rsync]} | median)
[ -d ours ] || "$binary" sync.tav
[ -d rsynccopy ] || rsync -a --delete src/ rsynccopy/

# One round of ours against rsync, the first to go alternating by round; the
# times are added to ours_times and rsync_times.
ours_run() { ours_times+=("$(timed "$binary" sync.tav)"); }
rsync_run() { rsync_times+=("$(timed rsync -a --delete src/ rsynccopy/)"); }
in_turn() { if [ $(($1 % 2)) -eq 0 ]; then ours_run; rsync_run; else rsync_run; ours_run; fi; }

ours_times=() rsync_times=()
for round in $(seq "$repeat"); do in_turn "$round"; done
os=$(printf '%s\n' "${ours_times[@]}" | median)
rs=$(printf '%s\n' "${rsync_times[@]}" | median)

ours_times=() rsync_times=()
for round in $(seq "$repeat"); do
  # 1% of the files get new contents and a new time.
  find src -type f | shuf -n 200 --random-source=<(yes "$round") | while read -r f; do
    printf 'changed %s\n' "$round" >> "$f"
  done
  in_turn "$round"
done
oc=$(printf '%s\n' "${ours_times[@]}" | median)
rc=$(printf '%s\n' "${rsync_times[@]}" | median)

diff -r src ours >/dev/null && echo "check: destination equals source"
echo "medians of $repeat interleaved rounds (seconds)"
printf '%-28s %8s %8s %8s\n' run tav32 other ratio
printf '%-28s %8.3f %8.3f %8s\n' "initial copy vs cp -a" "$oi" "$ci" "$(ratio "$oi" "$ci")"
printf '%-28s %8.3f %8.3f %8s\n' "initial copy vs rsync -a" "$oi" "$ri" "$(ratio "$oi" "$ri")"
printf '%-28s %8.3f %8.3f %8s\n' "no change vs rsync" "$os" "$rs" "$(ratio "$os" "$rs")"
printf '%-28s %8.3f %8.3f %8s\n' "1% changed vs rsync" "$oc" "$rc" "$(ratio "$oc" "$rc")"

# System calls of each tool's initial copy.
if command -v strace >/dev/null; then
  rm -rf ours cpcopy rsynccopy; sync
  strace -c -f -o strace.ours "$binary" sync.tav >/dev/null
  strace -c -f -o strace.cp cp -a src cpcopy
  strace -c -f -o strace.rsync rsync -a --delete src/ rsynccopy/
  # calls and errors of one system call in an strace -c table
  count() { awk -v name="$2" '$NF == name { if ($4 ~ /^[0-9]+$/ && NF == 6) print $4 "/" $5; else print $4 }' "$1"; }
  echo
  echo "system calls of the initial copy (strace -c -f; calls, or calls/errors)"
  printf '%-16s %12s %12s %12s\n' call tav32 "cp -a" "rsync -a"
  for call in openat open mkdir mkdirat umask getrandom flock newfstatat statx close rename renameat \
              copy_file_range read write; do
    o=$(count strace.ours "$call") c=$(count strace.cp "$call") r=$(count strace.rsync "$call")
    [ -n "$o$c$r" ] && printf '%-16s %12s %12s %12s\n' "$call" "${o:-0}" "${c:-0}" "${r:-0}"
  done
  printf '%-16s %12s %12s %12s\n' total "$(awk '$NF == "total" { print $4 }' strace.ours)" \
    "$(awk '$NF == "total" { print $4 }' strace.cp)" "$(awk '$NF == "total" { print $4 }' strace.rsync)"
else
  echo "strace is not installed: no system-call counts (apt-get install strace)"
fi

#!/usr/bin/env bash
# Times `tarnwick-cli run` of a local copy profile against `cp -r` of the same tree, on one 1 GiB
# file and on 20,000 small files (1-16 KiB) in a three-level tree. Runs alternate (3 each), every
# run writes into a fresh folder after a sync; the medians give the ratio. Peak memory comes from
# /usr/bin/time (%M, KiB).
#
#   bench/copy_compare.sh [path/to/tarnwick-cli]
#
# Default program: build-bench/src/cli/tarnwick-cli (a Release build). Data stays in
# /tmp/tarnwick-bench between runs; delete it to regenerate.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-${TARNWICK_CLI:-$repo/build-bench/src/cli/tarnwick-cli}}
root=/tmp/tarnwick-bench
runs=3

[[ -x $cli ]] || { echo "no tarnwick-cli at $cli (build it in Release first)" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time missing: apt-get install time" >&2; exit 2; }

mkdir -p "$root/data" "$root/prog/Profile" "$root/out"
ln -sf "$(readlink -f "$cli")" "$root/prog/tarnwick-cli"

# Test data, made once.
if [[ $(stat -c %s "$root/data/big/big.bin" 2>/dev/null || echo 0) != 1073741824 ]]; then
  echo "making a 1 GiB file..." >&2
  mkdir -p "$root/data/big"
  head -c 1073741824 /dev/urandom > "$root/data/big/big.bin"
fi
if [[ ! -f $root/data/small.done ]]; then
  echo "making 20,000 small files..." >&2
  rm -rf "$root/data/small"
  /usr/bin/python3 - "$root/data/small" <<'PY'
import os, random, sys
base = sys.argv[1]
rng = random.Random(20000)
blob = os.urandom(16384)
n = 0
for a in range(20):
    for b in range(20):
        folder = os.path.join(base, "d%02d" % a, "e%02d" % b)
        os.makedirs(folder)
        for c in range(50):
            with open(os.path.join(folder, "f%03d.dat" % c), "wb") as f:
                f.write(blob[:rng.randint(1024, 16384)])
            n += 1
assert n == 20000
PY
  touch "$root/data/small.done"
fi

# One quick profile per data set: the folder, all files, recursive, into out/tw.
for set in big small; do
  cat > "$root/prog/Profile/bench-$set.pfl" <<XML
<PROFILE TYPE="QUICKLANCH"><NAME>bench-$set</NAME><LOCALSRC><SUBITEM TYPE="LOCALFOLDER"><FILTER>+[*.*]</FILTER><RECURSIVE>1</RECURSIVE><FILEURL>$root/data/$set</FILEURL></SUBITEM></LOCALSRC><DESTINATION TYPE="LOCALFOLDER"><FILEURL>$root/out/tw</FILEURL></DESTINATION><CONFIG><DSTUSEDATE>0</DSTUSEDATE></CONFIG></PROFILE>
XML
done

# timed NAME COMMAND...: runs into a fresh out/ and appends "seconds kib" to $root/NAME.times
timed() {
  local name=$1; shift
  rm -rf "$root/out/tw" "$root/out/cp"
  mkdir -p "$root/out"
  sync
  /usr/bin/time -o "$root/time.txt" -f "%e %M" "$@" > /dev/null
  cat "$root/time.txt" >> "$root/$name.times"
}

median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

for set in big small; do
  rm -f "$root/tw-$set.times" "$root/cp-$set.times"
  for ((i = 0; i < runs; i++)); do
    timed "tw-$set" "$root/prog/tarnwick-cli" run "bench-$set"
    timed "cp-$set" cp -r "$root/data/$set" "$root/out/cp"
  done
  tw=$(cut -d' ' -f1 "$root/tw-$set.times" | median)
  cp=$(cut -d' ' -f1 "$root/cp-$set.times" | median)
  twbest=$(cut -d' ' -f1 "$root/tw-$set.times" | sort -g | head -1)
  cpbest=$(cut -d' ' -f1 "$root/cp-$set.times" | sort -g | head -1)
  twmem=$(cut -d' ' -f2 "$root/tw-$set.times" | sort -g | tail -1)
  cpmem=$(cut -d' ' -f2 "$root/cp-$set.times" | sort -g | tail -1)
  ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
  printf '%-6s tarnwick %6.2fs (runs: %s)  cp -r %6.2fs (runs: %s)\n' \
    "$set" "$tw" "$(cut -d' ' -f1 "$root/tw-$set.times" | paste -sd,)" "$cp" \
    "$(cut -d' ' -f1 "$root/cp-$set.times" | paste -sd,)"
  printf '%-6s ratio tarnwick/cp: median %sx, best of %d %sx; peak memory tarnwick %d KiB, cp %d KiB\n' \
    "$set" "$(ratio "$tw" "$cp")" "$runs" "$(ratio "$twbest" "$cpbest")" "$twmem" "$cpmem"
done
rm -rf "$root/out/tw" "$root/out/cp"

#!/usr/bin/env bash
# Times `tarnwick-cli run` of compressed profiles against `zip -r -q` at levels 1, 5 and 9, on one
# 1 GiB mixed file (a third random, a third text-like, a third zeros, in 1 MiB turns) and on 20,000
# text-like files of 1-16 KiB in a three-level tree. Runs alternate (RUNS each, default 2) and
# write into a fresh folder after a sync; medians give the speed ratio, and the archive sizes, the
# CPU seconds (user + system) and peak memory (/usr/bin/time %M, KiB) are printed beside it. On a
# shared machine the CPU columns show what the wall-clock ratio owes to other load.
#
#   bench/zip_compare.sh [path/to/tarnwick-cli]
#
# Default program: build-zip-bench/src/cli/tarnwick-cli (a Release build). Data stays in
# /tmp/tarnwick-zipbench between runs; delete it to regenerate.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-${TARNWICK_CLI:-$repo/build-zip-bench/src/cli/tarnwick-cli}}
root=/tmp/tarnwick-zipbench
runs=${RUNS:-2}
levels=${LEVELS:-"1 5 9"}

[[ -x $cli ]] || { echo "no tarnwick-cli at $cli (build it in Release first)" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time missing: apt-get install time" >&2; exit 2; }
command -v zip > /dev/null || { echo "zip missing" >&2; exit 2; }

mkdir -p "$root/data" "$root/prog/Profile" "$root/out"
ln -sf "$(readlink -f "$cli")" "$root/prog/tarnwick-cli"

if [[ ! -f $root/data/made ]]; then
  echo "making test data (1 GiB mixed file, 20,000 small files)..." >&2
  rm -rf "$root/data/big" "$root/data/small"
  /usr/bin/python3 - "$root/data" <<'PY'
import os, random, sys
base = sys.argv[1]
rng = random.Random(1)
words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rng.randint(2, 10))) for _ in range(5000)]
def text(size):
    out, n = [], 0
    while n < size:
        line = ' '.join(rng.choice(words) for _ in range(rng.randint(4, 14))) + ' %d\n' % rng.randint(0, 99999)
        out.append(line)
        n += len(line)
    return ''.join(out).encode()[:size]
mib = 1 << 20
texts = [text(mib) for _ in range(16)]
os.makedirs(os.path.join(base, 'big'))
with open(os.path.join(base, 'big', 'mixed.bin'), 'wb') as f:
    for i in range(1024):
        kind = i % 3
        if kind == 0:
            f.write(os.urandom(mib))
        elif kind == 1:
            f.write(texts[(i * 7) % 16])
        else:
            f.write(bytes(mib))
pool = text(8 * mib)
n = 0
for a in range(20):
    for b in range(20):
        folder = os.path.join(base, 'small', 'd%02d' % a, 'e%02d' % b)
        os.makedirs(folder)
        for c in range(50):
            size = rng.randint(1024, 16384)
            at = rng.randint(0, len(pool) - size)
            with open(os.path.join(folder, 'f%03d.txt' % c), 'wb') as f:
                f.write(pool[at:at + size])
            n += 1
assert n == 20000
PY
  touch "$root/data/made"
fi

for set in big small; do
  for level in $levels; do
    cat > "$root/prog/Profile/zip-$set-$level.pfl" <<XML
<PROFILE TYPE="QUICKLANCH"><NAME>zip-$set-$level</NAME><LOCALSRC><SUBITEM TYPE="LOCALFOLDER"><FILTER>+[*.*]</FILTER><RECURSIVE>1</RECURSIVE><FILEURL>$root/data/$set</FILEURL></SUBITEM></LOCALSRC><DESTINATION TYPE="LOCALFOLDER"><FILEURL>$root/out</FILEURL></DESTINATION><CONFIG><COMPRESS LEVEL="$level"><FILEURL>tw.zip</FILEURL></COMPRESS><DSTUSEDATE>0</DSTUSEDATE></CONFIG></PROFILE>
XML
  done
done

# timed NAME ARCHIVE COMMAND...: a fresh out/, then appends "seconds kib cpu bytes" to $root/NAME.times
timed() {
  local name=$1 archive=$2; shift 2
  rm -f "$root/out/tw.zip" "$root/out/zip.zip"
  sync
  /usr/bin/time -o "$root/time.txt" -f "%e %M %U %S" "$@" > /dev/null
  read -r wall kib user sys < "$root/time.txt"
  echo "$wall $kib $(awk -v u="$user" -v s="$sys" 'BEGIN {print u + s}') $(stat -c %s "$archive")" >> "$root/$name.times"
}

median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

printf '%-6s %-5s %7s %7s %7s %8s %8s %13s %13s %7s %8s %8s\n' set level tw_s zip_s speed tw_cpu zip_cpu \
  tw_bytes zip_bytes size tw_KiB zip_KiB
for set in big small; do
  for level in $levels; do
    rm -f "$root/tw-$set-$level.times" "$root/zip-$set-$level.times"
    for ((i = 0; i < runs; i++)); do
      timed "tw-$set-$level" "$root/out/tw.zip" "$root/prog/tarnwick-cli" run "zip-$set-$level"
      timed "zip-$set-$level" "$root/out/zip.zip" \
        bash -c "cd '$root/data' && exec zip -r -q -$level '$root/out/zip.zip' '$set'"
    done
    tw=$(cut -d' ' -f1 "$root/tw-$set-$level.times" | median)
    zp=$(cut -d' ' -f1 "$root/zip-$set-$level.times" | median)
    twmem=$(cut -d' ' -f2 "$root/tw-$set-$level.times" | sort -g | tail -1)
    zpmem=$(cut -d' ' -f2 "$root/zip-$set-$level.times" | sort -g | tail -1)
    twcpu=$(cut -d' ' -f3 "$root/tw-$set-$level.times" | median)
    zpcpu=$(cut -d' ' -f3 "$root/zip-$set-$level.times" | median)
    twsize=$(cut -d' ' -f4 "$root/tw-$set-$level.times" | tail -1)
    zpsize=$(cut -d' ' -f4 "$root/zip-$set-$level.times" | tail -1)
    speed=$(awk -v a="$zp" -v b="$tw" 'BEGIN {printf "%.2fx", a / b}')
    size=$(awk -v a="$twsize" -v b="$zpsize" 'BEGIN {printf "%+.2f%%", (a / b - 1) * 100}')
    printf '%-6s %-5s %7s %7s %7s %8s %8s %13s %13s %7s %8s %8s\n' "$set" "$level" "$tw" "$zp" "$speed" \
      "$twcpu" "$zpcpu" "$twsize" "$zpsize" "$size" "$twmem" "$zpmem"
  done
done
echo "speed: zip time / tarnwick time (higher is better); size: tarnwick archive against zip's" >&2

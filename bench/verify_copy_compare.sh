#!/usr/bin/env bash
# What "Verify after backup" costs a local copy: `tarnwick-cli run` of the same folder with the
# option off ("copy") and on ("copy + verify": both files read again and compared byte for byte),
# on one 1 GiB file and on 2,000 small files (1-16 KiB), the transfer benchmarks' data. Runs alternate
# (3 each, or TARNWICK_BENCH_RUNS), every run writes into a fresh folder after a sync. It prints
# the ratios of the median and of the best wall-clock times, and of the median CPU times (user +
# system), which the write-back of other work on a shared machine disturbs least.
#
#   bench/verify_copy_compare.sh [path/to/tarnwick-cli]
#
# Default program: build-bench/src/cli/tarnwick-cli (a Release build). Data stays in
# /tmp/tarnwick-bench-verify between runs; delete it to regenerate.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-${TARNWICK_CLI:-$repo/build-bench/src/cli/tarnwick-cli}}
root=/tmp/tarnwick-bench-verify
runs=${TARNWICK_BENCH_RUNS:-3}

[[ -x $cli ]] || { echo "no tarnwick-cli at $cli (build it in Release first)" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time missing: apt-get install time" >&2; exit 2; }

mkdir -p "$root/data" "$root/prog/Profile" "$root/out"
ln -sf "$(readlink -f "$cli")" "$root/prog/tarnwick-cli"

. "$repo/bench/transfer_data.sh"
make_transfer_data "$root/data"

# Per data set a profile without and one with "Verify after backup", both into out/tw.
for set in big small; do
  for kind in copy verify; do
    verify=""
    [[ $kind == verify ]] && verify="<VERIFY>1</VERIFY>"
    cat > "$root/prog/Profile/bench-$set-$kind.pfl" <<XML
<PROFILE TYPE="QUICKLANCH"><NAME>bench-$set-$kind</NAME><LOCALSRC><SUBITEM TYPE="LOCALFOLDER"><FILTER>+[*.*]</FILTER><RECURSIVE>1</RECURSIVE><FILEURL>$root/data/$set</FILEURL></SUBITEM></LOCALSRC><DESTINATION TYPE="LOCALFOLDER"><FILEURL>$root/out/tw</FILEURL></DESTINATION><CONFIG><DSTUSEDATE>0</DSTUSEDATE>$verify</CONFIG></PROFILE>
XML
  done
done

# timed NAME PROFILE: runs the profile into a fresh out/tw and appends "wall cpu" seconds to
# $root/NAME.times; fails when the run did not end with exit 0 (a verify that failed is no figure).
timed() {
  rm -rf "$root/out/tw"
  sync
  /usr/bin/time -o "$root/time.txt" -f "%e %U %S" "$root/prog/tarnwick-cli" run "$2" > "$root/run.out"
  awk '{ printf "%s %.2f\n", $1, $2 + $3 }' "$root/time.txt" >> "$root/$1.times"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

for set in big small; do
  rm -f "$root/copy-$set.times" "$root/verify-$set.times"
  for ((i = 0; i < runs; i++)); do
    timed "copy-$set" "bench-$set-copy"
    timed "verify-$set" "bench-$set-verify"
    grep -q "Verify done: [0-9]* checked, 0 failed." "$root/run.out" || { echo "the check did not pass" >&2; exit 1; }
  done
  wall() { cut -d' ' -f1 "$root/$1-$set.times"; }
  cpu() { cut -d' ' -f2 "$root/$1-$set.times"; }
  printf '%-6s copy %6.2fs (runs: %s)  copy + verify %6.2fs (runs: %s)\n' \
    "$set" "$(wall copy | median)" "$(wall copy | paste -sd,)" "$(wall verify | median)" "$(wall verify | paste -sd,)"
  printf '%-6s ratio (copy + verify)/copy: median %sx, best %sx, CPU median %sx (%.2fs against %.2fs)\n' "$set" \
    "$(ratio "$(wall verify | median)" "$(wall copy | median)")" \
    "$(ratio "$(wall verify | sort -g | head -1)" "$(wall copy | sort -g | head -1)")" \
    "$(ratio "$(cpu verify | median)" "$(cpu copy | median)")" "$(cpu verify | median)" "$(cpu copy | median)"
done
rm -rf "$root/out/tw"

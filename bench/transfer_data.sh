# Shared by the transfer benchmarks (sourced): their test data and how runs are timed.

# make_transfer_data DIR: one 1 GiB file of random bytes (DIR/big/big.bin) and 2,000 files of
# 1-16 KiB in one folder (DIR/small), made once; delete DIR/made to make them again.
make_transfer_data() {
  [[ -f $1/made ]] && return
  echo "making the test data..." >&2
  rm -rf "$1/big" "$1/small"
  /usr/bin/python3 - "$1" <<'PY'
import os, random, sys
base = sys.argv[1]
os.makedirs(os.path.join(base, "big"))
with open(os.path.join(base, "big", "big.bin"), "wb") as f:
    for _ in range(1024):
        f.write(os.urandom(1 << 20))
os.makedirs(os.path.join(base, "small"))
rng = random.Random(2000)
blob = os.urandom(16384)
for n in range(2000):
    with open(os.path.join(base, "small", "f%04d.dat" % n), "wb") as f:
        f.write(blob[:rng.randint(1024, 16384)])
PY
  touch "$1/made"
}

# The median of the numbers on stdin, one a line.
median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

# time_run TIMES COMMAND...: runs the command, appending "seconds peak-KiB" (/usr/bin/time) to the
# file TIMES; a failure shows the end of its output and ends the script.
time_run() {
  local times=$1; shift
  if ! /usr/bin/time -o "$times.now" -f "%e %M" "$@" > "$times.out" 2>&1; then
    echo "failed: $*" >&2; tail -20 "$times.out" >&2; exit 1
  fi
  cat "$times.now" >> "$times"
}

# The highest peak memory (KiB) in a TIMES file.
peak() { cut -d' ' -f2 "$1" | sort -g | tail -1; }

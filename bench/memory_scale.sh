#!/usr/bin/env bash
# Peak memory of `tarnwick-cli` over many files: a local copy and a compressed backup of COUNT
# small files (default 1,000,000: 1,000 folders of 1,000 files of 1 to 64 bytes), and `list` with
# a profiles.ini of COUNT sections beside three profiles. Prints the maximum resident set size
# (/usr/bin/time -v) and the wall time of each run. Not a test: it takes minutes and needs about
# 2 * COUNT * 4 KiB of disk (each tiny file takes a block, and the copy makes as many again).
#
#   bench/memory_scale.sh [path/to/tarnwick-cli]        COUNT=100000 bench/memory_scale.sh ...
#
# Data is made under ROOT (default /tmp/tarnwick-memory) and removed at the end unless KEEP=1;
# RUNS picks the runs (default "copy zip list").
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-${TARNWICK_CLI:-$repo/build-bench/src/cli/tarnwick-cli}}
count=${COUNT:-1000000}
root=${ROOT:-/tmp/tarnwick-memory}

[[ -x $cli ]] || { echo "no tarnwick-cli at $cli" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time missing: apt-get install time" >&2; exit 2; }
df -h "$(dirname "$root")" >&2

mkdir -p "$root/prog/Profile" "$root/list/Profile" "$root/out"
ln -sf "$(readlink -f "$cli")" "$root/prog/tarnwick-cli"
ln -sf "$(readlink -f "$cli")" "$root/list/tarnwick-cli"

if [[ $(cat "$root/data.count" 2>/dev/null) != "$count" ]]; then
  echo "making $count files..." >&2
  rm -rf "$root/data"
  /usr/bin/python3 - "$root/data" "$count" <<'PY'
import os, sys
base, count = sys.argv[1], int(sys.argv[2])
per = 1000
for n in range(count):
    if n % per == 0:
        folder = os.path.join(base, "d%04d" % (n // per))
        os.makedirs(folder)
    with open(os.path.join(folder, "file-%07d.txt" % n), "wb") as f:
        f.write(b"x" * (1 + n % 64))
PY
  echo "$count" > "$root/data.count"
fi

cat > "$root/prog/Profile/mem-copy.pfl" <<XML
<PROFILE TYPE="QUICKLANCH"><NAME>mem-copy</NAME><LOCALSRC><SUBITEM TYPE="LOCALFOLDER"><FILTER>+[*.*]</FILTER><RECURSIVE>1</RECURSIVE><FILEURL>$root/data</FILEURL></SUBITEM></LOCALSRC><DESTINATION TYPE="LOCALFOLDER"><FILEURL>$root/out/copy</FILEURL></DESTINATION><CONFIG><DSTUSEDATE>0</DSTUSEDATE></CONFIG></PROFILE>
XML
cat > "$root/prog/Profile/mem-zip.pfl" <<XML
<PROFILE TYPE="QUICKLANCH"><NAME>mem-zip</NAME><LOCALSRC><SUBITEM TYPE="LOCALFOLDER"><FILTER>+[*.*]</FILTER><RECURSIVE>1</RECURSIVE><FILEURL>$root/data</FILEURL></SUBITEM></LOCALSRC><DESTINATION TYPE="LOCALFOLDER"><FILEURL>$root/out/zip</FILEURL></DESTINATION><CONFIG><COMPRESS LEVEL="1"><FILEURL>mem.zip</FILEURL></COMPRESS><DSTUSEDATE>0</DSTUSEDATE></CONFIG></PROFILE>
XML

# `list`: three profiles whose sections lie at the start, middle and end of COUNT sections.
/usr/bin/python3 - "$root/list" "$count" <<'PY'
import os, sys
base, count = sys.argv[1], int(sys.argv[2])
names = {0: "first", count // 2: "middle", count - 1: "last"}
with open(os.path.join(base, "profiles.ini"), "w") as ini:
    for n in range(count):
        name = names.get(n, "gone-profile-%07d" % n)
        ini.write("[%s]\nCREATETIME=2026-01-02 03:04:05\nLASTRUN=2026-02-03 04:05:06\n" % name)
for name in names.values():
    with open(os.path.join(base, "Profile", name + ".pfl"), "w") as f:
        f.write('<PROFILE TYPE="QUICKLANCH"><NAME>%s</NAME></PROFILE>\n' % name)
PY

# measured NAME COMMAND...: prints NAME, peak RSS in MiB and seconds
measured() {
  local name=$1; shift
  sync
  /usr/bin/time -v -o "$root/time.txt" "$@" > "$root/$name.out" 2>&1 || true
  local kib secs
  kib=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$root/time.txt")
  secs=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$root/time.txt")
  printf '%-5s %8d files  peak %7.1f MiB  wall %s\n' "$name" "$count" "$(awk -v k="$kib" 'BEGIN {print k / 1024}')" "$secs"
}

# Outputs are removed only at the end: deleting a million files takes longer than copying them.
runs=${RUNS:-copy zip list}
if [[ " $runs " == *" copy "* ]]; then
  rm -rf "$root/out/copy"
  measured copy "$root/prog/tarnwick-cli" run mem-copy
  copied=$(find "$root/out/copy" -type f | wc -l)
  [[ $copied == "$count" ]] || echo "copy: $copied files instead of $count" >&2
fi
if [[ " $runs " == *" zip "* ]]; then
  rm -rf "$root/out/zip"
  measured zip "$root/prog/tarnwick-cli" run mem-zip
  entries=$(/usr/bin/python3 -c 'import sys, zipfile; print(len(zipfile.ZipFile(sys.argv[1]).namelist()))' \
    "$root/out/zip/mem.zip")
  [[ $entries == "$count" ]] || echo "zip: $entries entries instead of $count" >&2
fi
if [[ " $runs " == *" list "* ]]; then
  measured list "$root/list/tarnwick-cli" list
  grep -c "2026-01-02 03:04:05" "$root/list.out" | grep -qx 3 || echo "list: the three profiles' times are missing" >&2
fi

[[ ${KEEP:-0} == 1 ]] || rm -rf "$root"

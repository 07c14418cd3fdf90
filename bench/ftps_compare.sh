#!/usr/bin/env bash
# What TLS costs: times `tarnwick-cli run` uploading one 1 GiB file and 2,000 small files (1-16 KiB)
# to a local FTP server (pyftpdlib on 127.0.0.1) in plain FTP and over explicit TLS (certificate of
# a test authority made here, given to the program through TARNWICK_CA_FILE). Runs alternate (3
# each); prints the medians and the ratio TLS time / plain time (1.0 means TLS costs nothing).
#
#   bench/ftps_compare.sh [path/to/tarnwick-cli]
#
# Default program: build-bench/src/cli/tarnwick-cli (a Release build). Data stays in
# /tmp/tarnwick-ftpsbench between runs; delete it to regenerate.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-${TARNWICK_CLI:-$repo/build-bench/src/cli/tarnwick-cli}}
root=/tmp/tarnwick-ftpsbench
runs=${TARNWICK_BENCH_RUNS:-3}
[[ -x $cli ]] || { echo "no tarnwick-cli at $cli (build it in Release first)" >&2; exit 2; }

mkdir -p "$root/data" "$root/certs" "$root/prog/Profile"
ln -sf "$(readlink -f "$cli")" "$root/prog/tarnwick-cli"
. "$repo/bench/transfer_data.sh"
make_transfer_data "$root/data"
/usr/bin/python3 "$repo/tests/support/make_test_certs.py" "$root/certs"
export TARNWICK_CA_FILE=$root/certs/ca.pem

pids=()
trap 'for fd in 3 4; do eval "exec $fd>&-"; done; wait "${pids[@]}" 2>/dev/null || true' EXIT
start_server() {  # name fd extra-args...: the server ends when the fifo on fd closes
  local name=$1 fd=$2; shift 2
  mkdir -p "$root/ftp-$name"
  rm -f "$root/$name.in" "$root/$name.port"
  mkfifo "$root/$name.in"
  /usr/bin/python3 "$repo/tests/support/ftp_test_server.py" --home "$root/ftp-$name" --user bench --password bench \
    "$@" < "$root/$name.in" > "$root/$name.port" 2> "$root/$name.log" &
  pids+=($!)
  eval "exec $fd> \"$root/$name.in\""
  for ((i = 0; i < 100; i++)); do [[ -s $root/$name.port ]] && break; sleep 0.1; done
  [[ -s $root/$name.port ]] || { cat "$root/$name.log" >&2; exit 2; }
}
start_server plain 3
start_server tls 4 --tls "$root/certs/trusted.pem" "$root/certs/trusted.key"

profile() {  # name server source-item
  local port tls=""
  port=$(head -1 "$root/$2.port")
  [[ $2 == tls ]] && tls="<TLS>1</TLS>"
  echo "<PROFILE TYPE=\"QUICKLANCH\"><NAME>$1</NAME><LOCALSRC>$3</LOCALSRC><DESTINATION TYPE=\"FTPFOLDER\"><FTPITEM><HOSTNAME>127.0.0.1</HOSTNAME><PORT>$port</PORT><USERNAME>bench</USERNAME><PASSWORD>bench</PASSWORD><PASSIVE>1</PASSIVE>$tls</FTPITEM><FILEURL>/tw</FILEURL></DESTINATION><CONFIG><DSTUSEDATE>0</DSTUSEDATE></CONFIG></PROFILE>" \
    > "$root/prog/Profile/$1.pfl"
}
big="<SUBITEM TYPE=\"LOCALFILE\"><FILEURL>$root/data/big/big.bin</FILEURL></SUBITEM>"
small="<SUBITEM TYPE=\"LOCALFOLDER\"><FILTER>+[*.*]</FILTER><RECURSIVE>1</RECURSIVE><FILEURL>$root/data/small</FILEURL></SUBITEM>"
for server in plain tls; do
  profile "$server-big" $server "$big"
  profile "$server-small" $server "$small"
done

timed() {  # profile: appends the seconds to $root/profile.times
  rm -rf "$root/ftp-plain/tw" "$root/ftp-tls/tw"
  sync
  local start end
  start=$(date +%s.%N)
  "$root/prog/tarnwick-cli" run "$1" > "$root/last.out" 2>&1 || { echo "$1 failed:" >&2; tail "$root/last.out" >&2; exit 1; }
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN {print e - s}' >> "$root/$1.times"
}

rm -f "$root"/*.times
for ((i = 0; i < runs; i++)); do
  for job in plain-big tls-big plain-small tls-small; do timed $job; done
done
echo "tarnwick-cli upload to pyftpdlib on 127.0.0.1, median of $runs runs; ratio = TLS time / plain time"
for set in big small; do
  plain=$(median < "$root/plain-$set.times")
  tls=$(median < "$root/tls-$set.times")
  printf '%-8s plain %7.2f s  TLS %7.2f s  ratio %.2f\n' "$set" "$plain" "$tls" \
    "$(awk -v p="$plain" -v t="$tls" 'BEGIN {print t / p}')"
done

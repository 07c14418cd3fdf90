#!/usr/bin/env bash
# Times `tarnwick-cli run` of FTP jobs against curl on the same local FTP server (pyftpdlib, started
# here on 127.0.0.1): upload and download of one 1 GiB file, and 2,000 small files (1-16 KiB)
# uploaded by a job versus one curl invocation uploading the same files. Runs alternate (3 each);
# the medians give the ratios (curl time / job time, so 1.0 means as fast as curl). Peak memory
# comes from /usr/bin/time (%M, KiB), also for a compressed job that sends a 1 GiB archive.
#
#   bench/ftp_compare.sh [path/to/tarnwick-cli]
#
# Default program: build-bench/src/cli/tarnwick-cli (a Release build). Data stays in
# /tmp/tarnwick-ftpbench between runs; delete it to regenerate.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-${TARNWICK_CLI:-$repo/build-bench/src/cli/tarnwick-cli}}
root=/tmp/tarnwick-ftpbench
runs=${TARNWICK_BENCH_RUNS:-3}
user=bench
pass=bench

[[ -x $cli ]] || { echo "no tarnwick-cli at $cli (build it in Release first)" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time missing: apt-get install time" >&2; exit 2; }

mkdir -p "$root/data" "$root/prog/Profile" "$root/ftp" "$root/down"
ln -sf "$(readlink -f "$cli")" "$root/prog/tarnwick-cli"

. "$repo/bench/transfer_data.sh"
make_transfer_data "$root/data"

# The server ends when its stdin (a fifo held open here) closes.
rm -f "$root/server.in"
mkfifo "$root/server.in"
/usr/bin/python3 "$repo/tests/support/ftp_test_server.py" --home "$root/ftp" --user "$user" --password "$pass" \
  < "$root/server.in" > "$root/server.port" 2> "$root/server.log" &
server_pid=$!
exec 3> "$root/server.in"
trap 'exec 3>&-; wait $server_pid 2>/dev/null || true' EXIT
for ((i = 0; i < 100; i++)); do [[ -s $root/server.port ]] && break; sleep 0.1; done
port=$(head -1 "$root/server.port")
[[ -n $port ]] || { echo "the FTP server did not start:" >&2; cat "$root/server.log" >&2; exit 2; }
url="ftp://127.0.0.1:$port"

ftpdest() {  # remote folder
  echo "<DESTINATION TYPE=\"FTPFOLDER\"><FTPITEM><HOSTNAME>127.0.0.1</HOSTNAME><PORT>$port</PORT><USERNAME>$user</USERNAME><PASSWORD>$pass</PASSWORD><PASSIVE>1</PASSIVE></FTPITEM><FILEURL>$1</FILEURL></DESTINATION>"
}
profile() {  # name body
  echo "<PROFILE TYPE=\"QUICKLANCH\"><NAME>$1</NAME>$2</PROFILE>" > "$root/prog/Profile/$1.pfl"
}
nozip="<CONFIG><DSTUSEDATE>0</DSTUSEDATE></CONFIG>"
profile ftp-up-big "<LOCALSRC><SUBITEM TYPE=\"LOCALFILE\"><FILEURL>$root/data/big/big.bin</FILEURL></SUBITEM></LOCALSRC>$(ftpdest /tw)$nozip"
profile ftp-down-big "<REMOTESRC><FTPITEM TYPE=\"UNIX\"><HOSTNAME>127.0.0.1</HOSTNAME><PORT>$port</PORT><USERNAME>$user</USERNAME><PASSWORD>$pass</PASSWORD><SUBITEM TYPE=\"FTPFILE\"><FILEURL>/src/big.bin</FILEURL></SUBITEM></FTPITEM></REMOTESRC><DESTINATION TYPE=\"LOCALFOLDER\"><FILEURL>$root/down/tw</FILEURL></DESTINATION>$nozip"
profile ftp-up-small "<LOCALSRC><SUBITEM TYPE=\"LOCALFOLDER\"><FILTER>+[*.*]</FILTER><RECURSIVE>1</RECURSIVE><FILEURL>$root/data/small</FILEURL></SUBITEM></LOCALSRC>$(ftpdest /tw)$nozip"
profile ftp-zip-big "<LOCALSRC><SUBITEM TYPE=\"LOCALFILE\"><FILEURL>$root/data/big/big.bin</FILEURL></SUBITEM></LOCALSRC>$(ftpdest /tw)<CONFIG><COMPRESS LEVEL=\"1\"><FILEURL>big.zip</FILEURL></COMPRESS><DSTUSEDATE>0</DSTUSEDATE></CONFIG>"

mkdir -p "$root/ftp/src"
cp -f "$root/data/big/big.bin" "$root/ftp/src/big.bin"
small_glob="{$(cd "$root/data/small" && ls | paste -sd, -)}"

# timed NAME COMMAND...: runs after clearing the targets, appends "seconds kib" to $root/NAME.times
timed() {
  local name=$1; shift
  rm -rf "$root/ftp/tw" "$root/ftp/curl" "$root/down/tw" "$root/down/curl.bin"
  mkdir -p "$root/ftp/curl"
  sync
  time_run "$root/$name.times" "$@"
}

compare() {  # label tw-name curl-name
  local tw curl
  tw=$(cut -d' ' -f1 "$root/$2.times" | median)
  curl=$(cut -d' ' -f1 "$root/$3.times" | median)
  printf '%-22s tarnwick %7.2f s  curl %7.2f s  ratio %.2f  peak memory tarnwick %d KiB, curl %d KiB\n' \
    "$1" "$tw" "$curl" "$(awk -v c="$curl" -v t="$tw" 'BEGIN {print c / t}')" "$(peak "$root/$2.times")" "$(peak "$root/$3.times")"
}

cd "$root/data/small"
rm -f "$root"/*.times
for ((i = 0; i < runs; i++)); do
  timed tw-up-big "$root/prog/tarnwick-cli" run ftp-up-big
  timed curl-up-big curl -sS --fail -u "$user:$pass" -T "$root/data/big/big.bin" "$url/curl/big.bin"
  timed tw-down-big "$root/prog/tarnwick-cli" run ftp-down-big
  timed curl-down-big curl -sS --fail -u "$user:$pass" -o "$root/down/curl.bin" "$url/src/big.bin"
  timed tw-up-small "$root/prog/tarnwick-cli" run ftp-up-small
  timed curl-up-small curl -sS --fail -u "$user:$pass" -T "$small_glob" "$url/curl/"
done
timed tw-zip-big "$root/prog/tarnwick-cli" run ftp-zip-big

echo "FTP on 127.0.0.1 (pyftpdlib), median of $runs runs; ratio = curl time / tarnwick time"
compare "upload 1 GiB" tw-up-big curl-up-big
compare "download 1 GiB" tw-down-big curl-down-big
compare "upload 2,000 files" tw-up-small curl-up-small
printf '%-22s tarnwick %7.2f s  peak memory %d KiB\n' "zip job, 1 GiB archive" \
  "$(cut -d' ' -f1 "$root/tw-zip-big.times")" "$(peak "$root/tw-zip-big.times")"

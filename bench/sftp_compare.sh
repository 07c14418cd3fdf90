#!/usr/bin/env bash
# Times `tarnwick-cli run` of SFTP uploads against OpenSSH's `sftp -b` on the same data and the same
# server: Debian's sshd started here on a free loopback port with a configuration, host key and
# user key of its own (key login only, SFTP through the built-in server), as the tests start it.
# One 1 GiB file and 2,000 small files (1-16 KiB) uploaded, the 1 GiB file downloaded. Runs
# alternate (3 each); prints the medians, the ratio tarnwick time / sftp time (1.0: as fast as
# sftp) and peak memory (/usr/bin/time, KiB).
#
#   bench/sftp_compare.sh [path/to/tarnwick-cli]
#
# Default program: build-bench/src/cli/tarnwick-cli (a Release build). Runs as the user who logs
# in (root needs /run/sshd, made here). Data stays in /tmp/tarnwick-sftpbench between runs; delete
# it to regenerate.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-${TARNWICK_CLI:-$repo/build-bench/src/cli/tarnwick-cli}}
root=/tmp/tarnwick-sftpbench
runs=${TARNWICK_BENCH_RUNS:-3}
user=$(id -un)
[[ -x $cli ]] || { echo "no tarnwick-cli at $cli (build it in Release first)" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "/usr/bin/time missing: apt-get install time" >&2; exit 2; }
[[ -x /usr/sbin/sshd ]] || { echo "no /usr/sbin/sshd: apt-get install openssh-server" >&2; exit 2; }

mkdir -p "$root/data" "$root/prog/Profile" "$root/ssh" "$root/home/.ssh"
ln -sf "$(readlink -f "$cli")" "$root/prog/tarnwick-cli"
. "$repo/bench/transfer_data.sh"
make_transfer_data "$root/data"

# The server: keys made once, a port free now, ended with the script.
for key in host_key user_key; do
  [[ -f $root/$key ]] || ssh-keygen -q -t ed25519 -N '' -C bench -f "$root/$key"
done
cp "$root/user_key.pub" "$root/authorized_keys"
[[ $(id -u) != 0 ]] || mkdir -p /run/sshd
cat > "$root/sshd_config" <<CONF
ListenAddress 127.0.0.1
HostKey $root/host_key
AuthorizedKeysFile $root/authorized_keys
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
PermitRootLogin yes
StrictModes no
PidFile none
Subsystem sftp internal-sftp
CONF
port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
/usr/sbin/sshd -D -e -f "$root/sshd_config" -p "$port" 2> "$root/sshd.log" &
server_pid=$!
trap 'kill $server_pid 2>/dev/null; wait $server_pid 2>/dev/null || true' EXIT
echo "[127.0.0.1]:$port $(cut -d' ' -f1,2 "$root/host_key.pub")" > "$root/home/.ssh/known_hosts"
for ((i = 0; i < 100; i++)); do (exec 3<> "/dev/tcp/127.0.0.1/$port") 2> /dev/null && break; sleep 0.1; done
kill -0 $server_pid 2> /dev/null || { echo "sshd did not start:" >&2; cat "$root/sshd.log" >&2; exit 2; }
# The program finds the host key in ~/.ssh/known_hosts, as a user's run would.
export HOME=$root/home

profile() {  # name local-source-item
  echo "<PROFILE TYPE=\"QUICKLANCH\"><NAME>$1</NAME><LOCALSRC>$2</LOCALSRC><DESTINATION TYPE=\"FTPFOLDER\"><FTPITEM><HOSTNAME>127.0.0.1</HOSTNAME><PORT>$port</PORT><USERNAME>$user</USERNAME><PASSWORD></PASSWORD><SFTP>1</SFTP><KEYFILE>$root/user_key</KEYFILE></FTPITEM><FILEURL>$root/ssh/tw</FILEURL></DESTINATION><CONFIG><DSTUSEDATE>0</DSTUSEDATE></CONFIG></PROFILE>" \
    > "$root/prog/Profile/$1.pfl"
}
profile sftp-big "<SUBITEM TYPE=\"LOCALFILE\"><FILEURL>$root/data/big/big.bin</FILEURL></SUBITEM>"
profile sftp-small "<SUBITEM TYPE=\"LOCALFOLDER\"><FILTER>+[*.*]</FILTER><RECURSIVE>1</RECURSIVE><FILEURL>$root/data/small</FILEURL></SUBITEM>"
# The download: the 1 GiB file as a remote source, into a local folder.
echo "<PROFILE TYPE=\"QUICKLANCH\"><NAME>sftp-down</NAME><REMOTESRC><FTPITEM TYPE=\"UNIX\"><HOSTNAME>127.0.0.1</HOSTNAME><PORT>$port</PORT><USERNAME>$user</USERNAME><PASSWORD></PASSWORD><SUBITEM TYPE=\"FTPFILE\"><FILEURL>$root/data/big/big.bin</FILEURL></SUBITEM><SFTP>1</SFTP><KEYFILE>$root/user_key</KEYFILE></FTPITEM></REMOTESRC><DESTINATION TYPE=\"LOCALFOLDER\"><FILEURL>$root/down/tw</FILEURL></DESTINATION><CONFIG><DSTUSEDATE>0</DSTUSEDATE></CONFIG></PROFILE>" \
  > "$root/prog/Profile/sftp-down.pfl"
printf 'mkdir %s\nput %s %s/\n' "$root/ssh/sftp" "$root/data/big/big.bin" "$root/ssh/sftp" > "$root/big.batch"
mkdir -p "$root/down"
printf 'get %s %s/sftp.bin\n' "$root/data/big/big.bin" "$root/down" > "$root/down.batch"
printf 'mkdir %s\nmkdir %s/small\nput %s/* %s/small/\n' "$root/ssh/sftp" "$root/ssh/sftp" "$root/data/small" \
  "$root/ssh/sftp" > "$root/small.batch"
sftp_cmd=(sftp -q -P "$port" -i "$root/user_key" -o BatchMode=yes -o StrictHostKeyChecking=yes
  -o UserKnownHostsFile="$root/home/.ssh/known_hosts")

timed() {  # name command...: on empty targets
  local name=$1; shift
  rm -rf "$root/ssh/tw" "$root/ssh/sftp" "$root/down/tw" "$root/down/sftp.bin"
  sync
  time_run "$root/$name.times" "$@"
}

rm -f "$root"/*.times
for ((i = 0; i < runs; i++)); do
  for set in big small down; do
    timed "tw-$set" "$root/prog/tarnwick-cli" run "sftp-$set"
    timed "sftp-$set" "${sftp_cmd[@]}" -b "$root/$set.batch" "$user@127.0.0.1"
  done
done

echo "SFTP to and from OpenSSH's sshd on 127.0.0.1, median of $runs runs; ratio = tarnwick time / sftp time"
for set in big small down; do
  tw=$(cut -d' ' -f1 "$root/tw-$set.times" | median)
  sf=$(cut -d' ' -f1 "$root/sftp-$set.times" | median)
  printf '%-6s tarnwick %7.2f s  sftp %7.2f s  ratio %.2f  peak memory tarnwick %d KiB, sftp %d KiB\n' "$set" \
    "$tw" "$sf" "$(awk -v t="$tw" -v s="$sf" 'BEGIN {print t / s}')" "$(peak "$root/tw-$set.times")" \
    "$(peak "$root/sftp-$set.times")"
done

#!/usr/bin/python3
"""A real FTP server for the tests, on 127.0.0.1 and a free port.

Prints the port on stdout (one line) once it listens; logs go to stderr. Ends when its stdin is
closed, so it never outlives the test program that started it.

  --home DIR --user NAME --password PW   the account and its home folder (full rights)
  --anon DIR                             anonymous login, read-write in DIR
  --locked DIR                           a folder below a home that nobody may enter or list
  --no-mlsd                              MLSD/MLST gone from FEAT and the command table
  --refuse-mlsd CODE                     MLSD stays in FEAT but every MLSD gets this reply code
  --drop-after N                         data connections are cut after N bytes (426 follows)
  --stall-after N                        data connections stop moving after N bytes
  --ignore-quit                          QUIT gets no reply, as from a server that hangs
  --no-rename / --no-delete              the account may not rename / delete files
  --crafted FOLDER=FILE                  MLSD and LIST of FOLDER (from the home) send FILE's bytes as they are
  --endless FOLDER                       MLSD and LIST of FOLDER never end
  --loop FOLDER                          FOLDER and every folder below it list two sub-folders, a and b
  --tls CERT KEY                         explicit TLS with this certificate, required on control and data
  --hash ALGORITHMS                      HASH offered in FEAT with these algorithms, e.g. "SHA-256*;CRC32" (the
                                         one marked "*" is current); OPTS HASH selects one, HASH hashes a file
  --hash-lies                            HASH answers a digest that is not the file's
  --hash-cached                          HASH answers the digest it first gave for a file, whatever the file
                                         holds later (a server trusting a stale digest cache)
  --size-lies                            SIZE answers one byte more than the file holds
"""

import argparse
import hashlib
import logging
import os
import sys
import threading
import zlib

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer


def make_dtp(base, drop_after, stall_after):
    class FaultyDTP(base):
        """Data channel with the fault switches."""

        _stalled = False
        _dropping = False

        def _limit(self):
            limits = [n for n in (drop_after, stall_after) if n >= 0]
            return min(limits) if limits else -1

        def _hit_limit(self):
            if drop_after >= 0 and self.get_transmitted_bytes() >= drop_after:
                if not self._dropping:
                    self._dropping = True
                    # Outside the send/recv call that got here, so asynchat is not mid-update.
                    self.ioloop.call_later(0, self._drop)
                return True
            if stall_after >= 0 and self.get_transmitted_bytes() >= stall_after:
                if not self._stalled:
                    self._stalled = True
                    self.ioloop.unregister(self._fileno)
                return True
            return False

        def _drop(self):
            if not self._closed:
                self._resp = ("426 Data connection dropped by the fault switch.", logging.info)
                self.close()

        def send(self, data):
            limit = self._limit()
            if limit >= 0:
                room = limit - self.get_transmitted_bytes()
                if room <= 0:
                    self._hit_limit()
                    return 0
                data = data[:room]
            sent = base.send(self, data)
            if limit >= 0:
                self._hit_limit()
            return sent

        def handle_read(self):
            if self._stalled or self._dropping:
                return
            limit = self._limit()
            if limit < 0:
                return base.handle_read(self)
            room = limit - self.get_transmitted_bytes()
            if room > 0:
                chunk = self.recv(min(room, self.ac_in_buffer_size))
                if not chunk:
                    self.transfer_finished = True
                    return
                self.tot_bytes_received += len(chunk)
                self.file_obj.write(chunk)
            self._hit_limit()

        # The base class binds this alias to its own handle_read. The TLS one must keep its own,
        # which runs the handshake first (its uploads then go without the fault switches).
        if base is DTPHandler:
            handle_read_event = handle_read
        else:
            def readable(self):
                # pyftpdlib 1.5.7 ignores a data connection that is still in its TLS handshake and
                # then drops it (clients that start TLS at once, as libcurl does, never get through).
                return self._ssl_accepting or base.readable(self)

    return FaultyDTP


class Crc32:
    """hashlib's interface for zlib's CRC-32."""

    def __init__(self):
        self.value = 0

    def update(self, data):
        self.value = zlib.crc32(data, self.value)

    def hexdigest(self):
        return "%08x" % self.value


HASHERS = {"SHA-256": hashlib.sha256, "SHA-1": hashlib.sha1, "MD5": hashlib.md5, "CRC32": Crc32}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--home", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--anon")
    parser.add_argument("--locked")
    parser.add_argument("--no-mlsd", action="store_true")
    parser.add_argument("--refuse-mlsd", type=int, default=0)
    parser.add_argument("--drop-after", type=int, default=-1)
    parser.add_argument("--stall-after", type=int, default=-1)
    parser.add_argument("--ignore-quit", action="store_true")
    parser.add_argument("--no-rename", action="store_true")
    parser.add_argument("--no-delete", action="store_true")
    parser.add_argument("--crafted", action="append", default=[])
    parser.add_argument("--endless")
    parser.add_argument("--loop")
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--hash")
    parser.add_argument("--hash-lies", action="store_true")
    parser.add_argument("--hash-cached", action="store_true")
    parser.add_argument("--size-lies", action="store_true")
    args = parser.parse_args()

    logging.basicConfig(stream=sys.stderr, level=logging.INFO)

    authorizer = DummyAuthorizer()
    perm = "elradfmwMT"
    if args.no_rename:
        perm = perm.replace("f", "")
    if args.no_delete:
        perm = perm.replace("d", "")
    authorizer.add_user(args.user, args.password, args.home, perm=perm)
    if args.anon:
        authorizer.add_anonymous(args.anon, perm="elradfmwMT")
    if args.locked:
        authorizer.override_perm(args.user, args.locked, perm="", recursive=True)

    home = os.path.realpath(args.home)

    def fs_path(folder):
        return os.path.normpath(os.path.join(home, folder.lstrip("/")))

    crafted = {}
    for spec in args.crafted:
        folder, file_name = spec.split("=", 1)
        with open(file_name, "rb") as f:
            crafted[fs_path(folder)] = f.read()

    class Endless:
        """Listing lines without end, as from a broken or hostile server."""

        def __init__(self, cmd):
            self.cmd = cmd
            self.n = 0

        def more(self):
            self.n += 1
            if self.cmd == "MLSD":
                return b"".join(b"type=file;size=1; f%d-%d\r\n" % (self.n, i) for i in range(200))
            return b"".join(b"-rw-r--r-- 1 u g 1 Jan 01  2020 f%d-%d\r\n" % (self.n, i) for i in range(200))

    def hostile_listing(path, cmd):
        """The bytes or producer a fault switch sends for `path`, or None."""
        path = os.path.normpath(path)
        if path in crafted:
            return crafted[path]
        if args.endless and path == fs_path(args.endless):
            return Endless(cmd)
        if args.loop and (path == fs_path(args.loop) or path.startswith(fs_path(args.loop) + os.sep)):
            if cmd == "MLSD":
                return b"type=dir; a\r\ntype=dir; b\r\n"
            return b"drwxr-xr-x 2 u g 0 Jan 01  2020 a\r\ndrwxr-xr-x 2 u g 0 Jan 01  2020 b\r\n"
        return None

    base_handler, base_dtp = FTPHandler, DTPHandler
    if args.tls:
        # Only imported here: servers without TLS run without pyOpenSSL.
        from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler
        base_handler, base_dtp = TLS_FTPHandler, TLS_DTPHandler

    # The algorithms HASH knows and the one selected on a new connection (marked "*", else the first).
    hash_names = [name.rstrip("*") for name in args.hash.split(";")] if args.hash else []
    hash_default = next((name.rstrip("*") for name in (args.hash or "").split(";") if name.endswith("*")),
                        hash_names[0] if hash_names else None)

    # (path, algorithm) -> (size, digest) as first answered, for --hash-cached; shared by all sessions.
    hash_cache = {}

    class Handler(base_handler):
        _hash_current = hash_default

        def ftp_FEAT(self, line):
            if not args.hash:
                return base_handler.ftp_FEAT(self, line)
            extra = self._extra_feats
            self._extra_feats = extra + ["HASH " + ";".join(n + ("*" if n == self._hash_current else "")
                                                             for n in hash_names)]
            try:
                base_handler.ftp_FEAT(self, line)
            finally:
                self._extra_feats = extra

        def ftp_OPTS(self, line):
            if not args.hash or not line.upper().startswith("HASH"):
                return base_handler.ftp_OPTS(self, line)
            name = line[4:].strip().upper()
            if not name:
                self.respond("200 " + self._hash_current)
            elif name in hash_names:
                self._hash_current = name
                self.respond("200 " + name)
            else:
                self.respond("501 Unknown algorithm, current selection not changed.")

        def ftp_HASH(self, path):
            if not self.fs.isfile(self.fs.realpath(path)):
                self.respond("550 %s is not retrievable." % self.fs.fs2ftp(path))
                return
            digest = HASHERS[self._hash_current]()
            size = 0
            with open(path, "rb") as f:
                for chunk in iter(lambda: f.read(65536), b""):
                    digest.update(chunk)
                    size += len(chunk)
            text = digest.hexdigest()
            if args.hash_cached:
                size, text = hash_cache.setdefault((path, self._hash_current), (size, text))
            if args.hash_lies:
                text = text[:-1] + ("0" if text[-1] != "0" else "1")
            self.respond("213 %s 0-%d %s %s" % (self._hash_current, size, text, self.fs.fs2ftp(path)))

        def ftp_SIZE(self, path):
            if not args.size_lies or not self.fs.isfile(self.fs.realpath(path)):
                return base_handler.ftp_SIZE(self, path)
            self.respond("213 %d" % (self.fs.getsize(path) + 1))

        def _hostile(self, path, cmd):
            data = hostile_listing(path, cmd)
            if data is None:
                return False
            self.push_dtp_data(data, isproducer=not isinstance(data, bytes), cmd=cmd)
            return True

        def ftp_LIST(self, path):
            if not self._hostile(path, "LIST"):
                return base_handler.ftp_LIST(self, path)
            return path

        def ftp_QUIT(self, line):
            if not args.ignore_quit:
                base_handler.ftp_QUIT(self, line)

        def ftp_MLSD(self, path):
            if args.refuse_mlsd:
                self.respond("%d MLSD refused by the fault switch." % args.refuse_mlsd)
            elif not self._hostile(path, "MLSD"):
                base_handler.ftp_MLSD(self, path)

    Handler.authorizer = authorizer
    Handler.use_sendfile = False
    Handler.auth_failed_timeout = 0  # refused logins answer at once
    Handler.permit_foreign_addresses = False
    Handler.dtp_handler = make_dtp(base_dtp, args.drop_after, args.stall_after)
    if args.tls:
        Handler.certfile, Handler.keyfile = args.tls
        Handler.tls_control_required = True
        Handler.tls_data_required = True
    # Data-connection, listing and option commands in the log, so tests can see which mode and
    # which listing command a client used, and what it switched on.
    Handler.log_cmds_list = FTPHandler.log_cmds_list + ["PORT", "EPRT", "PASV", "EPSV", "MLSD", "LIST", "OPTS", "AUTH",
                                                        "PROT"]
    if args.hash:
        Handler.proto_cmds = dict(base_handler.proto_cmds, HASH=dict(
            perm="r", auth=True, arg=True, help="Syntax: HASH <SP> file-name (file digest)."))
        Handler.log_cmds_list = Handler.log_cmds_list + ["HASH"]
    if args.no_mlsd:
        Handler.proto_cmds = {k: v for k, v in Handler.proto_cmds.items() if k not in ("MLSD", "MLST")}

    server = FTPServer(("127.0.0.1", 0), Handler)
    print(server.address[1], flush=True)

    def watch_stdin():
        sys.stdin.read()
        os._exit(0)

    threading.Thread(target=watch_stdin, daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()

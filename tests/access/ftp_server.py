#!/usr/bin/python3
"""The FTP peer of the access tests: pyftpdlib on a free port of
127.0.0.1, printing its port as the first line.

  --root DIR          the served folder
  --user NAME:PASS    a user with full rights on DIR
  --anonymous         anonymous read access to DIR
  --tls CERT KEY      explicit TLS (AUTH TLS); with --implicit at once
  --no-mlst           no MLST/MLSD in FEAT, so clients use LIST
  --local-times       LIST and MLSD times in the server's local time
  --masquerade ADDR   the address PASV replies name (clients must ignore it)
  --log FILE          every command received, one per line
  --silent            accept connections and never greet
  --feat LINE         a FEAT line in place of the server's own (repeatable;
                      "" for an empty list)
  --answer CMD:REPLY  answer the command CMD with REPLY, unprocessed
  --throttle BYTES    data connections move at most BYTES a second
  --cut BYTES         the first RETR loses its data connection after BYTES
                      (426), as a broken line would
  --cut-store BYTES   the first STOR loses its data connection after about
                      BYTES (426), keeping what came before
  --no-replace        RNTO refuses (553) a target that exists, as some
                      servers do
"""

import argparse
import socket
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import (DTPHandler, FTPHandler, ThrottledDTPHandler,
                                TLS_FTPHandler)
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", default=".")
    parser.add_argument("--user", action="append", default=[])
    parser.add_argument("--anonymous", action="store_true")
    parser.add_argument("--tls", nargs=2)
    parser.add_argument("--implicit", action="store_true")
    parser.add_argument("--no-mlst", action="store_true")
    parser.add_argument("--local-times", action="store_true")
    parser.add_argument("--masquerade")
    parser.add_argument("--log")
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--feat", action="append")
    parser.add_argument("--answer", action="append", default=[])
    parser.add_argument("--throttle", type=int, default=0)
    parser.add_argument("--cut", type=int, default=0)
    parser.add_argument("--cut-store", type=int, default=0)
    parser.add_argument("--no-replace", action="store_true")
    args = parser.parse_args()

    if args.silent:
        listener = socket.socket()
        listener.bind(("127.0.0.1", 0))
        listener.listen(5)
        print(listener.getsockname()[1], flush=True)
        held = []
        while True:
            held.append(listener.accept()[0])

    authorizer = DummyAuthorizer()
    for user in args.user:
        name, password = user.split(":", 1)
        authorizer.add_user(name, password, args.root, perm="elradfmwMT")
    if args.anonymous:
        authorizer.add_anonymous(args.root)

    answers = dict(a.split(":", 1) for a in args.answer)
    base = TLS_FTPHandler if args.tls else FTPHandler
    log = open(args.log, "a", buffering=1) if args.log else None

    class Handler(base):
        def pre_process_command(self, line, cmd, arg):
            if log:
                log.write(line + "\n")
            if cmd in answers:
                self.respond(answers[cmd])
                return
            return super().pre_process_command(line, cmd, arg)

        def ftp_FEAT(self, line):
            if args.feat is None:
                return super().ftp_FEAT(line)
            lines = "".join(" %s\r\n" % f for f in args.feat if f)
            self.push("211-Features supported:\r\n" + lines + "211 End FEAT.\r\n")

        def ftp_RNTO(self, path):
            if args.no_replace and self.fs.lexists(path):
                self._rnfr = None
                self.respond("553 Destination exists.")
                return
            return super().ftp_RNTO(path)

        def handle(self):
            if args.tls and args.implicit:
                self.secure_connection(self.ssl_context)
            return super().handle()

    cut = {"left": args.cut, "store": args.cut_store}

    class CuttingDTP(DTPHandler):
        """Sends the first RETR's first bytes only, or takes the first
        STOR's, then fails."""

        def use_sendfile(self):
            return False

        def recv(self, buffer_size):
            data = super().recv(buffer_size)
            if cut["store"] <= 0:
                return data
            cut["store"] -= len(data)
            if cut["store"] <= 0:
                cut["store"] = -1
                raise OSError("line broken")
            return data

        def send(self, data):
            if self.receive or cut["left"] <= 0:
                return super().send(data)
            sent = super().send(data[:cut["left"]])
            cut["left"] -= sent
            if cut["left"] <= 0:
                cut["left"] = -1
                raise OSError("line broken")
            return sent

    if args.throttle:
        ThrottledDTPHandler.read_limit = args.throttle
        ThrottledDTPHandler.write_limit = args.throttle
        Handler.dtp_handler = ThrottledDTPHandler
    elif args.cut or args.cut_store:
        Handler.dtp_handler = CuttingDTP
    Handler.authorizer = authorizer
    Handler.auth_failed_timeout = 0.1
    Handler.use_gmt_times = not args.local_times
    Handler.passive_ports = None
    if args.masquerade:
        Handler.masquerade_address = args.masquerade
    if args.no_mlst:
        Handler.proto_cmds = {k: v for k, v in base.proto_cmds.items()
                              if k not in ("MLST", "MLSD")}
    if args.tls:
        Handler.certfile, Handler.keyfile = args.tls
    server = FTPServer(("127.0.0.1", 0), Handler)
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()

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
"""

import argparse
import socket
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, TLS_FTPHandler
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

    base = TLS_FTPHandler if args.tls else FTPHandler
    log = open(args.log, "a", buffering=1) if args.log else None

    class Handler(base):
        def pre_process_command(self, line, cmd, arg):
            if log:
                log.write(line + "\n")
            return super().pre_process_command(line, cmd, arg)

        def handle(self):
            if args.tls and args.implicit:
                self.secure_connection(self.ssl_context)
            return super().handle()

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

#!/usr/bin/python3
"""An FTP proxy of one login kind for the access tests, on a free port of
127.0.0.1, printing its port as the first line. It records every line it
receives and, once the lines name the site, relays the control connection
to the FTP server on 127.0.0.1 --target, reply by reply.

  --kind N            the login kind, 0 to 6
  --target PORT       the FTP server's port
  --proxy-user NAME   the proxy's own user (kinds 0, 1, 2 and 4)
  --log FILE          every line received, one per line
  --refuse VERB       answer this command with 500
"""

import argparse
import socket
import threading

args = None
log_lock = threading.Lock()


def record(line):
    if args.log:
        with log_lock, open(args.log, "a") as f:
            f.write(line + "\n")


class Upstream:
    def __init__(self):
        self.sock = socket.create_connection(("127.0.0.1", args.target))
        self.file = self.sock.makefile("rb")
        self.reply()  # the greeting

    def reply(self):
        lines = [self.file.readline()]
        code = lines[0][:3]
        if lines[0][3:4] == b"-":
            while not (lines[-1][:3] == code and lines[-1][3:4] == b" "):
                line = self.file.readline()
                if not line:
                    break
                lines.append(line)
        return b"".join(lines)

    def ask(self, line):
        self.sock.sendall(line.encode() + b"\r\n")
        return self.reply()


def serve(client):
    cfile = client.makefile("rb")

    def send(data):
        client.sendall(data if isinstance(data, bytes) else data.encode() + b"\r\n")

    def relay(up, line):
        answer = up.ask(line)
        send(answer)
        # A transfer's start is followed by its end.
        if answer[:1] == b"1":
            send(up.reply())
        return answer

    kind = args.kind
    up = None
    send("220 Proxy ready")
    try:
        while True:
            raw = cfile.readline()
            if not raw:
                return
            line = raw.decode("utf-8", "replace").rstrip("\r\n")
            record(line)
            verb, _, arg = line.partition(" ")
            verb = verb.upper()
            if verb == args.refuse:
                send("500 %s not allowed here." % verb)
                continue
            if up is None:
                if verb == "USER" and args.proxy_user and arg == args.proxy_user:
                    send("331 Proxy password please.")
                elif verb == "PASS":
                    send("230 Proxy login ok.")
                elif verb in ("SITE", "OPEN") and kind in (1, 2):
                    up = Upstream()
                    send("220 Connected to %s." % arg)
                elif verb == "USER":
                    user = arg
                    if kind in (0, 3, 5, 6):
                        user = arg.split("@", 1)[0]
                    up = Upstream()
                    relay(up, "USER " + user)
                else:
                    send("530 Name the site first.")
                continue
            if verb == "QUIT":
                relay(up, line)
                return
            if verb == "PASS" and kind == 3:
                line = "PASS " + arg.rsplit("@", 1)[0]
            elif verb == "PASS" and kind == 6:
                line = "PASS " + arg.rsplit(" ", 1)[0]
            elif verb == "ACCT" and kind == 5:
                send("230 Firewall login ok.")
                continue
            if verb == "PASS" and kind == 5:
                answer = up.ask(line)
                send("332 Firewall account please." if answer[:3] == b"230" else answer)
                continue
            relay(up, line)
    except OSError:
        pass
    finally:
        client.close()


def main():
    global args
    parser = argparse.ArgumentParser()
    parser.add_argument("--kind", type=int, required=True)
    parser.add_argument("--target", type=int, required=True)
    parser.add_argument("--proxy-user", default="")
    parser.add_argument("--log")
    parser.add_argument("--refuse", default="")
    args = parser.parse_args()
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(5)
    print(listener.getsockname()[1], flush=True)
    while True:
        client = listener.accept()[0]
        threading.Thread(target=serve, args=(client,), daemon=True).start()


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""The web tests' peers on 127.0.0.1, each printing its port first.

  files ROOT [--cert PEM --key KEY] [--log LOG]
                                      a file server (GET, HEAD); /redirect/X
                                      answers 302 to /X, /error500/X 500,
                                      /nolength/X sends X without a length
                                      (closing the connection after it),
                                      /slow/X sends X in 16-byte pieces
                                      every 50 ms; /chunked/N sends N bytes
                                      of the pattern i % 251 in chunks
                                      without a Content-Length; /endless
                                      sends such chunks without end; each
                                      request (method, path and its cache
                                      and accept headers) goes to LOG
  connect-peer LOG                    a CONNECT proxy that answers as the
                                      target host asks: "keep" 407 and then
                                      200 on the same connection, "close" 407
                                      with Proxy-Connection: close, "empty"
                                      an empty status line, "refuse" 407
                                      always; each connection and request
                                      line goes to LOG
"""
import http.server
import io
import os
import socket
import socketserver
import ssl
import sys
import threading
import time


class Files(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def log_request_line(self):
        if not self.server.log:
            return
        h = self.headers
        with open(self.server.log, "a") as f:
            f.write("%s %s cache=%s pragma=%s accept=%s\n" % (
                self.command, self.path, h.get("Cache-Control"), h.get("Pragma"), h.get("Accept")))

    def do_GET(self):
        self.log_request_line()
        if self.path.startswith("/chunked/"):
            return self.send_chunks(int(self.path[len("/chunked/"):]))
        if self.path == "/endless":
            return self.send_chunks(None)
        for mode in ("slow", "nolength"):
            if self.path.startswith("/%s/" % mode):
                self.path = self.path[len(mode) + 1:]
                self.send_body(mode)
                return
        super().do_GET()

    def do_HEAD(self):
        self.log_request_line()
        super().do_HEAD()

    def send_body(self, mode):
        try:
            with open(self.translate_path(self.path), "rb") as f:
                data = f.read()
        except OSError:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if mode == "slow":
            self.send_header("Content-Length", str(len(data)))
        else:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        try:
            if mode == "slow":
                for i in range(0, len(data), 16):
                    self.wfile.write(data[i:i + 16])
                    self.wfile.flush()
                    time.sleep(0.05)
            else:
                self.wfile.write(data)
        except OSError:
            self.close_connection = True

    def send_chunks(self, total):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        block = bytes(i % 251 for i in range(251 * 261))  # 65,511 bytes, whole periods
        sent = 0
        try:
            while total is None or sent < total:
                part = block if total is None else block[: min(len(block), total - sent)]
                self.wfile.write(b"%x\r\n" % len(part) + part + b"\r\n")
                sent += len(part)
            self.wfile.write(b"0\r\n\r\n")
        except (BrokenPipeError, ConnectionResetError):
            pass
        self.close_connection = True

    def send_head(self):
        if self.path.startswith("/redirect/"):
            self.send_response(302)
            self.send_header("Location", self.path[len("/redirect"):])
            self.send_header("Content-Length", "0")
            self.end_headers()
            return None
        if self.path.startswith("/error500/"):
            body = b"server error"
            self.send_response(500)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            return io.BytesIO(body)
        return super().send_head()


def serve_files(root, cert, key, log):
    os.chdir(root)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Files)
    server.log = log
    if cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    server.serve_forever()


class ConnectPeer(socketserver.StreamRequestHandler):
    def log(self, text):
        with open(self.server.log, "a") as f:
            f.write(text + "\n")

    def request_lines(self):
        lines = []
        while True:
            line = self.rfile.readline(65536)
            if not line:
                return None
            line = line.rstrip(b"\r\n").decode("latin-1")
            if not line:
                return lines
            lines.append(line)

    def handle(self):
        self.log("connection")
        while True:
            lines = self.request_lines()
            if not lines:
                return
            for line in lines:
                self.log(line)
            target = lines[0].split()[1]
            authorized = any(l.startswith("Proxy-Authorization: ") for l in lines)
            mode = target.split(".")[0]
            w = self.wfile
            if mode == "empty":
                w.write(b"\r\n")
                return
            if authorized and mode != "refuse":
                w.write(b"HTTP/1.1 200 Connection established\r\n\r\n")
                w.write(b"tunnel open\n")
                return
            body = b"denied"
            w.write(b"HTTP/1.1 407 Proxy Authentication Required\r\n")
            w.write(b'Proxy-Authenticate: Basic realm="test"\r\n')
            if mode == "close":
                w.write(b"Proxy-Connection: close\r\n")
            w.write(b"Content-Length: %d\r\n\r\n%s" % (len(body), body))
            w.flush()
            if mode == "close":
                return


class Threading(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True


def serve_connect_peer(log):
    server = Threading(("127.0.0.1", 0), ConnectPeer)
    server.log = log
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    if sys.argv[1] == "files":
        args = sys.argv[2:]
        cert = args[args.index("--cert") + 1] if "--cert" in args else None
        key = args[args.index("--key") + 1] if "--key" in args else None
        log = args[args.index("--log") + 1] if "--log" in args else None
        serve_files(args[0], cert, key, log)
    else:
        serve_connect_peer(sys.argv[2])

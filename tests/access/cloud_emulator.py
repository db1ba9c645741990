#!/usr/bin/python3
"""Loopback stand-in for the retired cloud storage service (HTTP API 1).

Serves HTTPS on 127.0.0.1 at a free port, which it prints as the first
line of its output. Files live in the folder given with --root. Every
request's OAuth signature is checked with oauthlib: HMAC-SHA1 for the
token requests, PLAINTEXT for the rest; a bad signature or a nonce seen
before gives 401. Fetching the authorization address authorizes the
request token.

Faults are switched on by writing JSON to the --control file, read anew
on every request:
  {"status": 503}         every API request answers with that status
  {"slow": true}          file bodies come in small pieces with pauses
  {"huge": true}          listed files claim a size above 2 GiB
  {"token": "reversed"}   token answers name the token before its secret
  {"token": "partial"}    token answers lack the secret

With --log, the path of every request is appended to that file.
"""

import argparse
import email.utils
import json
import os
import secrets
import shutil
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

from oauthlib.oauth1 import RequestValidator, SignatureOnlyEndpoint
from oauthlib.oauth1.rfc5849 import errors as oauth_errors

STATE_LOCK = threading.Lock()


class Validator(RequestValidator):
    """Knows the one consumer and the tokens this run handed out."""

    def __init__(self, state):
        super().__init__()
        self.state = state

    # The service's keys and the client's 32-digit nonces are longer than
    # oauthlib's defaults allow.
    @property
    def client_key_length(self):
        return 3, 64

    @property
    def request_token_length(self):
        return 3, 64

    @property
    def access_token_length(self):
        return 3, 64

    @property
    def nonce_length(self):
        return 3, 64

    @property
    def enforce_ssl(self):
        return True

    @property
    def allowed_signature_methods(self):
        return ("HMAC-SHA1", "PLAINTEXT")

    @property
    def dummy_client(self):
        return "dummy"

    def validate_client_key(self, client_key, request):
        return client_key == self.state["consumer"][0]

    def get_client_secret(self, client_key, request):
        return self.state["consumer"][1]

    def get_request_token_secret(self, client_key, token, request):
        return self.state["request_tokens"].get(token, {}).get("secret", "")

    def get_access_token_secret(self, client_key, token, request):
        return self.state["access_tokens"].get(token, "")

    def validate_timestamp_and_nonce(self, client_key, timestamp, nonce, request,
                                     request_token=None, access_token=None):
        with STATE_LOCK:
            if nonce in self.state["nonces"]:
                return False
            self.state["nonces"].add(nonce)
            return True


def entry(root, rel):
    """The metadata of one item, keys in the order the service wrote them."""
    full = os.path.join(root, rel.strip("/"))
    st = os.stat(full)
    is_dir = os.path.isdir(full)
    size = 0 if is_dir else st.st_size
    if CONTROL.get("huge") and not is_dir:
        size = 3 * 1024 * 1024 * 1024 + size
    item = {
        "revision": 1,
        "rev": "1",
        "thumb_exists": False,
        "bytes": size,
        "modified": email.utils.formatdate(st.st_mtime, usegmt=True).replace("GMT", "+0000"),
        "path": "/" + rel.strip("/") if rel.strip("/") else "/",
        "is_dir": is_dir,
        "icon": "folder" if is_dir else "page_white",
        "root": "dropbox",
        "size": "%d bytes" % size,
    }
    return item


CONTROL = {}


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):  # quiet: the tests read our output
        pass

    # -- helpers -------------------------------------------------------------

    def send(self, status, body=b"", ctype="application/json"):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if body:
            self.wfile.write(body)

    def send_json(self, obj):
        self.send(200, json.dumps(obj, separators=(", ", ": ")).encode())

    def uri(self):
        return "https://127.0.0.1:%d%s" % (self.server.server_port, self.path)

    def check(self, token_request=False):
        endpoint = self.server.endpoint
        try:
            request = endpoint._create_request(self.uri(), self.command, None, {})
            endpoint._check_transport_security(request)
            if request.signature_method != "PLAINTEXT":
                endpoint._check_mandatory_parameters(request)
                if not endpoint.request_validator.validate_timestamp_and_nonce(
                        request.client_key, request.timestamp, request.nonce, request):
                    return False
            elif not request.signature or not request.client_key:
                return False
            if not endpoint.request_validator.validate_client_key(request.client_key, request):
                return False
            if token_request and request.resource_owner_key:
                if request.resource_owner_key not in self.server.state["request_tokens"]:
                    return False
            elif not token_request:
                # Everything but the login needs an access token.
                if request.resource_owner_key not in self.server.state["access_tokens"]:
                    return False
            return endpoint._check_signature(request, is_token_request=token_request)
        except oauth_errors.OAuth1Error:
            return False

    def read_control(self):
        global CONTROL
        try:
            with open(self.server.control) as f:
                CONTROL = json.load(f)
        except (OSError, ValueError):
            CONTROL = {}

    def local(self, rel):
        rel = urllib.parse.unquote(rel)
        full = os.path.normpath(os.path.join(self.server.root, rel.strip("/")))
        if not (full + "/").startswith(self.server.root.rstrip("/") + "/"):
            return None, rel
        return full, rel

    # -- dispatch ------------------------------------------------------------

    def do_GET(self):
        self.dispatch()

    def do_PUT(self):
        self.dispatch()

    def do_POST(self):
        self.dispatch()

    def dispatch(self):
        self.read_control()
        if self.server.log:
            with STATE_LOCK, open(self.server.log, "a") as f:
                f.write(urllib.parse.urlsplit(self.path).path + "\n")
        parsed = urllib.parse.urlsplit(self.path)
        path, query = parsed.path, urllib.parse.parse_qs(parsed.query)
        body = b""
        length = int(self.headers.get("Content-Length") or 0)
        if length:
            body = self.rfile.read(length)
        state = self.server.state

        if path == "/1/oauth/authorize":
            token = query.get("oauth_token", [""])[0]
            if token in state["request_tokens"]:
                state["request_tokens"][token]["authorized"] = True
                return self.send(200, b"<html>Authorized</html>", "text/html")
            return self.send(404)

        if path in ("/1/oauth/request_token", "/1/oauth/access_token"):
            access = path.endswith("access_token")
            if not self.check(token_request=True):
                return self.send(401, b'{"error": "Unauthorized"}')
            key, secret = secrets.token_hex(8), secrets.token_hex(8)
            if access:
                rt = urllib.parse.parse_qs(parsed.query).get("oauth_token", [""])[0]
                if not state["request_tokens"].get(rt, {}).get("authorized"):
                    return self.send(401, b'{"error": "Request token not authorized"}')
                del state["request_tokens"][rt]
                state["access_tokens"][key] = secret
            else:
                state["request_tokens"][key] = {"secret": secret, "authorized": False}
            mode = CONTROL.get("token")
            if mode == "reversed":
                answer = "oauth_token=%s&oauth_token_secret=%s" % (key, secret)
            elif mode == "partial":
                answer = "oauth_token=%s" % key
            else:
                answer = "oauth_token_secret=%s&oauth_token=%s" % (secret, key)
            if access:
                answer += "&uid=12345"
            return self.send(200, answer.encode(), "text/plain")

        if not self.check():
            return self.send(401, b'{"error": "Unauthorized"}')
        if CONTROL.get("status"):
            return self.send(int(CONTROL["status"]), b'{"error": "Injected"}')

        if path == "/1/account/info":
            return self.send_json({
                "referral_link": "https://127.0.0.1/referrals/x",
                "display_name": "Test User",
                "uid": 12345,
                "country": "DE",
                "quota_info": {"datastores": 0, "shared": 1536, "quota": 2147483648,
                               "normal": 5242880},
                "email": "test@example.org",
            })

        for prefix in ("/1/metadata/auto", "/1/files/auto", "/1/files_put/auto"):
            if path == prefix or path.startswith(prefix + "/"):
                full, rel = self.local(path[len(prefix):])
                if full is None:
                    return self.send(403)
                if prefix == "/1/files_put/auto":
                    os.makedirs(os.path.dirname(full), exist_ok=True)
                    with open(full, "wb") as f:
                        f.write(body)
                    return self.send_json(entry(self.server.root, rel))
                if not os.path.exists(full):
                    return self.send(404, b'{"error": "Path not found"}')
                if prefix == "/1/metadata/auto":
                    item = entry(self.server.root, rel)
                    if os.path.isdir(full):
                        item["hash"] = "0"
                        item["contents"] = [entry(self.server.root, rel.strip("/") + "/" + n)
                                            for n in sorted(os.listdir(full))]
                    return self.send_json(item)
                with open(full, "rb") as f:
                    data = f.read()
                return self.send_file(data)

        if path in ("/1/fileops/delete", "/1/fileops/move"):
            if path.endswith("delete"):
                full, rel = self.local(query.get("path", [""])[0])
                if full is None or not os.path.exists(full):
                    return self.send(404, b'{"error": "Path not found"}')
                item = entry(self.server.root, rel)
                if os.path.isdir(full):
                    shutil.rmtree(full)
                else:
                    os.remove(full)
                item["is_deleted"] = True
                return self.send_json(item)
            src, _ = self.local(query.get("from_path", [""])[0])
            dst, rel = self.local(query.get("to_path", [""])[0])
            if src is None or dst is None or not os.path.exists(src):
                return self.send(404, b'{"error": "Path not found"}')
            if os.path.exists(dst):
                return self.send(403, b'{"error": "Destination exists"}')
            os.rename(src, dst)
            return self.send_json(entry(self.server.root, rel))

        return self.send(404, b'{"error": "Unknown address"}')

    def send_file(self, data):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        try:
            if CONTROL.get("slow"):
                for i in range(0, len(data), 4096):
                    self.wfile.write(data[i:i + 4096])
                    self.wfile.flush()
                    time.sleep(0.05)
            else:
                self.wfile.write(data)
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError):
            pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--control", required=True)
    parser.add_argument("--consumer", default="appkey123:appsecret456")
    parser.add_argument("--log", default="")
    args = parser.parse_args()

    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    server.socket = context.wrap_socket(server.socket, server_side=True,
                                        do_handshake_on_connect=False)
    key, secret = args.consumer.split(":", 1)
    server.state = {"consumer": (key, secret), "request_tokens": {}, "access_tokens": {},
                    "nonces": set()}
    server.endpoint = SignatureOnlyEndpoint(Validator(server.state))
    server.root = os.path.realpath(args.root)
    server.control = args.control
    server.log = args.log
    print(server.server_port, flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())

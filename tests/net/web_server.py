#!/usr/bin/env python3
"""A small web server for the web client's tests: serves the alarm file named
on the command line from 127.0.0.1 on a free port, which it prints first.
Paths: /alfile.ini (with Last-Modified), /nolm (without), /rfc850 and
/asctime (the older date forms), /missing (404), /redirect (302), /stall
(never answers), /short (a body shorter than its Content-Length), /endless
(a body without end), /garbage (not an alarm file, always newer), /headers
(the validators written in the file's ".headers" beside it, as JSON, verbatim;
304 to an If-None-Match naming its ETag) and /stats (how many requests of each
method, how many 304s and the If-None-Match last sent, and the bytes of the
last answer).
With --tls DIR it speaks HTTPS, with a throwaway certificate for 127.0.0.1
that it makes in DIR as cert.pem."""
import email.utils
import json
import os
import ssl
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from throwaway_tls import tls_context  # noqa: E402

FILE = sys.argv[1]
STATS = {"HEAD": 0, "GET": 0, "304": 0, "if_none_match": "", "last_bytes": 0,
         "last_request_bytes": 0}
LOCK = threading.Lock()
STOP = threading.Event()


class Counting:
    def __init__(self, inner):
        self.inner = inner
        self.count = 0

    def write(self, data):
        self.count += len(data)
        return self.inner.write(data)

    def __getattr__(self, name):
        return getattr(self.inner, name)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def setup(self):
        super().setup()
        self.wfile = Counting(self.wfile)

    def log_message(self, *args):
        pass

    def finish(self):
        if self.path != "/stats":
            with LOCK:
                STATS["last_bytes"] = self.wfile.count
                STATS["last_request_bytes"] = len(self.raw_requestline) + len(str(self.headers))
        super().finish()

    def body_and_time(self):
        with open(FILE, "rb") as f:
            return f.read(), os.stat(FILE).st_mtime

    def send(self, code, body, headers=(), length=None):
        self.send_response(code)
        for k, v in headers:
            self.send_header(k, v)
        self.send_header("Content-Length", str(len(body) if length is None else length))
        self.end_headers()
        if self.command == "GET":
            self.wfile.write(body)

    def answer(self):
        if self.path == "/stats":
            with LOCK:
                body = json.dumps(STATS).encode()
            return self.send(200, body)
        with LOCK:
            STATS[self.command] = STATS.get(self.command, 0) + 1
        path = self.path
        if path == "/missing":
            return self.send(404, b"not here")
        if path == "/redirect":
            return self.send(302, b"", [("Location", "/alfile.ini")])
        if path == "/stall":
            STOP.wait(120)
            return None
        if path == "/garbage":
            stamp = email.utils.formatdate(time.time() + 86400, usegmt=True)
            return self.send(200, b"<html>Proxy error</html>", [("Last-Modified", stamp)])
        if path == "/endless":
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            chunk = b"x" * 65536
            try:
                while not STOP.is_set() and self.command == "GET":
                    self.wfile.write(chunk)
            except OSError:
                pass
            self.close_connection = True
            return None
        if path == "/headers":
            return self.validators()
        body, mtime = self.body_and_time()
        gm = time.gmtime(mtime)
        stamps = {
            "/alfile.ini": email.utils.formatdate(mtime, usegmt=True),
            "/rfc850": time.strftime("%A, %d-%b-%y %H:%M:%S GMT", gm),
            "/asctime": time.strftime("%a %b ", gm) + ("%2d" % gm.tm_mday) + time.strftime(" %H:%M:%S %Y", gm),
            "/short": email.utils.formatdate(mtime, usegmt=True),
        }
        if path == "/nolm":
            return self.send(200, body)
        if path not in stamps:
            return self.send(404, b"unknown")
        if path == "/short":
            self.send(200, body[: len(body) // 2], [("Last-Modified", stamps[path])], len(body))
            self.close_connection = True
            return None
        return self.send(200, body, [("Last-Modified", stamps[path])])

    def validators(self):
        body, _ = self.body_and_time()
        try:
            with open(FILE + ".headers") as f:
                headers = json.load(f)
        except FileNotFoundError:
            headers = {}
        asked = self.headers.get("If-None-Match", "")
        with LOCK:
            STATS["if_none_match"] = asked
        if asked and asked == headers.get("ETag"):
            with LOCK:
                STATS["304"] += 1
            self.send_response(304)
            self.send_header("ETag", headers["ETag"])
            self.end_headers()
            return None
        return self.send(200, body, list(headers.items()))

    do_GET = answer
    do_HEAD = answer


class TlsServer(ThreadingHTTPServer):
    context = None

    def finish_request(self, request, client_address):
        # The handshake runs in the request's own thread, so a client that
        # never completes it holds up no other.
        with self.context.wrap_socket(request, server_side=True) as tls:
            self.RequestHandlerClass(tls, client_address, self)

    def handle_error(self, request, client_address):
        # A client refusing the certificate is what some tests want.
        if not isinstance(sys.exc_info()[1], (ssl.SSLError, OSError)):
            super().handle_error(request, client_address)



def main():
    if len(sys.argv) == 4 and sys.argv[2] == "--tls":
        TlsServer.context = tls_context(sys.argv[3])
        server = TlsServer(("127.0.0.1", 0), Handler)
    else:
        server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    # Ends with its standard input (the test closes it, or dies).
    threading.Thread(target=server.serve_forever, args=(0.05,), daemon=True).start()
    sys.stdin.read()
    STOP.set()
    server.shutdown()


if __name__ == "__main__":
    main()

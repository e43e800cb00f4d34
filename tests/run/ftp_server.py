#!/usr/bin/env python3
"""An FTP server on 127.0.0.1 for the transfer tests and the benchmark.

Listens on a port the system picks and prints it as the first line of
stdout; serves ROOT to the user "user" with the password "secret" until it
is killed. Every command it receives goes to --log, one line each.

  --throttle N   data connections move at most N bytes a second
  --tls CERT     FTP over TLS (explicit, AUTH TLS), with CERT holding the
                 certificate and its key; the client must protect the
                 control and the data connections
  --names A,B    the name list (NLST) answers these names instead of the
                 directory's
  --stall N      a download sends its first N bytes, then nothing more, and
                 keeps the data connection open
  --no-connect-back
                 active mode (PORT, EPRT) is agreed to, but the server never
                 connects back
"""
import argparse
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    p = argparse.ArgumentParser()
    p.add_argument("root")
    p.add_argument("--log")
    p.add_argument("--throttle", type=int, default=0)
    p.add_argument("--tls")
    p.add_argument("--names")
    p.add_argument("--stall", type=int)
    p.add_argument("--no-connect-back", action="store_true")
    a = p.parse_args()

    logging.basicConfig(level=logging.CRITICAL)
    base = FTPHandler
    if a.tls:
        from pyftpdlib.handlers import TLS_FTPHandler
        base = TLS_FTPHandler

    log = open(a.log, "a", buffering=1) if a.log else None

    class Handler(base):
        def pre_process_command(self, line, cmd, arg):
            if log:
                log.write((cmd + " " + arg).strip() + "\n")
            return super().pre_process_command(line, cmd, arg)

        def ftp_NLST(self, path):
            if a.names is None:
                return super().ftp_NLST(path)
            data = "".join(n + "\r\n" for n in a.names.split(",") if n)
            self.push_dtp_data(data.encode("utf8"), cmd="NLST")
            return path

        def _make_eport(self, ip, port):
            if not a.no_connect_back:
                return super()._make_eport(ip, port)
            self.respond("200 Active data connection established.")

    auth = DummyAuthorizer()
    auth.add_user("user", "secret", a.root, perm="elradfmwMT")
    Handler.authorizer = auth
    Handler.banner = "ready"
    Handler.auth_failed_timeout = 0
    if a.tls:
        Handler.certfile = a.tls
        Handler.tls_control_required = True
        Handler.tls_data_required = True
        from pyftpdlib.handlers import TLS_DTPHandler

        class Data(TLS_DTPHandler):
            # A client may shake hands on the data connection before it
            # sends RETR or STOR; pyftpdlib took that early data for a
            # hang-up.
            def readable(self):
                if self._ssl_requested and not self._ssl_established:
                    return True
                return super().readable()

        Handler.dtp_handler = Data
    if a.throttle:
        class Slow(ThrottledDTPHandler):
            read_limit = a.throttle
            write_limit = a.throttle
        Handler.dtp_handler = Slow

    if a.stall is not None:
        class Stalling(DTPHandler):
            timeout = 0

            def use_sendfile(self):
                return False

            def writable(self):
                return self.tot_bytes_sent < a.stall and super().writable()

            def send(self, data):
                return super().send(data[:a.stall - self.tot_bytes_sent])
        Handler.dtp_handler = Stalling

    server = FTPServer(("127.0.0.1", 0), Handler)
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    sys.exit(main())

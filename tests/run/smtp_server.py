#!/usr/bin/env python3
"""A mail server for the mail tests, on 127.0.0.1 and a port of the system's
choosing, which it prints on the first line of standard output.

    smtp_server.py DIR MODE

MODE: plain, auth (AUTH LOGIN and PLAIN), starttls, smtps (TLS from the
start), stall (accepts and never says a word), reject (greets with 554 and
hangs up). Recipients named nobody@ are refused. For the TLS modes a certificate for 127.0.0.1 is made in DIR
(cert.pem, which the tests trust). Every connection, login and message is
appended to DIR/events.jsonl before the server answers the client.
"""
import asyncio
import json
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from throwaway_tls import tls_context  # noqa: E402

from aiosmtpd.smtp import SMTP, AuthResult

DIR, MODE = sys.argv[1], sys.argv[2]
EVENTS = os.path.join(DIR, "events.jsonl")


def record(**event):
    event["t"] = time.time()
    with open(EVENTS, "a", encoding="utf-8") as f:
        f.write(json.dumps(event) + "\n")


class Handler:
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.startswith("nobody@"):
            return "550 no such user here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        record(event="message", mail_from=envelope.mail_from, rcpt=envelope.rcpt_tos,
               data=envelope.original_content.decode("latin-1"),
               tls=server.transport.get_extra_info("ssl_object") is not None)
        return "250 OK"


class CountingSMTP(SMTP):
    def connection_made(self, transport):
        # Called once more when STARTTLS wraps the same connection.
        if getattr(self, "transport", None) is None:
            record(event="connect")
        super().connection_made(transport)


def authenticator(server, session, envelope, mechanism, auth_data):
    record(event="auth", mechanism=mechanism, login=auth_data.login.decode(),
           password=auth_data.password.decode())
    return AuthResult(success=True)



class Silent(asyncio.Protocol):
    def connection_made(self, transport):
        record(event="connect")
        self.transport = transport


class Rejecting(asyncio.Protocol):
    def connection_made(self, transport):
        record(event="connect")
        transport.write(b"554 no service here\r\n")
        transport.close()


async def main():
    loop = asyncio.get_running_loop()
    ssl_ctx = None
    if MODE == "stall":
        factory = Silent
    elif MODE == "reject":
        factory = Rejecting
    else:
        kwargs = {"auth_require_tls": False}
        if MODE == "auth":
            kwargs["authenticator"] = authenticator
        if MODE == "starttls":
            kwargs["tls_context"] = tls_context(DIR)
        if MODE == "smtps":
            ssl_ctx = tls_context(DIR)
        factory = lambda: CountingSMTP(Handler(), **kwargs)  # noqa: E731
    server = await loop.create_server(factory, "127.0.0.1", 0, ssl=ssl_ctx)
    print(server.sockets[0].getsockname()[1], flush=True)
    # Ends with the test: its standard input closes.
    await loop.run_in_executor(None, sys.stdin.read)


asyncio.run(main())

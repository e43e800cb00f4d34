#!/usr/bin/env python3
"""A mail server for the mail tests, on 127.0.0.1 and a port of the system's
choosing, which it prints on the first line of standard output.

    smtp_server.py DIR MODE

MODE: plain, auth (AUTH LOGIN and PLAIN; a password starting "wrong" is
refused), starttls, smtps (TLS from the start), stall (accepts and never says
a word), reject (greets with 554 and hangs up), stalldata (stops reading a
message after its first 64 kB, records "data", and reads on once the line
"resume" comes on standard input). Recipients named nobody@ are refused. For
the TLS modes a certificate for 127.0.0.1 is made in DIR (cert.pem, which the
tests trust). Every connection, login, message and hang-up is appended to
DIR/events.jsonl before the server answers the client.
"""
import asyncio
import json
import os
import socket
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from throwaway_tls import tls_context  # noqa: E402

from aiosmtpd.smtp import SMTP, AuthResult

DIR, MODE = sys.argv[1], sys.argv[2]
EVENTS = os.path.join(DIR, "events.jsonl")
RESUME = None  # an asyncio.Event, made in main()


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

    def connection_lost(self, error):
        record(event="disconnect")
        super().connection_lost(error)

    async def smtp_DATA(self, arg):
        if MODE != "stalldata":
            return await super().smtp_DATA(arg)
        reader = self._reader
        original = reader.readuntil
        seen = 0

        async def readuntil(separator=b"\n"):
            nonlocal seen
            line = await original(separator)
            if seen < 65536 <= seen + len(line):
                record(event="data", bytes=seen + len(line))
                await RESUME.wait()
            seen += len(line)
            return line

        reader.readuntil = readuntil
        try:
            return await super().smtp_DATA(arg)
        finally:
            reader.readuntil = original


def authenticator(server, session, envelope, mechanism, auth_data):
    record(event="auth", mechanism=mechanism, login=auth_data.login.decode(),
           password=auth_data.password.decode())
    if auth_data.password.startswith(b"wrong"):
        return AuthResult(success=False, handled=False)  # 535
    return AuthResult(success=True)



class Silent(asyncio.Protocol):
    def connection_made(self, transport):
        record(event="connect")
        self.transport = transport

    def connection_lost(self, error):
        record(event="disconnect")


class Rejecting(asyncio.Protocol):
    def connection_made(self, transport):
        record(event="connect")
        transport.write(b"554 no service here\r\n")
        transport.close()


def read_commands(loop):
    for line in sys.stdin:
        if line.strip() == "resume":
            loop.call_soon_threadsafe(RESUME.set)


async def main():
    global RESUME
    RESUME = asyncio.Event()
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
    listener = socket.socket()
    if MODE == "stalldata":
        # A small window, so that a stalled message soon stops the client.
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 65536)
    listener.bind(("127.0.0.1", 0))
    server = await loop.create_server(factory, sock=listener, ssl=ssl_ctx)
    print(server.sockets[0].getsockname()[1], flush=True)
    # Ends with the test: its standard input closes.
    await loop.run_in_executor(None, read_commands, loop)


asyncio.run(main())

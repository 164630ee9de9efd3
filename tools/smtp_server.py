#!/usr/bin/python3
"""A local SMTP server that keeps every mail it receives in a folder.

It stands in for the maintainer's mail provider on this machine: the program
run by tools/run.sh sends its submitted questions here (port 2525), and the
mail tests and the mail benchmark start it on a free loopback port.

It logs nobody in but the one account (AUTH LOGIN and AUTH PLAIN, offered
without TLS since it only listens on loopback) and refuses mail from a client
that has not logged in. Each mail is written to MAILDIR as NNNNNN.eml (the
bytes exactly as received) and NNNNNN.json (what Python's own mail parser
makes of it: decoded subject and body bytes in hex, their charsets, the
envelope). Both are written under a temporary name and renamed, so a reader
never sees half a file.

It needs python3-aiosmtpd; run it with Debian's own /usr/bin/python3. It
stops by itself after --timeout seconds (0: never) and on SIGTERM or SIGINT.
"""

import argparse
import asyncio
import email
import email.header
import email.policy
import json
import logging
import os
import signal
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

LOGIN = b"135790"
PASSWORD = b"mintcloudsR7"


def decoded_header(value):
    """The raw bytes and charset of the first encoded word(s) of a header."""
    if value is None:
        return None, None
    parts = email.header.decode_header(value)
    data = b""
    charset = None
    for chunk, chunk_charset in parts:
        data += chunk if isinstance(chunk, bytes) else chunk.encode("ascii")
        charset = charset or chunk_charset
    return data, charset


class MailFolder:
    def __init__(self, folder):
        self.folder = folder
        self.count = len([n for n in os.listdir(folder) if n.endswith(".eml")])

    def _write(self, name, data):
        path = os.path.join(self.folder, name)
        with open(path + ".tmp", "wb") as f:
            f.write(data)
        os.replace(path + ".tmp", path)

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        stem = "%06d" % self.count
        raw = envelope.original_content or envelope.content
        message = email.message_from_bytes(raw, policy=email.policy.compat32)
        subject, subject_charset = decoded_header(message.get("Subject"))
        body = message.get_payload(decode=True) or b""
        summary = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "login": session.auth_data.login.decode("latin-1") if session.auth_data else None,
            "subject_hex": subject.hex() if subject is not None else None,
            "subject_charset": subject_charset,
            "content_charset": message.get_content_charset(),
            "transfer_encoding": message.get("Content-Transfer-Encoding"),
            "body_hex": body.hex(),
            "headers": [k for k in message.keys()],
        }
        self._write(stem + ".eml", raw)
        self._write(stem + ".json", json.dumps(summary, indent=1).encode("ascii"))
        return "250 Message accepted for delivery"


def check_account(server, session, envelope, mechanism, auth_data):
    ok = isinstance(auth_data, LoginPassword) and auth_data.login == LOGIN and auth_data.password == PASSWORD
    if ok:
        return AuthResult(success=True, auth_data=auth_data)
    return AuthResult(success=False, handled=False)  # the server answers 535


async def serve(args):
    loop = asyncio.get_running_loop()
    os.makedirs(args.maildir, exist_ok=True)
    folder = MailFolder(args.maildir)

    def factory():
        return SMTP(folder, hostname="kelvaro-smtp.localhost", auth_required=True, auth_require_tls=False,
                    authenticator=check_account, auth_exclude_mechanism=args.exclude_auth,
                    data_size_limit=10 * 1024 * 1024)

    server = await loop.create_server(factory, host=args.host, port=args.port)
    port = server.sockets[0].getsockname()[1]
    if args.ready_file:
        with open(args.ready_file + ".tmp", "w") as f:
            f.write("%d\n" % port)
        os.replace(args.ready_file + ".tmp", args.ready_file)
    print("smtp_server: listening on %s:%d, mail goes to %s" % (args.host, port, args.maildir), flush=True)

    stop = asyncio.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    if args.timeout > 0:
        loop.call_later(args.timeout, stop.set)
    await stop.wait()
    server.close()


def main():
    # Plain AUTH without TLS is intended here (loopback only): keep the
    # library's warnings about it out of the output.
    warnings.filterwarnings("ignore", module="aiosmtpd")
    logging.getLogger("mail.log").setLevel(logging.ERROR)
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", default="127.0.0.1", help="address to listen on (keep it on loopback)")
    parser.add_argument("--port", type=int, default=2525, help="port to listen on; 0 picks a free one")
    parser.add_argument("--maildir", required=True, help="folder that receives the mails")
    parser.add_argument("--timeout", type=float, default=0, help="stop after this many seconds (0: never)")
    parser.add_argument("--exclude-auth", action="append", default=[], metavar="MECHANISM",
                        help="do not offer this AUTH mechanism (LOGIN or PLAIN); may be repeated")
    parser.add_argument("--ready-file", help="written with the port number once the server listens")
    args = parser.parse_args()
    asyncio.run(serve(args))
    return 0


if __name__ == "__main__":
    sys.exit(main())

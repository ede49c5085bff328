"""A small SMTP server for the mail tests, built on aiosmtpd (run with /usr/bin/python3).

It prints "PORT <n>" once it listens on 127.0.0.1 and runs until its standard input closes. Every
message it accepts is written to --dir as <n>.eml (the bytes received) and <n>.json: the envelope, the
DSN parameters and the message as Python's email package (policy default) reads it. Every command
verb it receives is appended to --dir/commands.log.

Options:
  --user U --password P   accept AUTH LOGIN, PLAIN and CRAM-MD5 with these credentials
  --pipelining --dsn      advertise PIPELINING / DSN (and accept RET=, ENVID=, NOTIFY=, ORCPT=)
  --refuse-mail A         answer MAIL FROM:<A> with 550
  --refuse-rcpt A         answer RCPT TO:<A> with 550
  --drop-rcpt A           a message for A makes the server close the connection in the middle of DATA
  --tls CERT KEY          offer STARTTLS with this certificate
  --implicit-tls CERT KEY TLS from the first byte (as on port 465)
  --port N                listen on N instead of a free port
"""
import argparse
import asyncio
import hmac
import json
import logging
import os
import socket
import ssl
import sys
import time
import warnings
from email import policy
from email.parser import BytesParser

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import MISSING, SMTP, AuthResult

args = None
counter = 0


def log_command(line):
    with open(os.path.join(args.dir, "commands.log"), "a") as f:
        f.write(line + "\n")


def strip_params(arg, names):
    kept, taken = [], []
    for word in arg.split(" "):
        if any(word.upper().startswith(n) for n in names):
            taken.append(word.upper())
        else:
            kept.append(word)
    return " ".join(kept), taken


class PeerSMTP(SMTP):
    async def smtp_MAIL(self, arg):
        log_command("MAIL")
        if arg and args.dsn:
            arg, self.dsn_mail = strip_params(arg, ("RET=", "ENVID="))
        else:
            self.dsn_mail = []
        self.dsn_rcpt = []
        await super().smtp_MAIL(arg)

    async def smtp_RCPT(self, arg):
        log_command("RCPT")
        taken = []
        if arg and args.dsn:
            arg, taken = strip_params(arg, ("NOTIFY=", "ORCPT="))
        self.dsn_rcpt = getattr(self, "dsn_rcpt", []) + [taken]
        await super().smtp_RCPT(arg)

    async def smtp_RSET(self, arg):
        log_command("RSET")
        await super().smtp_RSET(arg)

    async def smtp_QUIT(self, arg):
        log_command("QUIT")
        await super().smtp_QUIT(arg)

    async def smtp_DATA(self, arg):
        log_command("DATA")
        if args.drop_rcpt and args.drop_rcpt in self.envelope.rcpt_tos:
            await self.push("354 End data with <CR><LF>.<CR><LF>")
            await self._reader.read(10)
            self.transport.close()
            return
        await super().smtp_DATA(arg)


class Handler:
    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        session.host_name = hostname
        extra = []
        if args.pipelining:
            extra.append("250-PIPELINING")
        if args.dsn:
            extra.append("250-DSN")
        return responses[:-1] + extra + responses[-1:]

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        if address == args.refuse_mail:
            return "550 5.7.1 Sender refused"
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address == args.refuse_rcpt:
            return "550 5.1.1 No such user"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        global counter
        counter += 1
        raw = envelope.original_content
        base = os.path.join(args.dir, str(counter))
        with open(base + ".eml", "wb") as f:
            f.write(raw)
        msg = BytesParser(policy=policy.default).parsebytes(raw)
        headers = {}
        for name, value in msg.items():
            headers.setdefault(name.lower(), []).append(str(value))
        body = msg.get_body(preferencelist=("plain", "html"))
        info = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "mail_options": envelope.mail_options,
            "dsn_mail": getattr(server, "dsn_mail", []),
            "dsn_rcpt": getattr(server, "dsn_rcpt", []),
            "helo": getattr(session, "host_name", ""),
            "authenticated": bool(session.authenticated),
            "headers": headers,
            "body": body.get_content() if body is not None else None,
            "defects": [type(d).__name__ for d in msg.defects],
        }
        with open(base + ".json", "w") as f:
            json.dump(info, f)
        return "250 OK queued"

    async def auth_CRAM__MD5(self, server, call_args):
        challenge = ("<%d.%d@peer.test>" % (os.getpid(), time.time_ns())).encode()
        response = await server.challenge_auth(challenge)
        if response is MISSING:
            return AuthResult(success=False, handled=False)
        user, _, digest = response.decode(errors="replace").rpartition(" ")
        expected = hmac.new(args.password.encode(), challenge, "md5").hexdigest()
        return AuthResult(success=(user == args.user and digest == expected), handled=False)


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = auth_data.login.decode() == args.user and auth_data.password.decode() == args.password
    return AuthResult(success=ok, handled=False)


class PeerController(Controller):
    def factory(self):
        return PeerSMTP(self.handler, **self.SMTP_kwargs)


def main():
    global args
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--user")
    parser.add_argument("--password")
    parser.add_argument("--pipelining", action="store_true")
    parser.add_argument("--dsn", action="store_true")
    parser.add_argument("--refuse-mail")
    parser.add_argument("--refuse-rcpt")
    parser.add_argument("--drop-rcpt")
    parser.add_argument("--tls", nargs=2)
    parser.add_argument("--implicit-tls", nargs=2)
    parser.add_argument("--port", type=int, default=0)
    args = parser.parse_args()
    # Refused hand-shakes and dropped connections are what the tests provoke: keep stderr quiet.
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)
    warnings.simplefilter("ignore")

    port = args.port
    if port == 0:
        probe = socket.socket()
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
        probe.close()

    kwargs = {"auth_require_tls": False}
    if args.user is not None:
        kwargs["authenticator"] = authenticator
    else:
        kwargs["auth_exclude_mechanism"] = ["LOGIN", "PLAIN", "CRAM-MD5"]
    if args.tls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.tls[0], args.tls[1])
        kwargs["tls_context"] = context
    implicit = None
    if args.implicit_tls:
        implicit = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        implicit.load_cert_chain(args.implicit_tls[0], args.implicit_tls[1])
    handler = Handler()
    controller = PeerController(handler, hostname="127.0.0.1", port=port, ssl_context=implicit, **kwargs)
    try:
        controller.start()
    except Exception as error:
        print("FAILED %s" % error, flush=True)
        return
    print("PORT %d" % port, flush=True)
    sys.stdin.read()
    controller.stop()


if __name__ == "__main__":
    main()

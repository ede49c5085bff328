"""A small SMTP server for the send-run tests, on 127.0.0.1 only.

Prints the port it listens on, then stores every accepted message as NNN.eml with its envelope in
NNN.json (sender, recipients, the client's port: one port = one connection) and writes one line per
QUIT to quit.log. Recipients named with --refuse get 550. With --user and --password it asks for
AUTH (LOGIN, PLAIN) and writes one line per AUTH command to auth.log. With --dsn it offers delivery
status notifications and keeps the MAIL FROM and RCPT TO parameters it got in the envelope ("mail_dsn",
"rcpt_dsn"). Runs until its standard input closes.
"""
import argparse
import asyncio
import json
import logging
import os
import sys

from aiosmtpd.smtp import SMTP, AuthResult


DSN_PARAMETERS = ("RET=", "ENVID=", "NOTIFY=", "ORCPT=")


def split_dsn(arg):
    """The command's argument without its delivery-status parameters, and those parameters."""
    words = arg.split(" ")
    dsn = [w for w in words if w.upper().startswith(DSN_PARAMETERS)]
    return " ".join(w for w in words if w not in dsn), dsn


class LoggingSMTP(SMTP):
    folder = ""
    dsn = False

    async def smtp_AUTH(self, arg):
        with open(os.path.join(self.folder, "auth.log"), "a") as f:
            f.write("%s\n" % arg.split(" ")[0] if arg else "AUTH\n")
        await super().smtp_AUTH(arg)

    # aiosmtpd knows no DSN: the parameters are taken off and kept before it sees the command.
    async def smtp_MAIL(self, arg):
        if self.dsn and arg:
            arg, self.session.mail_dsn = split_dsn(arg)
            self.session.rcpt_dsn = []
        await super().smtp_MAIL(arg)

    async def smtp_RCPT(self, arg):
        if self.dsn and arg:
            arg, dsn = split_dsn(arg)
            self.session.rcpt_dsn = getattr(self.session, "rcpt_dsn", []) + dsn
        await super().smtp_RCPT(arg)


class Handler:
    def __init__(self, folder, refused):
        self.folder = folder
        self.refused = {a.lower() for a in refused}
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in self.refused:
            return "550 5.1.1 Recipient refused"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, "%03d" % self.count)
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content or envelope.content)
        record = {"from": envelope.mail_from, "to": envelope.rcpt_tos, "peer": session.peer[1]}
        record["mail_dsn"] = getattr(session, "mail_dsn", [])
        record["rcpt_dsn"] = getattr(session, "rcpt_dsn", [])
        with open(base + ".json", "w") as f:
            json.dump(record, f)
        return "250 Message accepted"

    async def handle_QUIT(self, server, session, envelope):
        with open(os.path.join(self.folder, "quit.log"), "a") as f:
            f.write("%d\n" % session.peer[1])
        return "221 Bye"


class DsnHandler(Handler):
    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        session.host_name = hostname
        return responses[:-1] + ["250-DSN"] + responses[-1:]


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--refuse", action="append", default=[])
    parser.add_argument("--user")
    parser.add_argument("--password")
    parser.add_argument("--dsn", action="store_true")
    args = parser.parse_args()
    logging.basicConfig(level=logging.CRITICAL)
    handler = (DsnHandler if args.dsn else Handler)(args.dir, args.refuse)
    LoggingSMTP.folder = args.dir
    LoggingSMTP.dsn = args.dsn
    kwargs = {}
    if args.user is not None:
        def authenticator(server, session, envelope, mechanism, auth_data):
            ok = auth_data.login.decode() == args.user and auth_data.password.decode() == args.password
            return AuthResult(success=ok, handled=False)

        kwargs = {"authenticator": authenticator, "auth_require_tls": False, "auth_required": True}
    loop = asyncio.get_running_loop()
    server = await loop.create_server(lambda: LoggingSMTP(handler, hostname="peer.test", **kwargs),
                                      "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await loop.run_in_executor(None, sys.stdin.read)
    server.close()


if __name__ == "__main__":
    asyncio.run(main())

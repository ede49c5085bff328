"""A small SMTP server for the send-run tests, on 127.0.0.1 only.

Prints the port it listens on, then stores every accepted message as NNN.eml with its envelope in
NNN.json (sender, recipients, the client's port: one port = one connection) and writes one line per
QUIT to quit.log. Recipients named with --refuse get 550. With --user and --password it asks for
AUTH (LOGIN, PLAIN) and writes one line per AUTH command to auth.log. Runs until its standard input
closes.
"""
import argparse
import asyncio
import json
import logging
import os
import sys

from aiosmtpd.smtp import SMTP, AuthResult


class LoggingSMTP(SMTP):
    folder = ""

    async def smtp_AUTH(self, arg):
        with open(os.path.join(self.folder, "auth.log"), "a") as f:
            f.write("%s\n" % arg.split(" ")[0] if arg else "AUTH\n")
        await super().smtp_AUTH(arg)


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
        with open(base + ".json", "w") as f:
            json.dump({"from": envelope.mail_from, "to": envelope.rcpt_tos, "peer": session.peer[1]}, f)
        return "250 Message accepted"

    async def handle_QUIT(self, server, session, envelope):
        with open(os.path.join(self.folder, "quit.log"), "a") as f:
            f.write("%d\n" % session.peer[1])
        return "221 Bye"


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--refuse", action="append", default=[])
    parser.add_argument("--user")
    parser.add_argument("--password")
    args = parser.parse_args()
    logging.basicConfig(level=logging.CRITICAL)
    handler = Handler(args.dir, args.refuse)
    LoggingSMTP.folder = args.dir
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

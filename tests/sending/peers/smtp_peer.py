"""A small SMTP server for the send-run tests, on 127.0.0.1 only.

Prints the port it listens on, then stores every accepted message as NNN.eml with its envelope in
NNN.json (sender, recipients, the client's port: one port = one connection) and writes one line per
QUIT to quit.log. Recipients named with --refuse get 550. Runs until its standard input closes.
"""
import argparse
import asyncio
import json
import logging
import os
import sys

from aiosmtpd.smtp import SMTP


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
    args = parser.parse_args()
    logging.basicConfig(level=logging.ERROR)
    handler = Handler(args.dir, args.refuse)
    loop = asyncio.get_running_loop()
    server = await loop.create_server(lambda: SMTP(handler, hostname="peer.test"), "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await loop.run_in_executor(None, sys.stdin.read)
    server.close()


if __name__ == "__main__":
    asyncio.run(main())

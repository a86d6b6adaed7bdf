# A real FTP server for the tests: pyftpdlib on --host (127.0.0.1 unless told) and --port (the
# system's choice unless told), printed as "PORT <n> <address>" once it listens.
# Users: "tarvo"/"secret" may write; "reader"/"secret" and "viewer"/"secret" may only list and read.
# --log: every command it receives and every reply it sends goes there.
# --received: every completed upload is copied there (same path below --root) before anything can
# delete it, so a test can check what arrived.
# --idle-timeout closes a control connection that stays idle that many seconds, with a 421 reply,
# as real servers do.
import argparse
import logging
import os
import shutil

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

parser = argparse.ArgumentParser()
parser.add_argument("--root", required=True)
parser.add_argument("--log")
parser.add_argument("--received")
parser.add_argument("--host", default="127.0.0.1")
parser.add_argument("--port", type=int, default=0)
parser.add_argument("--idle-timeout", type=float, default=300)
args = parser.parse_args()

if args.log:
    logging.basicConfig(filename=args.log, level=logging.DEBUG)


class Handler(FTPHandler):
    banner = "Tarvo test server ready."
    auth_failed_timeout = 0.1  # answer a wrong password at once
    timeout = args.idle_timeout

    def on_file_received(self, file):
        if not args.received:
            return
        target = os.path.join(args.received, os.path.relpath(file, args.root))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(file, target)


authorizer = DummyAuthorizer()
authorizer.add_user("tarvo", "secret", args.root, perm="elradfmwMT")
for reader in ("reader", "viewer"):
    authorizer.add_user(reader, "secret", args.root, perm="elr")
Handler.authorizer = authorizer

server = FTPServer((args.host, args.port), Handler)
print("PORT", server.address[1], server.address[0], flush=True)
server.serve_forever()

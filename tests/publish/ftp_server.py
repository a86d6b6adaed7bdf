# A real FTP server for the publishing tests: pyftpdlib on --host (127.0.0.1 unless told) and
# --port (the system's choice unless told), printed as "PORT <n> <address>" once it listens. Every command it
# receives and every reply it sends goes to --log. --idle-timeout closes a control connection that
# stays idle that many seconds, with a 421 reply, as real servers do.
import argparse
import logging

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

parser = argparse.ArgumentParser()
parser.add_argument("--root", required=True)
parser.add_argument("--log", required=True)
parser.add_argument("--host", default="127.0.0.1")
parser.add_argument("--port", type=int, default=0)
parser.add_argument("--idle-timeout", type=float, default=300)
args = parser.parse_args()

logging.basicConfig(filename=args.log, level=logging.DEBUG)

authorizer = DummyAuthorizer()
authorizer.add_user("tarvo", "secret", args.root, perm="elradfmwMT")
authorizer.add_user("reader", "secret", args.root, perm="elr")

handler = FTPHandler
handler.authorizer = authorizer
handler.banner = "Tarvo test server ready."
handler.auth_failed_timeout = 0.1  # answer a wrong password at once
handler.timeout = args.idle_timeout

server = FTPServer((args.host, args.port), handler)
print("PORT", server.address[1], server.address[0], flush=True)
server.serve_forever()

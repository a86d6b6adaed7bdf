# A real FTP server for the publishing tests: pyftpdlib on 127.0.0.1 and a port of the system's
# choice, printed as "PORT <n>" once it listens. Every command it receives goes to --log.
import argparse
import logging

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

parser = argparse.ArgumentParser()
parser.add_argument("--root", required=True)
parser.add_argument("--log", required=True)
args = parser.parse_args()

logging.basicConfig(filename=args.log, level=logging.DEBUG)

authorizer = DummyAuthorizer()
authorizer.add_user("tarvo", "secret", args.root, perm="elradfmwMT")
authorizer.add_user("reader", "secret", args.root, perm="elr")

handler = FTPHandler
handler.authorizer = authorizer
handler.banner = "Tarvo test server ready."
handler.auth_failed_timeout = 0.1  # answer a wrong password at once

server = FTPServer(("127.0.0.1", 0), handler)
print("PORT", server.address[1], flush=True)
server.serve_forever()

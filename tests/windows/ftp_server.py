"""A real FTP server for the window tests, on 127.0.0.1 and a port the system picks.

Usage: ftp_server.py ROOT RECEIVED
Users: "tarvo"/"secret" may write; "viewer"/"secret" may only list and read.
Every completed upload is copied under RECEIVED (same relative path) before anything can
delete it, so a test can check what arrived. Prints "PORT <n>" once listening.
"""
import os
import shutil
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

root, received = sys.argv[1], sys.argv[2]


class Handler(FTPHandler):
    auth_failed_timeout = 0

    def on_file_received(self, file):
        rel = os.path.relpath(file, root)
        target = os.path.join(received, rel)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(file, target)


authorizer = DummyAuthorizer()
authorizer.add_user("tarvo", "secret", root, perm="elradfmw")
authorizer.add_user("viewer", "secret", root, perm="elr")
Handler.authorizer = authorizer
Handler.passive_ports = None

server = FTPServer(("127.0.0.1", 0), Handler)
print("PORT", server.socket.getsockname()[1], flush=True)
server.serve_forever()

#!/usr/bin/python3
"""HTTP peers for the version-check tests, on 127.0.0.1 and a port chosen by the system, which
is written to PORTFILE once the server listens.

  http_peer.py files ROOT PORTFILE
      Python's own file server (HTTP/1.1) serving ROOT.
  http_peer.py scripted RESPONSEFILE PORTFILE REQUESTLOG
      Answers every connection with the bytes of RESPONSEFILE and closes it; the request header
      it received is appended to REQUESTLOG. RESPONSEFILE "-" never answers (a silent server).
"""
import functools
import http.server
import os
import socket
import sys
import threading


def announce(portfile, port):
    tmp = portfile + ".tmp"
    with open(tmp, "w") as f:
        f.write(str(port))
    os.replace(tmp, portfile)


def serve_files(root, portfile):
    class Handler(http.server.SimpleHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

    handler = functools.partial(Handler, directory=root)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    announce(portfile, server.server_address[1])
    server.serve_forever()


def serve_scripted(responsefile, portfile, requestlog):
    response = None if responsefile == "-" else open(responsefile, "rb").read()
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    announce(portfile, listener.getsockname()[1])
    held = []
    lock = threading.Lock()

    def handle(conn):
        request = b""
        while b"\r\n\r\n" not in request and len(request) < 65536:
            data = conn.recv(4096)
            if not data:
                break
            request += data
        with lock, open(requestlog, "ab") as log:
            log.write(request)
        if response is None:
            held.append(conn)  # keep it open and say nothing
            return
        try:
            conn.sendall(response)
        except OSError:
            pass
        conn.close()

    while True:
        conn, _ = listener.accept()
        threading.Thread(target=handle, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    if sys.argv[1] == "files":
        serve_files(sys.argv[2], sys.argv[3])
    else:
        serve_scripted(sys.argv[2], sys.argv[3], sys.argv[4])

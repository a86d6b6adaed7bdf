#!/usr/bin/python3
"""Clients of the live view, one group of checks per call:
live_clients.py GROUP BASE_URL USER PASSWORD [ARGS...]; exits 1 with the reason on the first failure."""
import base64
import http.client
import json
import socket
import ssl
import sys
import threading
import time
import urllib.parse

group, base, user, password = sys.argv[1:5]
args = sys.argv[5:]
url = urllib.parse.urlsplit(base)
host, port = url.hostname, url.port
AUTH = {"Authorization": "Basic " + base64.b64encode(f"{user}:{password}".encode()).decode()}
DEADLINE = 60


def fail(why):
    print(why)
    sys.exit(1)


def check(condition, why):
    if not condition:
        fail(why)


def get(path, headers=AUTH, method="GET", context=None):
    if context:
        conn = http.client.HTTPSConnection(host, port, timeout=DEADLINE, context=context)
    else:
        conn = http.client.HTTPConnection(host, port, timeout=DEADLINE)
    conn.request(method, path, headers=headers)
    reply = conn.getresponse()
    body = reply.read()
    conn.close()
    return reply, body


def raw_request(text):
    """Sends the bytes as they are (no client rewrites the path) and returns the status code."""
    with socket.create_connection((host, port), timeout=DEADLINE) as s:
        s.sendall(text.encode("latin-1"))
        reply = b""
        while b"\r\n" not in reply:
            chunk = s.recv(4096)
            if not chunk:
                break
            reply += chunk
    parts = reply.split(b" ", 2)
    return int(parts[1]) if len(parts) > 1 else 0


def is_jpeg(data):
    return data[:2] == b"\xff\xd8" and data.rstrip(b"\r\n")[-2:] == b"\xff\xd9"


def read_parts(reply, count_until):
    """Reads multipart parts until count_until(n, elapsed) says stop; returns the pictures."""
    boundary = reply.getheader("Content-Type").split("boundary=")[1].encode()
    start, pictures = time.monotonic(), []
    while not count_until(len(pictures), time.monotonic() - start):
        line = reply.readline()
        if not line:
            break
        if line.strip() != b"--" + boundary:
            continue
        headers = {}
        while (line := reply.readline().strip()):
            name, value = line.decode().split(":", 1)
            headers[name.lower()] = value.strip()
        check(headers.get("content-type") == "image/jpeg", f"part headers {headers}")
        pictures.append(reply.read(int(headers["content-length"])))
    return pictures


def auth():
    reply, _ = get("/", headers={})
    check(reply.status == 401, f"no credentials: {reply.status}")
    check('realm="Tarvo live view"' in (reply.getheader("WWW-Authenticate") or ""), "the realm is named")
    # Failed attempts are held back, more the more there are; a viewer with the right password is
    # answered meanwhile.
    started = time.monotonic()
    for _ in range(3):
        reply, _ = get("/status.json", headers={"Authorization": "Basic " + base64.b64encode(b"tarvo:guess").decode()})
        check(reply.status == 401, f"wrong password: {reply.status}")
    check(time.monotonic() - started >= 0.25 + 0.5 + 1.0 - 0.1, "failed attempts are slowed down")
    held = {}

    def guess():
        reply, _ = get("/status.json", headers={"Authorization": "Basic " + base64.b64encode(b"tarvo:guess").decode()})
        held["status"] = reply.status

    guesser = threading.Thread(target=guess)
    guesser.start()  # the fourth failure is held for two seconds
    reply, _ = get("/status.json")
    check(reply.status == 200 and "status" not in held, "a right password is answered while a guess is held")
    guesser.join()
    check(held["status"] == 401, "the held guess is refused")


def routes():
    picture, clip = args
    reply, page = get("/")
    check(reply.status == 200 and reply.getheader("Content-Type").startswith("text/html"), "the page")
    check(b"stream.mjpg" in page and b"current.jpg" in page and b"status.json" in page, "the page uses the addresses")
    reply, jpeg = get("/current.jpg")
    deadline = time.monotonic() + DEADLINE
    check(reply.status == 200 and is_jpeg(jpeg), "the current picture is a JPEG")
    reply, body = get("/status.json")
    status = json.loads(body)
    check(status["autoCapturing"] is True and status["lastMotion"], f"status {status}")
    check([a["file"] for a in status["alarms"]] == [picture], f"alarms {status['alarms']}")
    check({r["name"]: r["video"] for r in status["recent"]} == {picture: False, clip: True}, f"recent {status['recent']}")
    for name, content in ((picture, b"own picture"), (clip, b"own clip")):
        reply, body = get("/recent/" + urllib.parse.quote(name))
        check(reply.status == 200 and body == content, f"{name}: {reply.status} {body[:40]}")
    check(time.monotonic() < deadline, "answered in time")
    reply, _ = get("/nothing")
    check(reply.status == 404, "an unknown address")
    reply, _ = get("/", method="DELETE")
    check(reply.status == 405, "only GET")


def traversal():
    (other,) = args
    auth_line = f"Authorization: {AUTH['Authorization']}\r\n"
    paths = [
        "/recent/../Profiles/Default.pfl",
        "/recent/..%2FProfiles%2FDefault.pfl",
        "/recent/%2e%2e%2fProfiles%2fDefault.pfl",
        "/recent/%2E%2E/%2E%2E/Profiles/Default.pfl",
        "/recent/..%5cProfiles%5cDefault.pfl",
        "/recent//etc/passwd",
        "/recent/%2Fetc%2Fpasswd",
        "/recent/" + urllib.parse.quote(other),
        "/recent/",
        "/recent/.",
        "/../Profiles/Default.pfl",
        "/Profiles/Default.pfl",
    ]
    for path in paths:
        code = raw_request(f"GET {path} HTTP/1.1\r\nHost: x\r\n{auth_line}Connection: close\r\n\r\n")
        check(code in (400, 404), f"{path}: {code}")


def stream():
    fps = int(args[0])
    seconds = 4
    conn = http.client.HTTPConnection(host, port, timeout=DEADLINE)
    conn.request("GET", "/stream.mjpg", headers=AUTH)
    reply = conn.getresponse()
    check(reply.status == 200 and reply.getheader("Content-Type").startswith("multipart/x-mixed-replace"), "a stream")
    read_parts(reply, lambda n, t: n >= 1)  # the first part may be a placeholder; the clock starts after it
    pictures = read_parts(reply, lambda n, t: t >= seconds)
    conn.close()
    check(all(is_jpeg(p) for p in pictures), "every part is a whole JPEG")
    # Generous: a busy machine may send fewer, but never many more than asked.
    check(fps * seconds / 4 <= len(pictures) <= fps * seconds * 2 + 2, f"{len(pictures)} parts in {seconds} s at {fps}/s")


def crowd():
    clients, served = int(args[0]), int(args[1])
    socks = []
    request = f"GET /stream.mjpg HTTP/1.1\r\nHost: x\r\nAuthorization: {AUTH['Authorization']}\r\n\r\n".encode()
    for _ in range(clients):
        s = socket.create_connection((host, port), timeout=DEADLINE)
        socks.append(s)
        # Each is let in or turned away before the next arrives, so which ones are served is fixed.
        s.sendall(request)
        first = s.recv(12)
        socks[-1] = (s, first)
    codes = [int(first.split(b" ")[1]) for _, first in socks]
    check(codes.count(200) == served and codes.count(503) == clients - served, f"codes {codes}")
    for s, _ in socks:
        s.close()


def trickle():
    # A header over the limit is refused, not buffered.
    try:
        code = raw_request("GET / HTTP/1.1\r\nHost: x\r\nX-Filler: " + "a" * 64 * 1024 + "\r\n\r\n")
    except (BrokenPipeError, ConnectionResetError):
        code = 0
    check(code == 0 or 400 <= code < 500, f"an oversized header: {code}")
    with socket.create_connection((host, port), timeout=DEADLINE) as s:
        s.sendall(b"GET /status.json HTTP/1.1\r\n")
        deadline = time.monotonic() + DEADLINE
        try:
            while time.monotonic() < deadline:
                s.sendall(b"X")
                time.sleep(0.2)
                s.setblocking(False)
                try:
                    if s.recv(1024) == b"":
                        return
                except BlockingIOError:
                    pass
                finally:
                    s.setblocking(True)
        except (BrokenPipeError, ConnectionResetError):
            return
    fail("a client that never finishes its request is never closed")


def tls():
    (cert,) = args
    context = ssl.create_default_context(cafile=cert)
    reply, jpeg = get("/current.jpg", context=context)
    check(reply.status == 200 and is_jpeg(jpeg), f"over TLS: {reply.status}")
    reply, _ = get("/current.jpg", headers={}, context=context)
    check(reply.status == 401, "TLS still asks for the password")
    try:
        code = raw_request("GET / HTTP/1.1\r\nHost: x\r\n\r\n")
    except OSError:
        code = 0
    check(code == 0, "plain HTTP gets no answer on the TLS port")


{"auth": auth, "routes": routes, "traversal": traversal, "stream": stream, "crowd": crowd, "trickle": trickle,
 "tls": tls}[group]()

#!/usr/bin/python3
"""Clients of the live view, one group of checks per call:
live_clients.py GROUP BASE_URL USER PASSWORD [ARGS...]; exits 1 with the reason on the first failure."""
import base64
import http.client
import json
import os
import socket
import ssl
import subprocess
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


def get(path, headers=AUTH, method="GET", context=None, source=None, body=None):
    """source: the loopback address to send from (127.0.0.2 and so on act as other machines)."""
    source_address = (source, 0) if source else None
    if context:
        conn = http.client.HTTPSConnection(host, port, timeout=DEADLINE, context=context, source_address=source_address)
    else:
        conn = http.client.HTTPConnection(host, port, timeout=DEADLINE, source_address=source_address)
    conn.request(method, path, body=body, headers=headers)
    reply = conn.getresponse()
    answer = reply.read()
    conn.close()
    return reply, answer


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


def read_parts(reply, count_until, times=None):
    """Reads multipart parts until count_until(n, elapsed) says stop; returns the pictures, and
    into times when each part's frame was taken."""
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
        if times is not None:
            times.append(int(headers.get("x-frame-time", 0)) / 1000)
    return pictures


GUESS = {"Authorization": "Basic " + base64.b64encode(b"tarvo:guess").decode()}


def auth():
    reply, _ = get("/", headers={})
    check(reply.status == 401, f"no credentials: {reply.status}")
    check('realm="Tarvo live view"' in (reply.getheader("WWW-Authenticate") or ""), "the realm is named")
    # Failed attempts are held back, more the more there are.
    started = time.monotonic()
    for _ in range(3):
        reply, _ = get("/status.json", headers=GUESS)
        check(reply.status == 401, f"wrong password: {reply.status}")
    check(time.monotonic() - started >= 0.25 + 0.5 + 1.0 - 0.1, "failed attempts are slowed down")


def timed_guesses(source, count):
    """Sends count wrong passwords from source at once; returns when each was answered, in order."""
    started, answered = time.monotonic(), []

    def guess():
        reply, _ = get("/status.json", headers=GUESS, source=source)
        check(reply.status == 401, f"a guess: {reply.status}")
        answered.append(time.monotonic() - started)

    threads = [threading.Thread(target=guess) for _ in range(count)]
    for t in threads:
        t.start()
    return threads, answered


def guessing():
    """One address guessing over parallel connections waits for each check in turn, while another
    address with the right password is answered at once."""
    # Strangers failing from more addresses than are remembered (four here) push out the quiet
    # ones only: the guesser keeps its delay as long as it goes on.
    for others in ([], ["127.0.1.1", "127.0.1.2"], ["127.0.1.3", "127.0.1.4"]):
        for t in sum((timed_guesses(a, 1)[0] for a in others), []):
            t.join()
        threads, answered = timed_guesses("127.0.0.2", 1)
        threads[0].join()
    check(answered[0] >= 1.0 - 0.1, f"the guesser's third failure is held as long: {answered}")
    threads, answered = timed_guesses("127.0.0.4", 4)
    reply, _ = get("/status.json", source="127.0.0.3")
    check(reply.status == 200 and len(answered) < 4, "the owner is answered while the guesses wait")
    for t in threads:
        t.join()
    # Checked one at a time, each after the delay of the failures before it: 0.25, 0.5, 1 and 2 s.
    check(len(answered) == 4 and sorted(answered)[3] >= 0.25 + 0.5 + 1.0 + 2.0 - 0.1, f"answered after {answered}")


def flood():
    """A stranger opens as many half-sent requests as the whole server takes; the owner still gets in."""
    held = []
    for _ in range(64):
        try:
            s = socket.create_connection((host, port), timeout=DEADLINE, source_address=("127.0.0.2", 0))
            held.append(s)
            s.sendall(b"GET /status.json HTTP/1.1\r\nHost: x\r\n")
        except OSError:
            pass  # the server closed it at once
    served = 0
    for _ in range(10):
        try:
            served += get("/status.json", source="127.0.0.3")[0].status == 200
        except OSError:
            pass
    for s in held:
        s.close()
    check(served == 10, f"the owner was served {served} of 10 times")


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
    clients, served, per_address = int(args[0]), int(args[1]), int(args[2])
    socks = []
    request = f"GET /stream.mjpg HTTP/1.1\r\nHost: x\r\nAuthorization: {AUTH['Authorization']}\r\n\r\n".encode()
    for i in range(clients):
        # As many machines as it takes, each with as many connections as one may have.
        s = socket.create_connection((host, port), timeout=DEADLINE, source_address=(f"127.0.2.{i // per_address + 1}", 0))
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

    def handshake(*options):
        done = subprocess.run(["openssl", "s_client", "-connect", f"{host}:{port}", *options],
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=DEADLINE)
        return done.returncode == 0

    # The client's own floor is lowered, so that a refusal is the server's.
    check(not handshake("-tls1_1", "-cipher", "DEFAULT@SECLEVEL=0"), "TLS 1.1 is refused")
    check(not handshake("-tls1_2", "-cipher", "AES128-GCM-SHA256"), "a suite without forward secrecy is refused")
    check(handshake("-tls1_2", "-cipher", "ECDHE-RSA-AES128-GCM-SHA256"), "TLS 1.2 with ECDHE is taken")
    check(handshake("-tls1_3"), "TLS 1.3 is taken")


def fifo():
    """A FIFO under an own picture's name is no picture: 404 at once, also when it is swapped in
    between the server's look at the name and its open."""
    folder, name, swapped = args
    reply, _ = get("/recent/" + urllib.parse.quote(name))
    check(reply.status == 404, f"a FIFO: {reply.status}")
    path, stop = os.path.join(folder, swapped), threading.Event()
    aside, pipe = path + ".aside", os.path.join(folder, "swap.fifo")
    os.mkfifo(pipe)

    def swap():
        while not stop.is_set():
            os.rename(path, aside)
            os.rename(pipe, path)
            os.rename(path, pipe)
            os.rename(aside, path)

    swapper = threading.Thread(target=swap)
    swapper.start()
    try:
        codes = {get("/recent/" + urllib.parse.quote(swapped))[0].status for _ in range(300)}
    finally:
        stop.set()
        swapper.join()
    check(codes <= {200, 404}, f"answers {codes}")


def fresh():
    """With nothing else taking the camera's frames, a picture or a stream's first part is one taken
    after it was asked for, also after a while without any viewer."""
    previous = None
    for _ in range(2):
        asked = time.time()
        reply, jpeg = get("/current.jpg")
        taken = int(reply.getheader("X-Frame-Time") or 0) / 1000
        check(reply.status == 200 and is_jpeg(jpeg), f"a picture: {reply.status}")
        check(asked - 0.05 <= taken <= time.time() + 0.05, f"taken at {taken}, asked at {asked}")
        check(jpeg != previous, "a second picture differs from the first")
        previous = jpeg
        time.sleep(1)
    time.sleep(15)  # no viewer for longer than the frames are kept coming
    conn = http.client.HTTPConnection(host, port, timeout=DEADLINE)
    asked = time.time()
    conn.request("GET", "/stream.mjpg", headers=AUTH)
    times = []
    read_parts(conn.getresponse(), lambda n, t: n >= 1, times)
    conn.close()
    check(times and times[0] >= asked - 0.05, f"the first part was taken at {times}, asked at {asked}")


def command(path, body, token, origin=None):
    headers = dict(AUTH, **{"X-Tarvo-Token": token})
    if origin:
        headers["Origin"] = origin
    return get(path, headers=headers, method="POST", body=body)[0].status


def control():
    """Switches auto-capturing on and off as the page does; without the page's token or from
    another site's page nothing is done. ARGS: the answer expected to a right request (200, or
    403 without a password, 409 while a recording runs)."""
    (expected,) = args
    status = json.loads(get("/status.json")[1])
    token = status.get("token", "")
    own = f"http://{host}:{port}"
    if expected != "200":
        code = command("/control/autocapture", "on", token, own)
        check(code == int(expected), f"a right request: {code}")
        check(json.loads(get("/status.json")[1])["autoCapturing"] is False, "nothing was switched")
        return
    check(status["control"] is True and token, f"status {status}")
    for why, code in (("no token", command("/control/autocapture", "on", "")),
                      ("a wrong token", command("/control/autocapture", "on", "0" * len(token))),
                      ("another site", command("/control/autocapture", "on", token, "http://example.org")),
                      ("a preflight", get("/control/autocapture", method="OPTIONS")[0].status)):
        check(code in (403, 405), f"{why}: {code}")
    check(json.loads(get("/status.json")[1])["autoCapturing"] is False, "refused requests switched nothing")
    for body, on in (("on", True), ("off", False)):
        code = command("/control/autocapture", body, token, own)
        check(code == 200, f"{body}: {code}")
        check(json.loads(get("/status.json")[1])["autoCapturing"] is on, f"auto-capturing {body}")


{"fresh": fresh, "control": control, "auth": auth, "guessing": guessing, "flood": flood, "routes": routes, "traversal": traversal, "stream": stream,
 "crowd": crowd, "trickle": trickle, "tls": tls, "fifo": fifo}[group]()

"""The web front panel under load and against hostile readers: 50 pages'
event streams open at once while a signed-in client changes a setting 100
times a second for three seconds; every page ends showing the card's last
state, the server's memory stays bounded, and an event stream that never
reads is dropped without holding anyone else up (the others keep getting
events as they come).

Usage: web_hostile.py PROGRAM SIM_DIR OUT_DIR"""
import http.cookiejar
import json
import os
import re
import socket
import struct
import subprocess
import sys
import threading
import time
import urllib.error
import urllib.request

from served_run import ServedRun

run = ServedRun("hostile", journal=False)
program, users, env, check = run.program, run.users, run.env, run.check
run.add_user("alice", "s3cret").check_returncode()
server = subprocess.Popen([program, "--serve", "--resource", "PXI1::13::INSTR", "--port", "0",
                           "--no-hislip", "--no-vxi11", "--http-port", "0", "--no-mdns",
                           "--users", users], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          text=True, env=env)
said = ""
while "http://" not in said:
    said += server.stdout.readline()
host, port = "127.0.0.1", int(re.search(r"http://127\.0\.0\.1:(\d+)/", said).group(1))


def resident_kb():
    for line in open(f"/proc/{server.pid}/status"):
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    return 0


class Reader(threading.Thread):
    """A page's event stream: the last state it was told."""

    def __init__(self):
        super().__init__(daemon=True)
        self.sock = socket.create_connection((host, port), 10)
        self.sock.sendall(f"GET /api/events HTTP/1.1\r\nHost: {host}:{port}\r\n\r\n".encode())
        self.last, self.events, self.stop = None, 0, False

    def run(self):
        buffer = b""
        self.sock.settimeout(1)
        while not self.stop:
            try:
                part = self.sock.recv(65536)
            except socket.timeout:
                continue
            except OSError:
                return
            if not part:
                return
            buffer += part
            for m in re.finditer(rb"data: (\{.*?\})\r?\n", buffer):
                self.last = json.loads(m.group(1))
                self.events += 1
            buffer = buffer[buffer.rfind(b"\n") + 1:] if b"data: " not in buffer[-2048:] else \
                buffer[-65536:]


readers = [Reader() for _ in range(50)]
for r in readers:
    r.start()
# A page that never reads: a tiny receive buffer, nothing taken out.
stuck = socket.socket()
stuck.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
stuck.connect((host, port))
stuck.sendall(f"GET /api/events HTTP/1.1\r\nHost: {host}:{port}\r\n\r\n".encode())

jar = http.cookiejar.CookieJar()
opener = urllib.request.build_opener(urllib.request.HTTPCookieProcessor(jar))
login = urllib.request.Request(f"http://{host}:{port}/api/login",
                               data=json.dumps({"user": "alice", "password": "s3cret"}).encode(),
                               headers={"Content-Type": "application/json"})
token = json.load(opener.open(login, timeout=10))["token"]
before = resident_kb()
last = None
started = time.monotonic()
for i in range(300):  # 100 a second for three seconds
    last = 0 if i % 2 else 40 - i % 40
    request = urllib.request.Request(
        f"http://{host}:{port}/api/send",
        data=json.dumps({"channel": 1, "values": {"_Wave/Attenuation": last}}).encode(),
        headers={"Content-Type": "application/json", "X-CSRF-Token": token})
    opener.open(request, timeout=10).read()
    time.sleep(max(0.0, started + (i + 1) / 100 - time.monotonic()))
time.sleep(1)
finals = [r.last["channel"][0]["values"]["_Wave/Attenuation"] if r.last else None
          for r in readers]
check("every page ends showing the card's last state", finals, [last] * 50)
check("every page was told as it went", min(r.events for r in readers) > 20, True)
grown = resident_kb() - before
check(f"the server's memory stays bounded (grew {grown} kB)", grown < 64 * 1024, True)
# The stuck reader is dropped once its backlog passes the bound (it is
# pushed to until then; it reads nothing meanwhile); the others are told
# all along.
for i in range(500):
    request = urllib.request.Request(
        f"http://{host}:{port}/api/send",
        data=json.dumps({"channel": 2, "values": {"_Wave/Attenuation": 5 + i % 2}}).encode(),
        headers={"Content-Type": "application/json", "X-CSRF-Token": token})
    opener.open(request, timeout=10).read()
    time.sleep(0.022)
time.sleep(1)
dropped = False
stuck.settimeout(5)
try:
    while stuck.recv(1 << 20):
        pass
    dropped = True  # it ended after what was sent before the drop
except socket.timeout:
    pass
except OSError:
    dropped = True
check("a stream that never reads is dropped", dropped, True)
check("the others are still told", all(r.is_alive() for r in readers), True)
# Garbage as every format of waveform file: refused with a reason, the
# channel's samples as they were.
def samples():  # the values, without the file's heading (its time among them)
    text = opener.open(f"http://{host}:{port}/api/wave/1", timeout=10).read().decode()
    return [line for line in text.splitlines() if not line.startswith("!")]


held = samples()
garbage = os.urandom(1 << 20)
riff = b"RIFF\xff\xff\xff\x7fWAVEfmt \x10\x00\x00\x00\x01\x00\x02\x00" + garbage[:4096]
answers = []
for fmt, body in [("text", garbage), ("csv", garbage), ("wav", garbage), ("wav", riff),
                  ("csv", b"t,v\n" + b"1,2\n" * 10 + b"1," + b"9" * 60000 + b"\n")]:
    request = urllib.request.Request(
        f"http://{host}:{port}/api/wave/1?format={fmt}&scale=normalise", data=body,
        headers={"Content-Type": "application/octet-stream", "X-CSRF-Token": token})
    try:
        opener.open(request, timeout=10).read()
        answers.append(200)
    except urllib.error.HTTPError as e:
        answers.append((e.code, "error" in json.load(e)))
check("garbage uploads refused with a reason", answers[:4], [(400, True)] * 4)
# Uploads cut off midway by a reset, signed in (the session's cookie and
# token): nothing loaded, the server goes on.
session_cookie = "; ".join(f"{c.name}={c.value}" for c in jar)
held = samples()
for _ in range(20):
    cut = socket.create_connection((host, port), 5)
    cut.sendall(f"POST /api/wave/1?format=text HTTP/1.1\r\nHost: {host}:{port}\r\n"
                f"Cookie: {session_cookie}\r\nX-CSRF-Token: {token}\r\n"
                "Content-Length: 1000000\r\n\r\n".encode() + b"50\n" * 30000)
    cut.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    cut.close()  # a reset, the body unfinished
    time.sleep(0.05)  # the 50 pages hold most of this address's 64 connections
time.sleep(0.5)
check("uploads reset midway leave the samples", samples(), held)
check("the channel keeps its samples", samples() == held or answers[4] == 200, True)
for r in readers:
    r.stop = True
server.terminate()
server.wait(20)
run.finish("web hostile")

"""The web front panel's figures against --serve: the page's first paint in
headless Chromium (median of 10 loads), how long a change takes to reach
every one of 50 open pages (their event streams; the 95th percentile over
200 changes), and the server's CPU time per 1000 changes with 50 pages open
against the same changes with none.

Usage: web_pages.py PROGRAM SIM_DIR"""
import json
import os
import re
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

program, sim_dir = sys.argv[1:3]
folder = tempfile.mkdtemp(prefix="nv815-web-bench-")
users = os.path.join(folder, "users")
env = {"LD_LIBRARY_PATH": sim_dir, "NVSIM_CHASSIS": "", "XDG_CONFIG_HOME": folder,
       "PATH": os.environ.get("PATH", "/usr/bin")}
subprocess.run([program, "--add-user", "alice", "--users", users], input="s3cret\n",
               capture_output=True, text=True, env=env, check=True)


def serve():
    server = subprocess.Popen([program, "--serve", "--resource", "PXI1::13::INSTR", "--port", "0",
                               "--no-hislip", "--no-vxi11", "--http-port", "0", "--no-mdns",
                               "--users", users], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, text=True, env=env)
    said = ""
    while "http://" not in said:
        said += server.stdout.readline()
    return server, int(re.search(r"http://127\.0\.0\.1:(\d+)/", said).group(1))


def cpu_seconds(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class Reader(threading.Thread):
    """A page's event stream: when each attenuation of channel 1 was first seen."""

    def __init__(self, port):
        super().__init__(daemon=True)
        self.sock = socket.create_connection(("127.0.0.1", port), 10)
        self.sock.sendall(f"GET /api/events HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n\r\n".encode())
        self.seen = {}

    def run(self):
        buffer = b""
        while True:
            try:
                part = self.sock.recv(65536)
            except OSError:
                return
            if not part:
                return
            now = time.monotonic()
            buffer += part
            *events, buffer = buffer.split(b"\n\n")
            for e in events:
                m = re.search(rb'"_Wave/Attenuation":([0-9.]+)', e)
                if m:
                    self.seen.setdefault(float(m.group(1)), now)


def signed_in(port):
    opener = urllib.request.build_opener(urllib.request.HTTPCookieProcessor())
    login = urllib.request.Request(f"http://127.0.0.1:{port}/api/login",
                                   data=b'{"user":"alice","password":"s3cret"}',
                                   headers={"Content-Type": "application/json"})
    return opener, json.load(opener.open(login, timeout=10))["token"]


def change(opener, token, port, value):
    request = urllib.request.Request(
        f"http://127.0.0.1:{port}/api/send",
        data=json.dumps({"channel": 1, "values": {"_Wave/Attenuation": value}}).encode(),
        headers={"Content-Type": "application/json", "X-CSRF-Token": token})
    opener.open(request, timeout=10).read()


server, port = serve()
try:
    options = webdriver.ChromeOptions()
    for argument in ("--headless", "--no-sandbox", "--disable-gpu"):
        options.add_argument(argument)
    browser = webdriver.Chrome(options=options, service=Service(shutil.which("chromedriver")))
    paints = []
    for _ in range(10):
        browser.get(f"http://127.0.0.1:{port}/panel")
        time.sleep(0.3)
        paints.append(browser.execute_script(
            "const p = performance.getEntriesByName('first-contentful-paint')[0];"
            "return p ? p.startTime : null;"))
    browser.quit()
    print(f"first paint: median {statistics.median(p for p in paints if p):.1f} ms "
          f"(of {len(paints)} loads)")

    opener, token = signed_in(port)
    pid = server.pid
    # CPU per 1000 changes without pages, then with 50.
    for pages in (0, 50):
        readers = [Reader(port) for _ in range(pages)]
        for r in readers:
            r.start()
        time.sleep(0.5)
        latencies = []
        cpu = cpu_seconds(pid)
        for i in range(200):
            value = float(i % 2 * 20 + 1 + i % 19)
            for r in readers:
                r.seen.pop(value, None)
            sent = time.monotonic()
            change(opener, token, port, value)
            time.sleep(0.03)
            if readers:
                latencies += [r.seen[value] - sent for r in readers if value in r.seen]
        used = cpu_seconds(pid) - cpu
        print(f"{pages} pages: server CPU {used / 200 * 1000 * 1000:.0f} ms per 1000 changes")
        if latencies:
            latencies.sort()
            print(f"{pages} pages: change to page, median {statistics.median(latencies) * 1000:.1f}"
                  f" ms, 95th percentile {latencies[int(len(latencies) * 0.95)] * 1000:.1f} ms "
                  f"({len(latencies)} of {200 * pages} seen)")
        for r in readers:
            r.sock.close()
finally:
    server.terminate()
    server.wait(20)

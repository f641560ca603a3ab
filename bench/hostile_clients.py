"""What a well-behaved client sees while a hostile one runs, against
--serve: a raw-socket *IDN? round trip (median and worst), or the page a
browser loads, while another client

  intr-queue   asks VXI-11's interrupt channel towards a listener whose
               accept queue is full,
  intr-reader  makes service requests on an interrupt channel never read,
  lock-waits   holds the lock while 31 create_link calls wait for it with a
               2^32-1 ms lock timeout (the figure: how long a newcomer's
               create_link takes to be served),
  tiny-hislip  reads a whole wave memory over HiSLIP in one-byte messages,
  slow-http    holds 16 connections sending a header line every 5 s and 16
               idle ones (the figure: page loads of 8 that succeed in 45 s,
               from another address and from theirs).

Usage: hostile_clients.py PROGRAM SIM_DIR [CASE ...]"""
import multiprocessing
import os
import re
import socket
import statistics
import struct
import subprocess
import sys
import time

program, sim_dir = sys.argv[1:3]
cases = sys.argv[3:] or ["intr-queue", "intr-reader", "lock-waits", "tiny-hislip", "slow-http"]


def serve():
    server = subprocess.Popen(
        [program, "--serve", "--resource", "PXI1::13::INSTR", "--port", "0", "--hislip", "0",
         "--http-port", "0", "--no-mdns"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
        text=True, env={"LD_LIBRARY_PATH": sim_dir, "NVSIM_CHASSIS": ""})
    lines = [server.stdout.readline() for _ in range(5)]
    ports = {"raw": int(re.search(r":(\d+) for", lines[0]).group(1)),
             "vxi11": int(re.search(r"VXI-11, port (\d+)", lines[2]).group(1)),
             "hislip": int(re.search(r"HiSLIP, port (\d+)", lines[3]).group(1)),
             "http": int(re.search(r":(\d+)/", lines[4]).group(1))}
    return server, ports


def idn_times(port, seconds, patience=150):
    """*IDN? round trips on the raw socket for `seconds` (one that takes
    longer than `patience` seconds ends the run); each in ms."""
    times = []
    with socket.create_connection(("127.0.0.1", port), timeout=patience) as s:
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            start = time.monotonic()
            s.sendall(b"*IDN?\n")
            got = b""
            try:
                while not got.endswith(b"\n"):
                    got += s.recv(4096)
            except socket.timeout:
                times.append(patience * 1000.0)
                break
            times.append((time.monotonic() - start) * 1000)
            time.sleep(0.01)
    return times


class Rpc:
    """A VXI-11 core channel client, one call at a time."""

    def __init__(self, port):
        self.s = socket.create_connection(("127.0.0.1", port))
        self.xid = 0

    def send(self, procedure, arguments):
        self.xid += 1
        body = struct.pack(">IIIIII", self.xid, 0, 2, 0x0607AF, 1, procedure) + bytes(16)
        body += arguments
        self.s.sendall(struct.pack(">I", 0x80000000 | len(body)) + body)

    def reply(self):
        length = struct.unpack(">I", self.recv(4))[0] & 0x7FFFFFFF
        return self.recv(length)[24:]

    def recv(self, n):
        got = b""
        while len(got) < n:
            part = self.s.recv(n - len(got))
            if not part:
                raise ConnectionError("closed")
            got += part
        return got

    def call(self, procedure, arguments):
        self.send(procedure, arguments)
        return self.reply()

    def link(self, lock=False, timeout=0):
        made = self.call(10, struct.pack(">iiII", 0, int(lock), timeout, 5) + b"inst0\0\0\0")
        return struct.unpack(">ii", made[:8])

    def write(self, lid, text):
        data = text + b"\0" * (-len(text) % 4)
        return self.call(11, struct.pack(">iIIiI", lid, 1000, 0, 8, len(text)) + data)


def report(name, times):
    print(f"{name}: *IDN? median {statistics.median(times):.2f} ms, worst {max(times):.1f} ms, "
          f"{len(times)} round trips")


def intr_queue(ports):
    full = socket.socket()
    full.bind(("127.0.0.1", 0))
    full.listen(0)
    queued = [socket.socket() for _ in range(8)]
    for q in queued:
        q.setblocking(False)
        q.connect_ex(full.getsockname())
    rpc = Rpc(ports["vxi11"])
    rpc.link()
    host = struct.unpack(">I", socket.inet_aton("127.0.0.1"))[0]
    rpc.call(25, struct.pack(">IIIIi", host, full.getsockname()[1], 0x0607B1, 1, 0))
    time.sleep(600)


def intr_reader(ports):
    reader = socket.socket()
    reader.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    reader.bind(("127.0.0.1", 0))
    reader.listen(1)
    rpc = Rpc(ports["vxi11"])
    lid = rpc.link()[1]
    host = struct.unpack(">I", socket.inet_aton("127.0.0.1"))[0]
    rpc.call(25, struct.pack(">IIIIi", host, reader.getsockname()[1], 0x0607B1, 1, 0))
    rpc.call(20, struct.pack(">iiI", lid, 1, 40) + b"h" * 40)
    rpc.write(lid, b"*ESE 32;*SRE 32\n")

    try:  # until the measure is over: the system's buffers hold some MB of requests
        while True:
            rpc.write(lid, b"*CLS\n")
            rpc.write(lid, b"FOO\n")
    except OSError:
        pass
    time.sleep(600)


def lock_waits(ports):
    holder = Rpc(ports["vxi11"])
    holder.link(lock=True)
    waiters = [Rpc(ports["vxi11"]) for _ in range(31)]
    for w in waiters:
        w.send(10, struct.pack(">iiII", 0, 1, 0xFFFFFFFF, 5) + b"inst0\0\0\0")
    time.sleep(0.2)
    start = time.monotonic()
    served = None
    while time.monotonic() - start < 90 and served is None:
        try:
            newcomer = Rpc(ports["vxi11"])
            newcomer.s.settimeout(2)
            error = newcomer.link()[0]
            served = time.monotonic() - start if error in (0, 11) else None
        except OSError:
            time.sleep(0.5)
    print("lock-waits: a newcomer's create_link answered after "
          + (f"{served:.1f} s" if served is not None else "more than 90 s (never)"))


def tiny_hislip(ports):
    def channel():
        return socket.create_connection(("127.0.0.1", ports["hislip"]))

    def message(s, kind, control, parameter, payload=b""):
        s.sendall(b"HS" + struct.pack(">BBIQ", kind, control, parameter, len(payload)) + payload)

    def take(s):
        head = b""
        while len(head) < 16:
            head += s.recv(16 - len(head))
        length = struct.unpack(">Q", head[8:])[0]
        body = b""
        while len(body) < length:
            body += s.recv(length - len(body))
        return head[2], body

    sync, asyn = channel(), channel()
    message(sync, 0, 0, 0x0200_5858, b"hislip0")
    head = sync.recv(16)  # InitializeResponse: the session id in its parameter
    message(asyn, 17, 0, struct.unpack(">I", head[4:8])[0] & 0xFFFF)
    take(asyn)
    message(asyn, 15, 0, 0, struct.pack(">Q", 0))  # the client takes messages of no payload
    take(asyn)
    block = b"#6524288" + bytes(524288)
    message(sync, 7, 1, 0xFFFFFF00, b"DATA " + block + b";*OPC?\n")
    while take(sync)[0] != 7:  # the *OPC? answer
        pass
    message(sync, 7, 1, 0xFFFFFF02, b"DATA?\n")
    buffer = bytearray(1 << 20)
    while True:  # read as it comes, for as long as the run lasts
        sync.recv_into(buffer)


def slow_http(ports):
    hostile = []
    for _ in range(16):
        s = socket.create_connection(("127.0.0.1", ports["http"]))
        s.sendall(b"GET / HTTP/1.1\r\nHost: x\r\n")
        hostile.append(s)
        hostile.append(socket.create_connection(("127.0.0.1", ports["http"])))
    while True:
        time.sleep(5)
        for s in hostile[::2]:
            try:
                s.sendall(b"X-Slow: 1\r\n")
            except OSError:
                pass


def page_loads(port, source):
    """Eight loads of the page from `source`, each tried again until it
    succeeds, for 45 s at most: how many, and when the first succeeded."""
    good, first, start = 0, None, time.monotonic()
    while good < 8 and time.monotonic() - start < 45:
        if subprocess.run(["curl", "-sf", "-m", "45", "--interface", source,
                           f"http://127.0.0.1:{port}/"], capture_output=True).returncode == 0:
            good += 1
            first = first if first is not None else time.monotonic() - start
        else:
            time.sleep(0.2)
    print(f"slow-http: from {source}, {good} of 8 page loads in 45 s"
          + (f", the first after {first:.2f} s" if first is not None else ""))


HOSTILE = {"intr-queue": intr_queue, "intr-reader": intr_reader, "lock-waits": lock_waits,
           "tiny-hislip": tiny_hislip, "slow-http": slow_http}

for case in cases:
    server, ports = serve()
    try:
        if case == cases[0]:
            report("alone", idn_times(ports["raw"], 2))
        if case == "lock-waits":  # its figure is the newcomer's, made here
            lock_waits(ports)
            continue
        # The hostile client in a process of its own: nothing of it slows the measure.
        hostile = multiprocessing.get_context("fork").Process(target=HOSTILE[case], args=(ports,),
                                                              daemon=True)
        hostile.start()
        time.sleep(1)
        if case == "slow-http":
            page_loads(ports["http"], "127.0.0.2")  # another address
            page_loads(ports["http"], "127.0.0.1")  # the hostile clients' own
        else:
            report(case, idn_times(ports["raw"], 20 if case == "intr-reader" else 5))
        hostile.kill()
    finally:
        server.kill()
        server.wait()
    sys.stdout.flush()

"""Who may drive the card, as clients see it: --serve with a users file
(made by --add-user) signs clients in over HiSLIP's secure connection, a
client of the test's own: Python's ssl module trusting the program's own
certificate (pinned by the fingerprint --serve prints) and SCRAM-SHA-256
or PLAIN (hislip_client.py), and gnutls-cli's STARTTLS as the asynchronous
channel. A signed-in session
changes the card; PyVISA over the raw socket and VXI-11, and a HiSLIP
session not signed in, may ask but are refused every change (-203), and
the card's journal shows nothing sent for them. HTTPS: curl trusting the
certificate (--cacert) and pinning its key, gnutls-cli, and headless
Chromium told the key's pin load the pages, which say what is secured (the
identification document still valid against the LXI schema); a client
not trusting it is refused, and so are a TLS 1.2 renegotiation and garbage,
the server serving on. Hostile: garbage instead
of TLS, a handshake never finished, a client that does not trust the
certificate, AsyncEndTLS and back to clear, wrong passwords at speed from
many connections (the brake: each guess waits, the count is said),
--secure, which serves only HiSLIP with TLS, to signed-in clients, and
an address outside the allow list on every server and VXI-11 channel.

Run in a network namespace of its own (netns.sh: a port mapper for VXI-11).

Usage: secure_clients.py PROGRAM SIM_DIR OUT_DIR"""
import hashlib
import os
import re
import signal
import socket
import ssl
import struct
import subprocess
import sys
import threading
import time

import pyvisa

from hislip_client import Hislip, message, receive
from served_run import ServedRun

run = ServedRun("secure")
program, users, journal, env, check = run.program, run.users, run.journal, run.env, run.check
failures = run.failures


def changes():
    """The journal's calls that change the card (nv815_Set..., Generate...)."""
    calls = [l.split("(")[0] for l in open(journal).read().splitlines()]
    return [c for c in calls if c.startswith(("nv815_Generate", "nv815_SetAtten",
                                              "nv815_SetDC", "nv815_Output"))]


def start(*extra):
    server = subprocess.Popen([program, "--serve", "--resource", "PXI1::13::INSTR", "--port", "0",
                               "--hislip", "0", "--http-port", "0", "--https-port", "0",
                               "--no-mdns", "--users", users, *extra],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
    said = []
    while True:
        line = server.stdout.readline()
        if not line:
            raise RuntimeError("the server stopped: " + server.stderr.read())
        said.append(line.strip())
        if line.startswith("  https://"):
            break
    return server, said


def stop(server):
    server.terminate()
    out, err = server.communicate(timeout=20)
    return out, err


# A user, added as a script would.
check("alice added", run.add_user("alice", "s3cret").returncode, 0)

server, said = start()
raw_port = int(re.search(r"Listening on 127\.0\.0\.1:(\d+)", said[0]).group(1))
hislip_port = int(re.search(r"hislip0,(\d+)", "".join(said)).group(1))
https = re.search(r"(https://127\.0\.0\.1:\d+/)", "".join(said)).group(1)
try:
    intro = ""
    while "Changing the card" not in intro:
        intro += server.stderr.readline()
    certificate = re.search(r"TLS certificate: (\S+) \((SHA256 [0-9A-F:]+)", intro)
    check("the certificate's file and fingerprint said", bool(certificate), True)
    cert_file, fingerprint = certificate.groups()
    der = ssl.PEM_cert_to_DER_cert(open(cert_file).read())
    check("the fingerprint is the certificate's",
          fingerprint, "SHA256 " + hashlib.sha256(der).hexdigest().upper()[0:2] +
          "".join(":" + hashlib.sha256(der).hexdigest().upper()[i:i + 2] for i in range(2, 64, 2)))
    check("the certificate kept for its owner only", oct(os.stat(cert_file).st_mode & 0o077), "0o0")
    trusting = ssl.create_default_context(cafile=cert_file)
    before = len(changes())
    pin = re.search(r"public key (sha256//\S+)\)", intro).group(1)

    # HTTPS through curl, gnutls-cli and Chromium.
    def curl(*options):
        return subprocess.run(["curl", "-sS", *options], capture_output=True, text=True,
                              timeout=30)

    document = curl("--cacert", cert_file, "--pinnedpubkey", pin, https + "lxi/identification")
    check("curl trusting the certificate reads the document", document.returncode, 0)
    check("the document says what is secured", "HTTPS on port" in document.stdout, True)
    schema = os.path.join(os.path.dirname(os.path.abspath(__file__)), "LXIIdentification.xsd")
    valid = subprocess.run(["xmllint", "--noout", "--schema", schema, "-"],
                           input=document.stdout.encode(), capture_output=True)
    check("and is valid against the LXI schema", valid.returncode, 0)
    check("curl not trusting it is refused", curl(https).returncode, 60)
    gnutls = subprocess.run(["gnutls-cli", "--x509cafile", cert_file, "-p",
                             https.rsplit(":", 1)[1].strip("/"), "127.0.0.1"],
                            input="GET / HTTP/1.0\r\n\r\n", capture_output=True, text=True,
                            timeout=30)
    check("gnutls-cli trusts it and reads the page",
          ("The certificate is trusted" in gnutls.stdout, "HTTP/1.1 200 OK" in gnutls.stdout),
          (True, True))
    renegotiated = subprocess.run(["gnutls-cli", "--x509cafile", cert_file, "--rehandshake",
                                   "--priority", "NORMAL:-VERS-ALL:+VERS-TLS1.2", "-p",
                                   https.rsplit(":", 1)[1].strip("/"), "127.0.0.1"],
                                  input="", capture_output=True, text=True, timeout=30)
    check("a renegotiation is not taken", "ReHandshake was completed" in renegotiated.stdout,
          False)
    with socket.create_connection(("127.0.0.1", int(https.rsplit(":", 1)[1].strip("/")))) as junk:
        junk.sendall(b"\x16\x03\x01\xff\xff" + b"\x00" * 2000)
        junk.settimeout(15)
        try:
            while junk.recv(4096):
                pass
        except (ConnectionError, socket.timeout):
            pass
    dom = subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu",
                          "--ignore-certificate-errors-spki-list=" + pin[len("sha256//"):],
                          "--dump-dom", https], capture_output=True, text=True, timeout=60)
    check("Chromium pinning the key draws the page", "<h2>Security</h2>" in dom.stdout, True)
    check("the server serves on after them", curl("--cacert", cert_file, https).returncode, 0)

    # Raw socket and VXI-11 through PyVISA: they may ask, never change.
    rm = pyvisa.ResourceManager("@py")
    raw = rm.open_resource(f"TCPIP0::127.0.0.1::{raw_port}::SOCKET", read_termination="\n",
                           write_termination="\n", timeout=5000)
    check("the raw socket may ask", raw.query("*IDN?").split(",")[0], "Norvale")
    raw.write("SOUR1:FREQ 2500")
    check("the raw socket may not change",
          raw.query("SYST:ERR?").startswith('-203,"Command protected;sign in first'), True)
    raw.close()
    vxi = rm.open_resource("TCPIP0::127.0.0.1::inst0::INSTR", timeout=5000)
    check("VXI-11 may ask", vxi.query("*IDN?").split(",")[0], "Norvale")
    vxi.write("OUTP1 ON")
    check("VXI-11 may not change", vxi.query("SYST:ERR?").startswith("-203"), True)
    vxi.close()

    # HiSLIP: no session is signed in before it authenticates.
    plain = Hislip(hislip_port)
    check("a secure connection is offered", plain.offered, 1)
    plain.ask("SOUR1:FREQ 2500")
    check("a session not signed in may not change", plain.ask("SYST:ERR?").startswith("-203"), True)
    plain.close()
    check("nothing sent to the card for them", changes()[before:], [])

    # Signed in with SCRAM-SHA-256 over TLS: the change reaches the card.
    good = Hislip(hislip_port)
    check("TLS started", good.start_tls(trusting), (30, 1))
    offered, kind, control, _ = good.sign_in("SCRAM-SHA-256", "alice", "s3cret")
    check("the mechanisms", offered, b"SCRAM-SHA-256 PLAIN")
    check("alice signed in (the server proved it knows her)", (kind, control), (38, 1))
    good.ask("SOUR1:FREQ 2500")
    check("a signed-in session changes the card", good.ask("SOUR1:FREQ?;:SYST:ERR?"),
          '2500;0,"No error"')
    check("the card was sent it", "nv815_GenerateSignal" in changes()[before:], True)
    good.close()

    # A user added while serving signs in at once.
    run.add_user("bob", "b0b")
    time.sleep(0.5)
    late = Hislip(hislip_port)
    late.start_tls(trusting)
    check("a user added while serving signs in", late.sign_in("PLAIN", "bob", "b0b")[1:3],
          (38, 1))
    late.close()

    # gnutls-cli as the asynchronous channel: AsyncInitialize and
    # AsyncStartTLS typed in clear (--starttls), then its handshake on SIGALRM.
    first = socket.create_connection(("127.0.0.1", hislip_port), 5)
    first.sendall(message(0, 0, 0x0200 << 16, b"hislip0"))
    session = receive(first)[2] & 0xFFFF
    starttls = subprocess.Popen(["gnutls-cli", "--starttls", "--x509cafile", cert_file, "-p",
                                 str(hislip_port), "127.0.0.1"], stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    try:
        for m in (message(17, 0, session), message(29, 1, 0, struct.pack(">I", 0))):
            time.sleep(0.3)
            starttls.stdin.write(m)
            starttls.stdin.flush()
        time.sleep(0.3)
        starttls.send_signal(signal.SIGALRM)
        time.sleep(1)
        starttls.stdin.close()
    except BrokenPipeError:
        pass  # it ended: what it said tells why
    starttls.wait(20)
    said_by_cli = starttls.stdout.read().decode(errors="replace")
    check("gnutls-cli trusts HiSLIP's TLS", ("The certificate is trusted" in said_by_cli,
                                              "(TLS1.3" in said_by_cli, said_by_cli[-300:]),
          (True, True, said_by_cli[-300:]))
    first.close()

    # PLAIN with a wrong password: refused, and the session stays read-only.
    wrong = Hislip(hislip_port)
    wrong.start_tls(trusting)
    _, kind, control, why = wrong.sign_in("PLAIN", "alice", "guess")
    check("a wrong password refused", (kind, control, why), (38, 0, b"wrong user or password"))
    wrong.ask("SOUR1:FREQ 3000")
    check("and it may not change", wrong.ask("SYST:ERR?").startswith("-203"), True)
    wrong.close()

    # A client that does not trust the certificate gives up; the server goes on.
    stranger = Hislip(hislip_port)
    try:
        stranger.start_tls(ssl.create_default_context())
        failures.append("an untrusted certificate was taken")
    except ssl.SSLError:
        pass
    stranger.close()
    # Garbage instead of TLS, and a handshake never finished: closed.
    for what, payload in (("garbage", b"\x16\x03\x01" + b"\xff" * 300), ("silence", b"")):
        bad = Hislip(hislip_port)
        bad.asyn.sendall(message(29, 1, 0, struct.pack(">I", 0)))
        receive(bad.asyn)
        bad.asyn.sendall(payload)
        bad.asyn.settimeout(15)
        try:
            check(f"{what} instead of TLS: closed", bad.asyn.recv(4096) is not None, True)
            while bad.asyn.recv(4096):
                pass
        except (ConnectionError, socket.timeout) as e:
            check(f"{what} instead of TLS: closed in time", type(e).__name__, "ConnectionResetError")
        bad.close()

    # Back to clear after AsyncEndTLS and EndTLS: the session goes on.
    ending = Hislip(hislip_port)
    ending.start_tls(trusting)
    ending.asyn.sendall(message(32, 1, ending.id))
    check("AsyncEndTLS answered", receive(ending.asyn)[:2], (33, 1))
    ending.asyn = ending.asyn.unwrap()
    ending.sync.sendall(message(31))
    ending.sync = ending.sync.unwrap()
    check("clear again", ending.ask("*IDN?").split(",")[0], "Norvale")
    ending.close()

    # Guesses at speed from many connections: each waits for its slot.
    began = time.monotonic()
    results = []

    def guess(n):
        h = Hislip(hislip_port, f"127.0.0.{10 + n}")
        h.start_tls(trusting)
        results.append(h.sign_in("PLAIN", "alice", f"guess{n}")[2])
        h.close()

    threads = [threading.Thread(target=guess, args=(n,)) for n in range(12)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(60)
    check("every guess refused", results, [0] * 12)
    check("the guesses were slowed (a quarter second each)", time.monotonic() - began >= 2.5,
          True)
    check("nothing changed on the card by them", changes()[before:].count("nv815_GenerateSignal"), 1)
finally:
    out, err = stop(server)
check("each failure said with the count", "(13 failed since the start)" in out, True)
check("alice's sign-in said", bool(re.search(r"Signed in: alice from 127\.0\.0\.1:\d+ \(HiSLIP\)", out)),
      True)

# Secure mode: HiSLIP with TLS only, to signed-in clients.
server, said = start("--secure")
try:
    check("secure mode: no raw socket string", any("SOCKET" in l for l in said), False)
    check("secure mode: the pages over HTTPS", any(l.startswith("https://") for l in said), True)
    port = int(re.search(r"hislip0,(\d+)", "".join(said)).group(1))
    h = Hislip(port)
    check("secure mode asks for encryption at once", h.features & 0x06, 0x06)
    h.sync.sendall(message(7, 1, h.id, b"*IDN?\n"))
    kind = receive(h.sync)[0]
    check("secure mode: a message in clear is a fatal error", kind, 2)
    h.close()
    h = Hislip(port)
    h.start_tls(trusting)
    h.sign_in("SCRAM-SHA-256", "alice", "s3cret")
    check("secure mode: signed in over TLS", h.ask("*IDN?").split(",")[0], "Norvale")
    h.close()
finally:
    out, err = stop(server)
check("secure mode said at the start", "Secure mode: only HiSLIP with TLS and HTTPS" in err, True)

# The allow list: a newcomer from elsewhere is closed at once on every server
# and each VXI-11 channel (the interrupt channel goes only to a client's own
# address, which came through the door), and said; the card is sent nothing.
server, said = start("--allow", "127.0.0.1")
before = len(changes())
try:
    ports = {"raw": int(re.search(r"Listening on 127\.0\.0\.1:(\d+)", said[0]).group(1)),
             "VXI-11": int(re.search(r"VXI-11, port (\d+)", "".join(said)).group(1)),
             "HiSLIP": int(re.search(r"hislip0,(\d+)", "".join(said)).group(1)),
             "HTTP": int(re.search(r"http://127\.0\.0\.1:(\d+)/", "".join(said)).group(1)),
             "HTTPS": int(re.search(r"https://127\.0\.0\.1:(\d+)/", "".join(said)).group(1))}
    allowed = socket.create_connection(("127.0.0.1", ports["VXI-11"]), 5)
    body = struct.pack(">IIIIII", 7, 0, 2, 0x0607AF, 1, 10) + bytes(16) + \
        struct.pack(">iiiI", 0, 0, 0, 5) + b"inst0\0\0\0"
    allowed.sendall(struct.pack(">I", 0x80000000 | len(body)) + body)
    reply = allowed.recv(4096)
    ports["VXI-11 abort channel"] = struct.unpack(">I", reply[4 + 24 + 8:4 + 24 + 12])[0]
    for transport, port in ports.items():
        outsider = socket.create_connection(("127.0.0.1", port), 5, ("127.0.0.5", 0))
        outsider.settimeout(5)
        try:
            outsider.sendall(b"*RST\n" if transport == "raw" else b"GET / HTTP/1.0\r\n\r\n")
            got = outsider.recv(100)
        except (ConnectionError, socket.timeout) as e:
            got = type(e).__name__
        check(f"{transport}: an outsider is closed at once", got in (b"", "ConnectionResetError"),
              True)
        outsider.close()
    allowed.close()
finally:
    out, err = stop(server)
for transport in ("raw socket", "VXI-11", "VXI-11 abort channel", "HiSLIP", "HTTP", "HTTPS"):
    check(f"{transport}: the outsider said",
          bool(re.search(r"Refused 127\.0\.0\.5:\d+ \(" + transport + r"\): not on the allow list",
                         out)), True)
check("nothing sent to the card for outsiders", changes()[before:], [])

run.finish("secure clients")

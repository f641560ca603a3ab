"""The card as a LAN instrument, as clients nobody here wrote see it: the
program serves the simulated card (--serve), registered with the
namespace's port mapper; rpcinfo finds it, lxi-tools (its default VXI-11
mode) and PyVISA with pyvisa-py talk to it: queries, writes, a whole wave
memory as a block both ways, device clear, the status byte, a lock that
holds another link off; curl reads the LXI identification document and
headless Chromium draws the welcome page (its picture in OUT_DIR), and
xmllint checks the identification document against the LXI schema. Served
on 127.0.0.1 nothing is announced; a second server on the namespace's LAN
address leaves the first's port mapper entry alone (no VXI-11 string
printed or announced) until the first stops, then registers; avahi-browse,
lxi-tools' mDNS discovery and, where pyvisa-py has it, its zeroconf
discovery find its services, and see them withdrawn at the stop (HiSLIP's
clients: hislip_clients.py).

Usage: lan_clients.py PROGRAM SIM_DIR OUT_DIR"""
import os
import re
import signal
import socket
import struct
import subprocess
import sys
import time
import xml.etree.ElementTree as ElementTree

import pyvisa

program, sim_dir, out_dir = sys.argv[1:4]
env = {"LD_LIBRARY_PATH": sim_dir, "NVSIM_CHASSIS": ""}
server = subprocess.Popen([program, "--serve", "--resource", "PXI1::13::INSTR", "--port", "0"],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
failures = []


def check(what, got, wanted):
    if got != wanted:
        failures.append(f"{what}: {got!r}, wanted {wanted!r}")


def second_server():
    """A second card's server on the LAN address, beside the first: it
    leaves the first's port mapper entry alone until the first stops, and
    is announced on that interface only, each service with the LXI keys."""
    lan = "192.0.2.10"
    two = subprocess.Popen([program, "--serve", "--resource", "PXI1::14::INSTR", "--listen", lan,
                            "--port", "0", "--http-port", "0", "--hislip", "0"],
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
    try:
        out = [two.stdout.readline().strip() for _ in range(4)]
        check("the second server's strings: no VXI-11 one",
              [bool(re.fullmatch(w, l)) for w, l in zip(
                  [r"Listening on 192\.0\.2\.10:\d+ for PXI1::14::INSTR",
                   r"TCPIP0::192\.0\.2\.10::\d+::SOCKET",
                   r"TCPIP0::192\.0\.2\.10::hislip0,\d+::INSTR \(HiSLIP, port \d+\)",
                   r"http://192\.0\.2\.10:\d+/ .*"], out)], [True] * 4)
        core = re.search(r"VXI-11, port (\d+)", lines[2]).group(1)
        said = two.stderr.readline() + two.stderr.readline()  # after the warning of a LAN address
        check("the second server says whose entry it is",
              f"another VXI-11 server on this computer (port {core})" in said, True)
        ports = {"_scpi-raw._tcp": re.search(r"::(\d+)::SOCKET", out[1]).group(1),
                 "_hislip._tcp": re.search(r"port (\d+)", out[2]).group(1),
                 "_http._tcp": re.search(r":(\d+)/", out[3]).group(1),
                 "_lxi._tcp": re.search(r":(\d+)/", out[3]).group(1)}

        def found(service, want):
            for _ in range(50):
                entries = announced(service)
                if len(entries) >= want:
                    return entries
                time.sleep(0.1)
            return announced(service)

        for service, port in ports.items():
            entries = found(service, 1)
            check(f"{service} announced", [(e[1], e[3], e[8]) for e in entries],
                  [("nv815a", "Norvale\\03282-815\\0321002", port)])
            if service != "_http._tcp" and entries:
                for key in ('"txtvers=1"', '"Manufacturer=Norvale"', '"Model=82-815"',
                            '"SerialNumber=1002"', '"FirmwareVersion=1.46"'):
                    check(f"{service}'s TXT key {key}", key in entries[0][9], True)
        check("no VXI-11 announced while another holds the port mapper",
              announced("_vxi-11._tcp"), [])
        # The first stops: the second registers, says so and is announced.
        server.send_signal(signal.SIGINT)
        server.communicate(timeout=10)
        check("registered once the first is gone", two.stdout.readline().strip(),
              "VXI-11 registered with the port mapper:")
        line = two.stdout.readline().strip()
        check("its VXI-11 string", bool(re.fullmatch(
            r"TCPIP0::192\.0\.2\.10::inst0::INSTR \(VXI-11, port \d+\)", line)), True)
        vxi11 = re.search(r"port (\d+)", line).group(1)
        check("_vxi-11._tcp announced", [(e[1], e[8]) for e in found("_vxi-11._tcp", 1)],
              [("nv815a", vxi11)])
        check("lxi discover -m", 'Found "Norvale 82-815 1002"' in subprocess.run(
            ["lxi", "discover", "-m"], capture_output=True, text=True, timeout=30).stdout, True)
        # pyvisa-py's discovery, where it has zeroconf (Debian 13's): HiSLIP
        # by mDNS (it writes the protocol's port, whatever the one announced),
        # VXI-11 by the port mappers' broadcast.
        try:
            import pyvisa_py.tcpip  # pylint: disable=import-outside-toplevel
            zeroconf = getattr(pyvisa_py.tcpip, "zeroconf", None) is not None
        except ImportError:
            zeroconf = False
        if zeroconf:
            listed = pyvisa.ResourceManager("@py").list_resources()
            check("pyvisa-py lists hislip0", any(
                r.startswith("TCPIP::192.0.2.10::hislip0") for r in listed), True)
            check("pyvisa-py lists inst0", "TCPIP::192.0.2.10::INSTR" in listed, True)
        else:
            print("pyvisa-py's discovery not checked: this pyvisa-py has no zeroconf")
    finally:
        two.send_signal(signal.SIGINT)
        two.communicate(timeout=10)
    for _ in range(50):  # withdrawn at the stop
        if not announced("_lxi._tcp"):
            break
        time.sleep(0.1)
    check("withdrawn at the stop", announced("_lxi._tcp"), [])


try:
    lines = [server.stdout.readline().strip() for _ in range(5)]
    wanted = [r"Listening on 127\.0\.0\.1:\d+ for PXI1::13::INSTR", r"TCPIP0::127\.0\.0\.1::\d+::SOCKET",
              r"TCPIP0::127\.0\.0\.1::inst0::INSTR \(VXI-11, port \d+\)",
              r"TCPIP0::127\.0\.0\.1::hislip0::INSTR \(HiSLIP, port 4880\)",
              r"http://127\.0\.0\.1:\d+/ \(the LXI identification at /lxi/identification\)"]
    check("the resource strings", all(re.fullmatch(w, l) for w, l in zip(wanted, lines)), True)
    web = re.search(r"(http://\S+/)", lines[4]).group(1)
    document = subprocess.run(["curl", "-sf", web + "lxi/identification"], capture_output=True,
                              timeout=20).stdout
    ns = {"lxi": "http://www.lxistandard.org/InstrumentIdentification/1.0"}
    schema = os.path.join(os.path.dirname(os.path.abspath(__file__)), "LXIIdentification.xsd")
    valid = subprocess.run(["xmllint", "--noout", "--schema", schema, "-"], input=document,
                           capture_output=True)
    check("the identification document against the LXI schema", valid.returncode, 0)
    root = ElementTree.fromstring(document)
    check("identification", [root.findtext(f"lxi:{k}", namespaces=ns) for k in
                             ("Manufacturer", "Model", "SerialNumber", "FirmwareRevision")],
          ["Norvale", "72-815", "1001", "1.46"])
    check("its resource strings",
          [e.text for e in root.iterfind("lxi:Interface/lxi:InstrumentAddressString", ns)],
          [l.split(" ")[0].replace("TCPIP0::", "TCPIP::") for l in lines[1:4]])
    # A client that never finishes its request, one whose header is far too
    # long, a method not served: the page goes on being served.
    web_port = int(re.search(r":(\d+)/", web).group(1))
    slow = socket.create_connection(("127.0.0.1", web_port))
    slow.sendall(b"GET / HTTP/1.1\r\nHost: x\r\n")
    big = socket.create_connection(("127.0.0.1", web_port))
    try:
        big.sendall(b"GET / HTTP/1.1\r\nX: " + b"a" * 100000 + b"\r\n\r\n")
        big.settimeout(5)
        check("a header beyond bounds", big.recv(12) in (b"", b"HTTP/1.1 431"), True)
    except OSError:
        pass  # closed while it was still sending: refused too
    posted = subprocess.run(["curl", "-s", "-o", "/dev/null", "-w", "%{http_code}", "-X", "POST",
                             web], capture_output=True, text=True, timeout=20).stdout
    check("POST", posted, "405")
    check("the page beside them", b"72-815" in subprocess.run(
        ["curl", "-sf", web], capture_output=True, timeout=20).stdout, True)
    slow.close()
    big.close()
    picture = os.path.join(out_dir, "welcome_page.png")
    subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu",
                    "--window-size=900,700", f"--screenshot={picture}", web],
                   capture_output=True, timeout=60)
    check("Chromium drew the welcome page", os.path.getsize(picture) > 10000
          if os.path.exists(picture) else False, True)
    print(f"The welcome page as Chromium draws it: {picture}")
    # Served on 127.0.0.1 only: nothing announced, and said so.
    avahi = subprocess.run(["avahi-daemon", "-c"], capture_output=True).returncode == 0

    def announced(service):
        found = subprocess.run(["avahi-browse", "-rpt", service], capture_output=True,
                               text=True, timeout=20).stdout
        return [l.split(";") for l in found.splitlines() if l.startswith("=;") and ";IPv4;" in l]

    if avahi:
        time.sleep(1)
        check("announced from 127.0.0.1", announced("_scpi-raw._tcp"), [])
    mapped = subprocess.run(["rpcinfo", "-p", "127.0.0.1"], capture_output=True, text=True).stdout
    check("rpcinfo lists the core channel", " 395183 " in mapped, True)

    def lxi(command):
        return subprocess.run(["lxi", "scpi", "--address", "127.0.0.1", "--timeout", "5", command],
                              capture_output=True, text=True, timeout=20).stdout.strip()
    check("lxi *IDN?", lxi("*IDN?"), "Norvale,72-815,1001,1.46")
    # VXI-11 discovery by broadcast, as lxi-tools does it (Debian 12's
    # pyvisa-py has none: its list_resources() of TCPIP is always empty).
    broadcast = subprocess.run(["lxi", "discover"], capture_output=True, text=True,
                               timeout=30).stdout
    check("lxi discover", 'Found "Norvale,72-815,1001,1.46" on address 127.0.0.1' in broadcast,
          True)
    check("lxi FREQ", lxi("FREQ 2500;FREQ?"), "2500")

    rm = pyvisa.ResourceManager("@py")
    inst = rm.open_resource("TCPIP0::127.0.0.1::INSTR", timeout=5000)
    check("*IDN?", inst.query("*IDN?").strip(), "Norvale,72-815,1001,1.46")
    inst.write("SOUR2:FREQ 3.5KHZ")
    check("FREQ?", inst.query("SOUR2:FREQ?").strip(), "3500")
    samples = [(i * 7) % 65536 - 32768 for i in range(262144)]
    inst.write_binary_values("SOUR3:DATA ", samples, datatype="h", is_big_endian=True)
    check("DATA error", inst.query("SYST:ERR?").strip(), '0,"No error"')
    check("DATA?", inst.query_binary_values("SOUR3:DATA?", datatype="h", is_big_endian=True,
                                            container=list) == samples, True)
    inst.write("FOO")  # an error, and an answer not read: both in the status byte
    inst.write("*IDN?")
    check("read_stb", inst.read_stb(), 0x04 | 0x10)
    inst.clear()  # the answer not read is gone
    check("after clear", inst.query("*OPC?").strip(), "1")
    inst.write("*CLS")

    other = rm.open_resource("TCPIP0::127.0.0.1::inst0::INSTR", timeout=2000)
    inst.lock_excl()
    try:
        other.query("*IDN?")
        failures.append("a locked device answered another link")
    except pyvisa.errors.VisaIOError:
        pass
    inst.unlock()
    check("after unlock", other.query("*OPC?").strip(), "1")
    try:  # pyvisa-py says "error creating link: 3" (device not accessible)
        rm.open_resource("TCPIP0::127.0.0.1::inst7::INSTR", timeout=2000).query("*IDN?")
        failures.append("inst7 answered")
    except Exception as e:  # pylint: disable=broad-except
        check("inst7", str(e), "error creating link: 3")

    # Two transports of one device at once: the card is one, each link's
    # error queue its own.
    port = int(re.search(r":(\d+) for", lines[0]).group(1))
    raw = rm.open_resource(f"TCPIP0::127.0.0.1::{port}::SOCKET", read_termination="\n",
                           write_termination="\n", timeout=5000)
    check("*OPC? after the socket's change", raw.query("SOUR1:FREQ 1234;FOO;*OPC?"), "1")
    check("the socket's change over VXI-11", other.query("SOUR1:FREQ?").strip(), "1234")
    check("VXI-11's own queue", other.query("SYST:ERR?").strip(), '0,"No error"')
    check("the socket's own queue", raw.query("SYST:ERR?"), '-113,"Undefined header"')
    raw.close()

    # Hostile connections: one stalled inside a record, one announcing a
    # record beyond every bound, one reset in the middle; the others go on.
    core = int(re.search(r"VXI-11, port (\d+)", lines[2]).group(1))
    stalled = socket.create_connection(("127.0.0.1", core))
    stalled.sendall(struct.pack(">I", 0x80000000 | 100) + b"\0" * 10)
    huge = socket.create_connection(("127.0.0.1", core))
    huge.sendall(struct.pack(">I", 0xFFFFFFFF) + b"\0" * 64)
    huge.settimeout(5)
    try:
        check("a record beyond bounds closes its connection", huge.recv(100), b"")
    except OSError:
        pass  # reset: closed too
    reset = socket.create_connection(("127.0.0.1", core))
    reset.sendall(struct.pack(">I", 0x80000000 | 100) + b"\0" * 40)
    reset.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    reset.close()
    # A call in fragments that come apart, as RPC libraries send large ones.
    fragmented = socket.create_connection(("127.0.0.1", core))

    def call(procedure, arguments, fragments):
        body = struct.pack(">IIIIII", 7, 0, 2, 0x0607AF, 1, procedure) + bytes(16) + arguments
        step = -(-len(body) // fragments)
        for at in range(0, len(body), step):
            part = body[at:at + step]
            last = 0x80000000 if at + step >= len(body) else 0
            fragmented.sendall(struct.pack(">I", last | len(part)) + part)
            time.sleep(0.02)
        length = struct.unpack(">I", fragmented.recv(4))[0] & 0x7FFFFFFF
        reply = b""
        while len(reply) < length:
            reply += fragmented.recv(length - len(reply))
        return reply[24:]  # after the reply's header: the results

    made = call(10, struct.pack(">iiiI", 0, 0, 0, 5) + b"inst0\0\0\0", 3)
    lid = struct.unpack(">ii", made[:8])[1]
    written = call(11, struct.pack(">iIIiI", lid, 1000, 1000, 8, 6) + b"*OPC?\n\0\0", 4)
    check("a write in four fragments", struct.unpack(">iI", written[:8]), (0, 6))

    # A service request reaches the client's interrupt channel when the
    # status byte's request bit rises: an error, enabled by *ESE and *SRE.
    interrupts = socket.socket()
    interrupts.bind(("127.0.0.1", 0))
    interrupts.listen(1)
    host = struct.unpack(">I", socket.inet_aton("127.0.0.1"))[0]
    opened = call(25, struct.pack(">IIIIi", host, interrupts.getsockname()[1], 0x0607B1, 1, 0), 1)
    check("create_intr_chan", struct.unpack(">i", opened[:4])[0], 0)
    enabled = call(20, struct.pack(">iiI", lid, 1, 4) + b"srq1", 1)
    check("device_enable_srq", struct.unpack(">i", enabled[:4])[0], 0)
    message = b"*ESE 32;*SRE 32;FOO\n"
    call(11, struct.pack(">iIIiI", lid, 1000, 1000, 8, len(message)) + message, 1)
    interrupts.settimeout(5)
    channel, _ = interrupts.accept()
    channel.settimeout(5)
    srq = channel.recv(200)
    # The call: record mark, xid, CALL, version 2, DEVICE_INTR, 1, device_intr_srq (30).
    check("device_intr_srq", struct.unpack(">IIIIII", srq[8:32])[1:5] + (srq[-4:],),
          (2, 0x0607B1, 1, 30, b"srq1"))
    channel.close()
    interrupts.close()
    fragmented.close()
    check("beside them", other.query("*IDN?").strip(), "Norvale,72-815,1001,1.46")
    check("lxi beside them", lxi("*OPC?"), "1")
    stalled.close()
    huge.close()
    other.close()
    inst.close()
    if avahi:
        second_server()
finally:
    if server.poll() is None:
        server.send_signal(signal.SIGINT)
    try:
        out, err = server.communicate(timeout=10)
    except subprocess.TimeoutExpired:
        server.kill()
        out, err = server.communicate()
        failures.append("the server did not stop")
    except ValueError:  # read already, where the second server stopped it
        out = err = ""

if failures:
    print("\n".join(failures))
    print(err)
    sys.exit(1)
print("VXI-11, the web pages and mDNS: rpcinfo, lxi-tools, pyvisa-py, curl, Chromium and "
      "avahi-browse agree")

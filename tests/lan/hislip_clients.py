"""HiSLIP as PyVISA's pure-Python backend sees it, where that backend has
HiSLIP (Debian 13's pyvisa-py does; Debian 12's has none: the test is then
skipped, exit status 77). The program serves the simulated card over HiSLIP
(--serve --hislip 0) and PyVISA opens TCPIP0::127.0.0.1::hislip0,PORT::INSTR:
queries and writes, a whole wave memory as a block both ways, clear(), the
status byte, an exclusive lock that holds another session off, a service
request, and an interrupted query. What the backend's session does not
offer (its read_stb, lock_excl and events are not implemented in 0.7) goes
through the backend's own protocol module.

Usage: hislip_clients.py PROGRAM SIM_DIR"""
import re
import signal
import subprocess
import sys

import pyvisa

try:
    from pyvisa_py.protocols import hislip
except ImportError:
    print("skipped: this PyVISA backend has no HiSLIP")
    sys.exit(77)

program, sim_dir = sys.argv[1:3]
server = subprocess.Popen([program, "--serve", "--resource", "PXI1::13::INSTR", "--port", "0",
                           "--hislip", "0", "--no-vxi11", "--no-http", "--no-mdns"],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                          env={"LD_LIBRARY_PATH": sim_dir, "NVSIM_CHASSIS": ""})
failures = []


def check(what, got, wanted):
    if got != wanted:
        failures.append(f"{what}: {got!r}, wanted {wanted!r}")


def supported(call):
    """The call's result, or None where the backend does not offer it."""
    try:
        return call()
    except pyvisa.errors.VisaIOError as e:
        if e.error_code == pyvisa.constants.StatusCode.error_nonsupported_operation:
            return None
        raise


try:
    lines = [server.stdout.readline().strip() for _ in range(3)]
    resource = re.fullmatch(r"(TCPIP0::127\.0\.0\.1::hislip0,\d+::INSTR) \(HiSLIP, port \d+\)",
                            lines[2]).group(1)
    rm = pyvisa.ResourceManager("@py")
    inst = rm.open_resource(resource, timeout=5000)
    check("*IDN?", inst.query("*IDN?").strip(), "Norvale,72-815,1001,1.46")
    inst.write("SOUR2:FREQ 3.5KHZ")
    check("FREQ?", inst.query("SOUR2:FREQ?").strip(), "3500")
    samples = [(i * 7) % 65536 - 32768 for i in range(262144)]
    for big in (True, False):
        inst.write("FORM:BORD " + ("NORM" if big else "SWAP"))
        inst.write_binary_values("SOUR3:DATA ", samples, datatype="h", is_big_endian=big)
        check("DATA", inst.query("SYST:ERR?").strip(), '0,"No error"')
        check("DATA?", inst.query_binary_values("SOUR3:DATA?", datatype="h", is_big_endian=big,
                                                container=list) == samples, True)
    inst.clear()
    check("after clear", inst.query("*OPC?").strip(), "1")
    session = inst.visalib.sessions[inst.session].interface  # the protocol module's client

    # A service request on the asynchronous channel; the status byte.
    inst.write("*ESE 32;*SRE 32;FOO")
    check("service request", hislip.AsyncServiceRequest(session._async).server_status & 0x40,
          0x40)
    stb = supported(inst.read_stb)
    check("status byte", (stb if stb is not None else session.async_status_query()) & 0x44,
          0x44)
    inst.write("*CLS")

    # An exclusive lock holds another session off until it is given up.
    other = rm.open_resource(resource, timeout=1000)
    if supported(inst.lock_excl) is None:
        check("lock", session.async_lock_request(1.0), "success")
    try:
        other.query("*IDN?")
        failures.append("a locked device answered another session")
    except pyvisa.errors.VisaIOError:
        pass
    if supported(inst.unlock) is None:
        check("unlock", session.async_lock_release(), "success")
    other.close()

    # A query not read before the next message: interrupted (synchronized mode).
    inst.write("*IDN?")
    inst.write("*OPC")
    check("AsyncInterrupted", hislip.AsyncInterrupted(session._async).msg_type,
          "AsyncInterrupted")
    check("query interrupted", inst.query("SYST:ERR?").strip(), '-410,"Query INTERRUPTED"')
    inst.close()
finally:
    server.send_signal(signal.SIGINT)
    try:
        out, err = server.communicate(timeout=10)
    except subprocess.TimeoutExpired:
        server.kill()
        out, err = server.communicate()
        failures.append("the server did not stop")

if failures:
    print("\n".join(failures))
    print(err)
    sys.exit(1)
print(f"HiSLIP: pyvisa {pyvisa.__version__} with its pure-Python backend agrees")

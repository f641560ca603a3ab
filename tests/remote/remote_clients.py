#!/usr/bin/env python3
"""Real SCPI clients against `nv815-panel --serve`: PyVISA with its pure-Python
backend on a TCPIP SOCKET resource, and lxi-tools' raw SCPI command.

Usage: remote_clients.py PROGRAM SIM_DIR JOURNAL_FILE"""
import os
import re
import signal
import subprocess
import sys

import pyvisa

program, sim_dir, journal = sys.argv[1:4]
env = {"LD_LIBRARY_PATH": sim_dir, "NVSIM_CHASSIS": "", "NVSIM_JOURNAL_FILE": journal}
server = subprocess.Popen([program, "--serve", "--resource", "PXI1::13::INSTR", "--port", "0"],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, text=True)
failures = []


def check(what, got, want):
    if got != want:
        failures.append(f"{what}: {got!r}, not {want!r}")


try:
    line = server.stdout.readline().strip()
    match = re.fullmatch(r"Listening on 127\.0\.0\.1:(\d+) for PXI1::13::INSTR", line)
    if not match:
        sys.exit(f"the server said {line!r}")
    port = match.group(1)

    rm = pyvisa.ResourceManager("@py")
    inst = rm.open_resource(f"TCPIP0::127.0.0.1::{port}::SOCKET",
                            read_termination="\n", write_termination="\n", timeout=5000)
    check("*IDN?", inst.query("*IDN?"), "Norvale,72-815,1001,1.46")
    inst.write("SOUR2:FUNC TRI")
    inst.write("SOUR2:FREQ 2.5KHZ")
    check("FREQ?", inst.query("SOUR2:FREQ?"), "2500")
    check("FUNC?", inst.query("SOUR2:FUNC?"), "TRI")
    check("ERR? (none)", inst.query("SYST:ERR?"), '0,"No error"')
    inst.write("OUTP2:ATT 99")
    check("ERR? (range)", inst.query("SYST:ERR?"),
          '-222,"Data out of range;Attenuation in dB must be from 0 to 40: 99 is not."')
    check("*OPC?", inst.query("*OPC?"), "1")
    inst.close()

    # lxi-tools, another client: a query and a setter.
    def lxi(command):
        return subprocess.run(["lxi", "scpi", "--address", "127.0.0.1", "--port", port, "--raw",
                               "--timeout", "5", command],
                              capture_output=True, text=True, timeout=30).stdout.strip()
    check("lxi *IDN?", lxi("*IDN?"), "Norvale,72-815,1001,1.46")
    lxi("OUTP1:ATT 12")
    check("lxi ATT?", lxi("OUTP1:ATT?"), "12")
finally:
    server.send_signal(signal.SIGTERM)
    out, err = server.communicate(timeout=30)

check("exit status", server.returncode, 0)
calls = open(journal).read().splitlines()
sets = [c for c in calls if c.startswith(("nv815_Set", "nv815_Generate"))]
check("generate calls", [c.split("(")[0] for c in sets if "Generate" in c],
      ["nv815_GenerateSignal", "nv815_GenerateSignal"])
check("attenuation calls", sum(c.startswith("nv815_SetAttenuation") for c in sets), 1)
if failures:
    sys.exit("\n".join(failures))
print("PyVISA and lxi against --serve: every answer and driver call as expected")

"""Which properties of PyMeasure's function-generator drivers work, unmodified,
against the program's --serve (raw socket): each property of each driver is
read after the card was set up as a station would (*RST, then APPLy:SINusoid
1 kHz, so the card has accepted an output, a shape and a frequency). Prints
one line per property: the driver, the property, "ok" or why not (what the
error queue then says). Not a test: figures for how far drivers written for
other generators get.

Usage: pymeasure_survey.py PROGRAM SIM_DIR"""
import inspect
import os
import re
import subprocess
import sys

from pymeasure.adapters import VISAAdapter
from pymeasure.instruments.agilent import Agilent33220A, Agilent33500
from pymeasure.instruments.hp import HP33120A

program, sim_dir = sys.argv[1:3]
server = subprocess.Popen([program, "--serve", "--resource", "PXI1::13::INSTR", "--port", "0",
                           "--no-vxi11", "--no-http", "--no-mdns"],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                          env={"LD_LIBRARY_PATH": sim_dir, "NVSIM_CHASSIS": ""})
port = re.search(r":(\d+) for", server.stdout.readline()).group(1)
totals = {}
try:
    for driver in (Agilent33220A, Agilent33500, HP33120A):
        adapter = VISAAdapter(f"TCPIP0::127.0.0.1::{port}::SOCKET", visa_library="@py",
                              read_termination="\n", write_termination="\n", timeout=500)
        instrument = driver(adapter)
        names = [n for n, v in inspect.getmembers(driver) if isinstance(v, property)
                 and n not in ("id", "options", "complete", "status")]
        instrument.write("*RST;:APPL:SIN 1000;*CLS")
        ok = 0
        for name in names:
            try:
                instrument.write("*CLS")
                value = getattr(instrument, name)
                error = instrument.ask("SYST:ERR?").strip()
                if value is None or not error.startswith("0,"):
                    why = f"read {value!r}, then {error}"
                else:
                    why = "ok"
                    ok += 1
            except Exception as e:  # pylint: disable=broad-except
                why = type(e).__name__ + ": " + str(e).splitlines()[0][:80]
                try:  # the queue says what the server made of it
                    why += "; " + instrument.ask("SYST:ERR?").strip()
                except Exception:  # pylint: disable=broad-except
                    pass
            print(f"{driver.__name__}\t{name}\t{why}")
        totals[driver.__name__] = (ok, len(names))
        adapter.connection.close()
finally:
    server.terminate()
    server.wait(10)
for name, (ok, count) in totals.items():
    print(f"{name}: {ok} of {count} properties read")

#!/usr/bin/env python3
"""Real SCPI clients against `nv815-panel --serve`: PyVISA with its pure-Python
backend on a TCPIP SOCKET resource, and lxi-tools' raw SCPI command. Every
setter of the documented command table is sent, its query read back, and the
simulated card's calls compared with the ones the table names.

Usage: remote_clients.py PROGRAM SIM_DIR JOURNAL_FILE COMMAND_TABLE_DOC"""
import os
import re
import signal
import subprocess
import sys
import tempfile

import pyvisa

program, sim_dir, journal, readme = sys.argv[1:5]
files = tempfile.mkdtemp()
env = {"LD_LIBRARY_PATH": sim_dir, "NVSIM_CHASSIS": "", "NVSIM_JOURNAL_FILE": journal}
server = subprocess.Popen([program, "--serve", "--resource", "PXI1::13::INSTR", "--port", "0",
                           "--files", files],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, text=True)
failures = []


def check(what, got, want):
    if got != want:
        failures.append(f"{what}: {got!r}, not {want!r}")


def table_calls():
    """The documented command table: for each command, the alternatives of what
    the card receives (the driver functions named, in order)."""
    rows = {}
    for line in open(readme, encoding="utf-8"):
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if len(cells) != 4 or not cells[0].startswith("`"):
            continue
        command = cells[0].split("`")[1]
        alternatives = []
        for part in cells[2].split(";"):
            part = re.sub(r"\([^)]*\)", "", part)
            alternatives.append(re.findall(r"`(nv815_\w+)`", part))
        rows[command] = alternatives
    return rows


# Each setter of the table as a client sends it (in this order), its query and
# the answer; the table's row it is checked against.
SETTERS = [
    ("FORMat:BORDer", "FORM:BORD NORM", "FORM:BORD?", "NORM"),
    ("[SOURce#:]DATA[:DAC]", None, "SOUR3:FUNC?", "USER"),  # the block, below
    ("[SOURce#:]FUNCtion[:SHAPe]", "SOUR3:FUNC SIN", "SOUR3:FUNC?", "SIN"),
    ("[SOURce#:]FUNCtion[:SHAPe] USER", "SOUR3:FUNC USER", "SOUR3:FUNC?", "USER"),
    ("[SOURce#:]FUNCtion[:SHAPe]", "SOUR2:FUNC TRI", "SOUR2:FUNC?", "TRI"),
    ("[SOURce#:]FUNCtion:SQUare:DCYCle", "SOUR2:FUNC:TRI:SYMM 30", "SOUR2:FUNC:SQU:DCYC?", "30"),
    ("[SOURce#:]FREQuency[:CW]", "SOUR2:FREQ 2.5KHZ", "SOUR2:FREQ?", "2500"),
    ("[SOURce#:]FREQuency:STOP", "SOUR2:FREQ:STOP 9KHZ", "SOUR2:FREQ:STOP?", "9.91E37"),
    ("[SOURce#:]FREQuency:MODE", "SOUR2:FREQ:MODE SWE", "SOUR2:FREQ:MODE?", "SWE"),
    ("[SOURce#:]SWEep:STEP", "SOUR2:SWE:STEP 100", "SOUR2:SWE:STEP?", "100"),
    ("[SOURce#:]SWEep:DWELl", "SOUR2:SWE:DWEL 2MS", "SOUR2:SWE:DWEL?", "0.002"),
    ("[SOURce#:]SWEep:MODE", "SOUR2:SWE:MODE MAN", "SOUR2:SWE:MODE?", "MAN"),
    ("[SOURce#:]FSKey:LEVel", "SOUR2:FSK:LEV HIGH", "SOUR2:FSK:LEV?", "HIGH"),
    ("[SOURce#:]AM:STATe", "SOUR2:AM:STAT ON", "SOUR2:AM:STAT?", "1"),
    ("[SOURce#:]APPLy:SINusoid", "APPL:SQU 4KHZ", "FREQ?", "4000"),
    ("OUTPut#:ATTenuation", "OUTP2:ATT 25", "OUTP2:ATT?", "25"),
    ("[SOURce#:]VOLTage:OFFSet", "SOUR2:VOLT:OFFS -1.25", "SOUR2:VOLT:OFFS?", "-1.25"),
    ("[SOURce#:]VOLTage:OFFSet:STATe", "SOUR2:VOLT:OFFS:STAT ON", "SOUR2:VOLT:OFFS:STAT?", "1"),
    ("OUTPut#[:STATe]", "OUTP2 ON", "OUTP2?", "1"),
    ("TRIGger#:SOURce", "TRIG2:SOUR PXI3", "TRIG2:SOUR?", "PXI3"),
    ("TRIGger#:MODE", "TRIG2:MODE POS", "TRIG2:MODE?", "POS"),
    ("ROSCillator:SOURce", "ROSC:SOUR EXT", "ROSC:SOUR?", "EXT"),
    ("ROSCillator:EXTernal:FREQuency", "ROSC:EXT:FREQ 20MHZ", "ROSC:EXT:FREQ?", "20000000"),
    ("CLOCk#:MULTiplier", "CLOC2:MULT 8", "CLOC2:MULT?", "8"),
    ("CLOCk#:SWEep:MODE", "CLOC2:SWE:MODE TRI", "CLOC2:SWE:MODE?", "TRI"),
    ("CLOCk#:FREQuency:STARt", "CLOC2:FREQ:STAR 1000", "CLOC2:FREQ:STAR?", "1000"),
    ("CLOCk#:SWEep:DWELl", "CLOC2:SWE:DWEL 3MS", "CLOC2:SWE:DWEL?", "0.003"),
    ("CLOCk#:COUNter:STEP", "CLOC2:COUN:STEP 64", "CLOC2:COUN:STEP?", "64"),
    ("CLOCk#:FSK:SOURce", "CLOC2:FSK:SOUR 2", "CLOC2:FSK:SOUR?", "2"),
    ("MMEMory:STORe:STATe", "MMEM:STOR:STAT 'station.ini'", None, None),
    ("SYSTem:RWLock", "SYST:RWL", None, None),
    ("SYSTem:LOCal", "SYST:LOC", None, None),
]


class Journal:
    """The simulated card's calls since the last look, without the channel selection."""
    def __init__(self):
        self.seen = 0

    def new_calls(self):
        lines = open(journal).read().splitlines()
        fresh, self.seen = lines[self.seen:], len(lines)
        return [l.split("(")[0] for l in fresh
                if l.startswith("nv815_") and not l.startswith("nv815_SetActiveChannel")]


try:
    line = server.stdout.readline().strip()
    match = re.fullmatch(r"Listening on 127\.0\.0\.1:(\d+) for PXI1::13::INSTR", line)
    if not match:
        sys.exit(f"the server said {line!r}")
    port = match.group(1)
    rows = table_calls()
    calls = Journal()
    calls.new_calls()

    rm = pyvisa.ResourceManager("@py")
    inst = rm.open_resource(f"TCPIP0::127.0.0.1::{port}::SOCKET",
                            read_termination="\n", write_termination="\n", timeout=10000)
    check("*IDN?", inst.query("*IDN?"), "Norvale,72-815,1001,1.46")
    for command, setter, query, answer in SETTERS:
        if setter:
            inst.write(setter)
        else:  # a whole wave memory of samples, as one block
            inst.write_binary_values("SOUR3:DATA ", [(i * 7) % 65536 - 32768 for i in range(262144)],
                                     datatype="h", is_big_endian=True)
        check(f"{setter or 'DATA'}: error", inst.query("SYST:ERR?"), '0,"No error"')
        if query:
            check(query, inst.query(query), answer)
        received = calls.new_calls()
        if command not in rows:
            failures.append(f"{command} is not in the documented table")
        elif received not in rows[command]:
            failures.append(f"{setter or 'DATA'}: the card received {received!r}, the documentation "
                            f"names {rows[command]!r}")
    # The samples back as a block, as query_binary_values reads one, in both byte orders.
    sent = [(i * 7) % 65536 - 32768 for i in range(262144)]
    check("DATA? (NORM)", inst.query_binary_values("SOUR3:DATA?", datatype="h",
                                                   is_big_endian=True) == sent, True)
    inst.write("FORM:BORD SWAP")
    check("DATA? (SWAP)", inst.query_binary_values("SOUR3:DATA?", datatype="h",
                                                   is_big_endian=False) == sent, True)
    inst.write("FORM:BORD NORM")
    check("FREQ? MAX", inst.query("FREQ? MAX"), "10000000")
    check("MMEM:CAT?", '"station.ini,STAT,' in inst.query("MMEM:CAT?"), True)
    check("station.ini", os.path.exists(os.path.join(files, "station.ini")), True)
    check("its waveform", os.path.exists(os.path.join(files, "station_channel3.txt")), True)
    inst.write("OUTP2:ATT 99")
    check("ERR? (range)", inst.query("SYST:ERR?"),
          '-222,"Data out of range;Attenuation in dB must be from 0 to 40: 99 is not."')
    inst.write("MMEM:LOAD:STAT '../etc/passwd'")
    check("ERR? (file)", inst.query("SYST:ERR?").split(";")[0], '-257,"File name error')
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
check("stopped", out.splitlines()[-1] if out else "",
      "Stopped: PXI1::13::INSTR closed, its outputs as they were.")
# The card's session closed, then the resource manager: the last calls.
check("the card closed", [c.split("(")[0] for c in open(journal).read().splitlines()[-2:]],
      ["viClose", "viClose"])
if failures:
    sys.exit("\n".join(failures))
print(f"PyVISA and lxi against --serve: {len(SETTERS)} setters, their queries and driver calls "
      "as the documented table says")

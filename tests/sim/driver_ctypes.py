"""Every entry point of the simulated driver through ctypes, declared from the
shipped header (nv815_api.h): each called with edge arguments (NULL
pointers, an unknown session, out-of-range numbers, NaN, infinities, huge
counts) answers a status and never crashes; then what the instrument-driver
functions do: reset, self-test, error query, registers (the same BAR0 that
VISA reads), EEPROM, instrument memory, the signal shape, and the
calibration writes that stay unsupported.
Usage: driver_ctypes.py LIBDRIVER LIBVISA HEADER"""

import ctypes as C
import itertools
import math
import re
import sys
import unittest

DRIVER, VISA, HEADER = sys.argv[1:4]
VISA_LIB = C.CDLL(VISA, mode=C.RTLD_GLOBAL)
LIB = C.CDLL(DRIVER)
NSUP = -1073807257  # VI_ERROR_NSUP_OPER

TYPES = {"ViSession": C.c_uint32, "ViStatus": C.c_int32, "ViInt32": C.c_int32,
         "ViUInt32": C.c_uint32, "ViInt16": C.c_int16, "double": C.c_double}


def entry_points():
    """(name, [(type, is_pointer)]) for each X(name, (parameters)) of the header."""
    with open(HEADER) as header:
        text = header.read().replace("\\\n", " ")
    for name, params in re.findall(r"X\((nv815_\w+),\s*\((.*?)\)\)", text):
        args = []
        for p in params.split(","):
            p = p.strip().replace("const ", "")
            pointer = "*" in p or "[]" in p
            base = p.split()[0].rstrip("*")
            args.append((base, pointer))
        yield name, args


def edge_values(base, pointer):
    if pointer:
        return [None]
    if base == "double":
        return [math.nan, math.inf, -1e308]
    if base == "ViSession":
        return [None]  # filled in with the open session and an unknown one
    return [-1, 2**31 - 1 if base == "ViInt32" else 2**32 - 1 if base == "ViUInt32" else 32767]


class Driver(unittest.TestCase):
    def setUp(self):
        self.assertEqual(VISA_LIB.nvsim_load_chassis(None, None, 0), 0)
        self.vi = C.c_uint32()
        self.assertEqual(LIB.nv815_init(b"PXI1::13::INSTR", 0, 0, C.byref(self.vi)), 0)

    def tearDown(self):
        LIB.nv815_close(self.vi)

    def test_edge_arguments_answer_a_status(self):
        count = 0
        for name, args in entry_points():
            if name in ("nv815_init", "nv815_close"):
                continue
            function = getattr(LIB, name)
            function.restype = C.c_int32
            function.argtypes = [C.c_void_p if p else TYPES[b] for b, p in args]
            choices = [[self.vi.value, 0xDEAD] if b == "ViSession" else edge_values(b, p)
                       for b, p in args]
            for values in itertools.product(*choices):
                status = function(*values)
                self.assertIsInstance(status, int, name)
                if values[0] == 0xDEAD:
                    self.assertNotEqual(status, 0, f"{name} on no session")
                count += 1
        self.assertGreater(count, 100)

    def call(self, name, *args):
        return getattr(LIB, name)(self.vi, *args)

    def test_what_the_functions_do(self):
        result, text = C.c_int16(5), C.create_string_buffer(256)
        self.assertEqual(self.call("nv815_self_test", C.byref(result), text), 0)
        self.assertEqual((result.value, text.value), (0, b"Self test passed"))
        self.assertNotEqual(self.call("nv815_SetActiveChannel", 9), 0)
        code = C.c_int32()
        self.assertEqual(self.call("nv815_error_query", C.byref(code), text), 0)
        self.assertEqual((code.value & 0xFFFFFFFF, text.value),
                         (0xBFFC0801, b"Channel number out of range for this card."))
        self.assertEqual(self.call("nv815_error_query", C.byref(code), text), 0)
        self.assertEqual((code.value, text.value), (0, b"No error."))
        word = C.c_uint32()
        self.assertEqual(self.call("nv815_WriteRegister", 3, C.c_uint32(0xCAFE)), 0)
        self.assertEqual(self.call("nv815_ReadRegister", 3, C.byref(word)), 0)
        self.assertEqual(word.value, 0xCAFE)
        self.assertEqual(VISA_LIB.viIn32(self.vi, 11, C.c_uint64(12), C.byref(word)), 0)
        self.assertEqual(word.value, 0xCAFE)  # BAR0 offset 12, as VISA reads it
        self.assertEqual(self.call("nv815_WriteEeprom", 255, -7), 0)
        value = C.c_int32()
        self.assertEqual(self.call("nv815_ReadEeprom", 255, C.byref(value)), 0)
        self.assertEqual(value.value, -7)
        self.assertNotEqual(self.call("nv815_ReadEeprom", 256, C.byref(value)), 0)
        words = (C.c_uint32 * 3)(1, 2, 3)
        self.assertEqual(self.call("nv815_WriteInstrumentMemoryArray", C.c_uint32(10), 3, words),
                         0)
        back = (C.c_uint32 * 4)()
        self.assertEqual(self.call("nv815_ReadInstrumentMemoryArray", C.c_uint32(9), 4, back), 0)
        self.assertEqual(list(back), [0, 1, 2, 3])
        self.assertEqual(self.call("nv815_SetSignal", 2), 0)
        self.assertEqual(self.call("nv815_reset"), 0)
        state = C.c_double()
        self.assertEqual(VISA_LIB.nvsim_channel_value(b"PXI1::13::INSTR", 1, b"waveType",
                                                      C.byref(state)), 0)
        self.assertEqual(state.value, 0)  # back to its state after power-up
        self.assertEqual(self.call("nv815_StoreCalibrationData"), NSUP)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=1)

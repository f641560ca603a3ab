"""A VISA client nobody here wrote (PyVISA) against the simulated libvisa.so,
used as a user would use it: list resources, parse and open each, read the
standard attributes, set the timeout, lock (nested, and waited for by a second
session), read the PCI configuration space, clear and close, with no session
left open. Also checks the status constants of the program's VISA header
against PyVISA's standard values. Usage: pyvisa_client.py LIBVISA HEADER"""

import ctypes
import re
import sys
import time
import unittest

import pyvisa
from pyvisa import constants

LIBRARY, HEADER = sys.argv[1], sys.argv[2]
SIM = ctypes.CDLL(LIBRARY)


class SimulatedChassis(unittest.TestCase):
    def setUp(self):
        self.assertEqual(SIM.nvsim_load_chassis(None, None, 0), 0)
        self.rm = pyvisa.ResourceManager(LIBRARY)

    def tearDown(self):
        self.rm.close()
        self.assertEqual(SIM.nvsim_open_sessions(), 0, "a session was left open")

    def test_lists_parses_and_opens_every_resource(self):
        names = self.rm.list_resources()
        self.assertIn("PXI1::13::INSTR", names)
        self.assertEqual(self.rm.list_resources("PXI1::1[34]::INSTR"),
                         ("PXI1::13::INSTR", "PXI1::14::INSTR"))
        self.assertEqual(len(self.rm.list_resources("(PXI1|PXI2)::?*::INSTR")), len(names))
        for name in names:
            info = self.rm.resource_info(name)
            self.assertEqual(info.interface_type, constants.InterfaceType.pxi)
            self.assertEqual(info.resource_class, "INSTR")
            self.assertEqual(info.resource_name, name)
            with self.rm.open_resource(name) as r:
                self.assertEqual(r.resource_name, name)
                self.assertEqual(r.get_visa_attribute(constants.VI_ATTR_RSRC_CLASS), "INSTR")
                self.assertEqual(r.interface_type, constants.InterfaceType.pxi)
        with self.assertRaises(pyvisa.VisaIOError) as e:
            self.rm.open_resource("garbage")
        self.assertEqual(e.exception.error_code, constants.StatusCode.error_invalid_resource_name)

    def test_attributes_timeout_and_registers(self):
        r = self.rm.open_resource("PXI1::13::INSTR")
        self.assertEqual(r.get_visa_attribute(constants.VI_ATTR_MANF_ID), 0x1C0F)
        self.assertEqual(r.get_visa_attribute(constants.VI_ATTR_MODEL_CODE), 0x0815)
        self.assertEqual(r.get_visa_attribute(constants.VI_ATTR_PXI_DEV_NUM), 13)
        self.assertEqual(r.get_visa_attribute(constants.VI_ATTR_INTF_NUM), 0)  # PXI1 is the bus
        self.assertTrue(r.get_visa_attribute(constants.VI_ATTR_RSRC_MANF_NAME))
        self.assertEqual(r.get_visa_attribute(constants.VI_ATTR_RSRC_LOCK_STATE),
                         constants.AccessModes.no_lock)
        r.timeout = 1234
        self.assertEqual(r.timeout, 1234)
        config = constants.AddressSpace.pxi_config
        self.assertEqual(r.visalib.in_16(r.session, config, 0x2E)[0], 0x4403)  # subsystem id
        self.assertEqual(r.visalib.in_16(r.session, config, 0x00)[0], 0x1C0F)
        with self.assertRaises(pyvisa.VisaIOError) as e:
            r.visalib.in_16(r.session, config, 0x2F)
        self.assertEqual(e.exception.error_code,
                         constants.StatusCode.error_nonsupported_offset_alignment)
        bar0 = constants.AddressSpace.pxi_bar0
        r.visalib.out_32(r.session, bar0, 0x10, 0xCAFE0815)
        self.assertEqual(r.visalib.in_32(r.session, bar0, 0x10)[0], 0xCAFE0815)
        self.assertEqual(r.visalib.in_8(r.session, bar0, 0x11)[0], 0x08)
        r.clear()
        r.close()

    def test_locks(self):
        first = self.rm.open_resource("PXI1::13::INSTR")
        second = self.rm.open_resource("PXI1::13::INSTR")
        first.lock_excl()
        self.assertEqual(first.get_visa_attribute(constants.VI_ATTR_RSRC_LOCK_STATE),
                         constants.AccessModes.exclusive_lock)
        ret = first.visalib.lock(first.session, constants.AccessModes.exclusive_lock, 0)[1]
        self.assertEqual(ret, constants.StatusCode.success_nested_exclusive)
        start = time.monotonic()
        with self.assertRaises(pyvisa.VisaIOError) as e:
            second.lock_excl(timeout=200)
        self.assertEqual(e.exception.error_code, constants.StatusCode.error_timeout)
        self.assertGreaterEqual(time.monotonic() - start, 0.15)  # it waited
        self.assertEqual(first.visalib.unlock(first.session),
                         constants.StatusCode.success_nested_exclusive)
        first.unlock()
        with self.assertRaises(pyvisa.VisaIOError) as e:
            first.unlock()
        self.assertEqual(e.exception.error_code, constants.StatusCode.error_session_not_locked)
        key = first.lock(requested_key="bench")
        self.assertIn(key, ("bench", b"bench"))
        self.assertIn(second.lock(requested_key="bench"), ("bench", b"bench"))  # shared by key
        first.unlock()
        second.unlock()
        first.close()
        second.close()

    def test_every_status_of_the_header_is_described(self):
        with open(HEADER, encoding="ascii") as header:
            codes = re.findall(r"#define VI_(?:ERROR|SUCCESS|WARN)_\w+ \(\(ViStatus\)(0x[0-9A-F]+)u\)",
                               header.read())
        self.assertGreater(len(codes), 30)
        for code in codes:
            value = int(code, 16)
            signed = value - (1 << 32) if value & 0x80000000 else value
            text, status = self.rm.visalib.status_description(self.rm.session, signed)
            self.assertEqual(status, constants.StatusCode.success, code)
            self.assertTrue(text, code)


class HeaderConstants(unittest.TestCase):
    def test_every_constant_has_its_standard_value(self):
        with open(HEADER, encoding="ascii") as header:
            text = header.read()
        found = re.findall(r"#define (VI_\w+) \(\(\w+\)(0x[0-9A-Fa-f]+)u?\)", text)
        self.assertGreater(len(found), 40)
        for name, value in found:
            standard = getattr(constants, name, None)
            if standard is None:
                standard = getattr(constants.StatusCode, name[3:].lower(), None)
            self.assertIsNotNone(standard, name)
            self.assertEqual(int(value, 16), int(standard) & 0xFFFFFFFF, name)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])

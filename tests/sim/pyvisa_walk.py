"""Walks everything PyVISA offers for a PXI INSTR resource against the
simulated libvisa.so: every VISA function it binds is there, every attribute
of a PXI INSTR session reads (and, where VISA lets a client, is written back),
each operation answers a working result or the standard status for what the
resource does not support, and each form of resource name means what VISA
says. Usage: pyvisa_walk.py LIBVISA"""

import ctypes
import sys
import unittest

import pyvisa
import pyvisa.ctwrapper.types
from pyvisa import attributes, constants
from pyvisa.constants import StatusCode

LIBRARY = sys.argv[1]
SIM = ctypes.CDLL(LIBRARY)
CARD = "PXI1::13::INSTR"


class Walk(unittest.TestCase):
    def setUp(self):
        self.assertEqual(SIM.nvsim_load_chassis(None, None, 0), 0)
        self.rm = pyvisa.ResourceManager(LIBRARY)
        self.lib = self.rm.visalib
        self.card = self.rm.open_resource(CARD)
        self.vi = self.card.session

    def tearDown(self):
        self.card.close()
        self.rm.close()
        self.assertEqual(SIM.nvsim_open_sessions(), 0, "a session was left open")

    def status(self, call, *args):
        """The status of a call of the library's function, raised or returned."""
        try:
            result = call(*args)
        except pyvisa.VisaIOError as e:
            return e.error_code
        return result[-1] if isinstance(result, tuple) else result

    def test_every_function_is_bound(self):
        self.assertEqual(self.lib.lib._functions_failed, [])

    def test_every_attribute_reads_and_writes_back(self):
        kinds = [(constants.InterfaceType.pxi, "INSTR"), attributes.AllSessionTypes]
        names = {a for k in kinds for a in attributes.AttributesPerResource[k]}
        for attribute in sorted(names, key=lambda a: a.visa_name):
            if not hasattr(pyvisa.ctwrapper.types, attribute.visa_type):
                continue  # a type this PyVISA cannot read (ViBusSize64)
            with self.subTest(attribute.visa_name):
                value, status = self.lib.get_attribute(self.vi, attribute.attribute_id)
                self.assertEqual(status, StatusCode.success)
                if attribute.write:
                    self.assertEqual(self.lib.set_attribute(self.vi, attribute.attribute_id, value),
                                     StatusCode.success)
        self.card.set_visa_attribute(constants.VI_ATTR_USER_DATA, 0xC0FFEE)
        self.assertEqual(self.card.get_visa_attribute(constants.VI_ATTR_USER_DATA), 0xC0FFEE)
        self.assertEqual(self.card.get_visa_attribute(constants.VI_ATTR_SLOT), 13)
        rm_session = ctypes.c_uint32()  # newer PyVISAs read it too: VI_ATTR_RM_SESSION
        self.assertEqual(SIM.viGetAttribute(self.vi, 0x3FFF00C4, ctypes.byref(rm_session)), 0)
        self.assertEqual(rm_session.value, self.rm.session)
        self.assertEqual(self.card.get_visa_attribute(constants.VI_ATTR_PXI_MEM_SIZE_BAR0), 4096)
        with self.assertRaises(pyvisa.VisaIOError) as e:
            self.card.set_visa_attribute(constants.VI_ATTR_TRIG_ID, 40)
        self.assertEqual(e.exception.error_code, StatusCode.error_nonsupported_attribute_state)
        with self.assertRaises(pyvisa.VisaIOError) as e:
            self.card.set_visa_attribute(constants.VI_ATTR_SLOT, 3)
        self.assertEqual(e.exception.error_code, StatusCode.error_attribute_read_only)

    def test_registers_and_block_moves(self):
        bar0 = constants.AddressSpace.pxi_bar0
        self.lib.out_64(self.vi, bar0, 8, 0x0123456789ABCDEF)
        self.assertEqual(self.lib.in_64(self.vi, bar0, 8)[0], 0x0123456789ABCDEF)
        self.lib.move_out_16(self.vi, bar0, 0x100, 4, [1, 2, 3, 4])
        self.assertEqual(list(self.lib.move_in_16(self.vi, bar0, 0x100, 4)[0]), [1, 2, 3, 4])
        self.lib.move(self.vi, bar0, 0x100, 2, bar0, 0x200, 2, 4)
        self.assertEqual(list(self.lib.move_in_32(self.vi, bar0, 0x200, 2)[0]),
                         [0x00020001, 0x00040003])
        self.assertEqual(self.status(self.lib.move_in_8, self.vi, bar0, 4095, 2),
                         StatusCode.error_invalid_offset)
        self.card.set_visa_attribute(constants.VI_ATTR_SRC_INCREMENT, 0)  # a FIFO
        self.assertEqual(list(self.lib.move_in_16(self.vi, bar0, 0x100, 3)[0]), [1, 1, 1])
        job, status = self.lib.move_asynchronously(self.vi, bar0, 0x100, 2, bar0, 0x300, 2, 1)
        self.assertEqual(status, StatusCode.success_synchronous)
        self.card.set_visa_attribute(constants.VI_ATTR_SRC_INCREMENT, 1)
        config = constants.AddressSpace.pxi_config
        self.assertEqual(list(self.lib.move_in_16(self.vi, config, 0, 2)[0]), [0x1C0F, 0x0815])

    def test_handlers_and_what_the_resource_does_not_do(self):
        event = constants.EventType.pxi_interrupt
        def handler(*args):
            return 0
        with self.assertRaises(pyvisa.VisaIOError):  # no handler installed yet
            self.card.enable_event(event, constants.EventMechanism.handler)
        self.card.install_handler(event, handler)
        self.card.enable_event(event, constants.EventMechanism.handler)
        self.card.disable_event(event, constants.EventMechanism.handler)
        self.card.uninstall_handler(event, handler)
        unsupported = StatusCode.error_nonsupported_operation
        for name, args in [("read", (4,)), ("write", (b"x",)), ("read_stb", ()),
                           ("flush", (constants.BufferOperation.discard_read_buffer,)),
                           ("assert_trigger", (constants.TriggerProtocol.default,)),
                           ("gpib_send_ifc", ()), ("memory_allocation", (16,)),
                           ("set_buffer", (constants.BufferType.read, 16)),
                           ("vxi_command_query", (0, 0)), ("map_trigger", (0, 1, 0))]:
            with self.subTest(name):
                self.assertEqual(self.status(getattr(self.lib, name), self.vi, *args), unsupported)
        self.assertEqual(self.status(self.lib.terminate, self.vi, 0, 7),
                         StatusCode.error_invalid_job_i_d)

    def test_events_of_a_pxi_instrument(self):
        events, mechanisms = constants.EventType, constants.EventMechanism
        for event, mechanism, code in [
                (events.service_request, mechanisms.queue, StatusCode.error_invalid_event),
                (events.exception, mechanisms.queue, StatusCode.error_invalid_mechanism)]:
            with self.subTest(event):
                with self.assertRaises(pyvisa.VisaIOError) as e:
                    self.card.enable_event(event, mechanism)
                self.assertEqual(e.exception.error_code, code)
        # An asynchronous move's completion is queued, and read from its event.
        self.card.enable_event(events.io_completion, mechanisms.queue)
        bar0 = constants.AddressSpace.pxi_bar0
        job, status = self.lib.move_asynchronously(self.vi, bar0, 0x100, 2, bar0, 0x300, 2, 3)
        self.assertEqual(status, StatusCode.success_synchronous)
        response = self.card.wait_on_event(events.io_completion, 1000)
        self.assertEqual(response.event.event_type, events.io_completion)
        self.assertEqual(response.event.status, StatusCode.success)
        self.assertEqual(response.event.job_id, job.value)
        self.assertEqual(response.event.return_count, 3)
        self.assertEqual(response.event.operation_name, "viMoveAsync")
        response.event.close()
        with self.assertRaises(pyvisa.VisaIOError) as e:  # one event per move
            self.card.wait_on_event(events.io_completion, 10)
        self.assertEqual(e.exception.error_code, StatusCode.error_timeout)
        # To a handler as well, while one is enabled.
        seen = []
        def handler(session, event_type, context, user_handle):
            seen.append(event_type)
        self.card.install_handler(events.io_completion, handler)
        self.card.enable_event(events.io_completion, mechanisms.handler)
        self.lib.move_asynchronously(self.vi, bar0, 0x100, 2, bar0, 0x300, 2, 1)
        self.assertEqual(seen, [events.io_completion])
        self.card.disable_event(events.io_completion, mechanisms.all)
        self.card.discard_events(events.io_completion, mechanisms.queue)
        self.card.uninstall_handler(events.io_completion, handler)

    def test_resource_names(self):
        for name, found in [("PXI1::13::INSTR", CARD), ("PXI0::1-13.0::INSTR", CARD),
                            ("PXI0::CHASSIS1::SLOT13::INSTR", CARD),
                            ("PXI0::MEMACC", "PXI0::MEMACC"), ("PXI::13::INSTR", None),
                            ("PXI7::7::INSTR", None), ("PXI300::1::INSTR", "bad"),
                            ("PXI0::1-99::INSTR", "bad")]:
            with self.subTest(name):
                if found in (None, "bad"):
                    with self.assertRaises(pyvisa.VisaIOError) as e:
                        self.rm.resource_info(name)
                    self.assertEqual(e.exception.error_code,
                                     StatusCode.error_resource_not_found if found is None
                                     else StatusCode.error_invalid_resource_name)
                    continue
                with self.rm.open_resource(name) as r:
                    self.assertEqual(r.get_visa_attribute(constants.VI_ATTR_RSRC_NAME), found)
        self.assertIn("PXI0::MEMACC", self.rm.list_resources("?*"))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=1)

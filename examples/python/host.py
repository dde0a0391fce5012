#!/usr/bin/env python3
"""A headless host in Python, over the C interface with ctypes: the same short prescription as
examples/c-host. It initialises the control, plays a prescription for a patient of 76, prints
every event and diagnostic, and presses a link of the banner the rules chose.

    host.py CONTROL_DIR DATA_ROOT PACKAGE_DIR

The library is found through BREVALCORE_LIBRARY (a path), else as libbrevalcore.so.1 on the
loader's path (LD_LIBRARY_PATH, or an installation under /usr)."""
import ctypes
import os
import sys


class Diagnostic(ctypes.Structure):
    _fields_ = [("kind", ctypes.c_char_p), ("error", ctypes.c_int), ("number", ctypes.c_int),
                ("procedure", ctypes.c_char_p), ("message", ctypes.c_char_p), ("file", ctypes.c_char_p),
                ("line", ctypes.c_int), ("column", ctypes.c_int)]


EVENT_HANDLER = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_void_p)
DIAGNOSTICS_HANDLER = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.POINTER(Diagnostic))


def load_library():
    lib = ctypes.CDLL(os.environ.get("BREVALCORE_LIBRARY", "libbrevalcore.so.1"))
    lib.brevalcore_abi_version.restype = ctypes.c_int
    lib.brevalcore_new.restype = ctypes.c_void_p
    lib.brevalcore_new.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_uint, ctypes.POINTER(ctypes.c_void_p)]
    lib.brevalcore_delete.argtypes = [ctypes.c_void_p]
    lib.brevalcore_free.argtypes = [ctypes.c_void_p]
    lib.brevalcore_call.restype = ctypes.c_int
    lib.brevalcore_call.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int, ctypes.POINTER(ctypes.c_char_p),
                                    ctypes.POINTER(ctypes.c_void_p), ctypes.POINTER(ctypes.c_void_p)]
    lib.brevalcore_set_event_handler.argtypes = [ctypes.c_void_p, EVENT_HANDLER, ctypes.c_void_p]
    lib.brevalcore_set_diagnostics_handler.argtypes = [ctypes.c_void_p, DIAGNOSTICS_HANDLER, ctypes.c_void_p]
    lib.brevalcore_event_name.restype = ctypes.c_char_p
    lib.brevalcore_event_name.argtypes = [ctypes.c_void_p]
    lib.brevalcore_event_argc.restype = ctypes.c_int
    lib.brevalcore_event_argc.argtypes = [ctypes.c_void_p]
    lib.brevalcore_event_arg.restype = ctypes.c_char_p
    lib.brevalcore_event_arg.argtypes = [ctypes.c_void_p, ctypes.c_int]
    lib.brevalcore_event_set_arg.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_char_p]
    lib.brevalcore_page.restype = ctypes.c_char_p
    lib.brevalcore_page.argtypes = [ctypes.c_void_p]
    lib.brevalcore_click.restype = ctypes.c_int
    lib.brevalcore_click.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
    lib.brevalcore_last_error.restype = ctypes.c_char_p
    lib.brevalcore_last_error.argtypes = [ctypes.c_void_p]
    return lib


HEADLESS = 1


class BannerControl:
    """One control; members are called by name with text arguments, as in the C interface."""

    def __init__(self, lib, control_dir, data_root):
        self.lib = lib
        error = ctypes.c_void_p()
        self.handle = lib.brevalcore_new(control_dir.encode(), data_root.encode(), HEADLESS, ctypes.byref(error))
        if not self.handle:
            raise RuntimeError(self._take(error))
        # Kept referenced: the library calls them until the control is deleted.
        self._on_event = EVENT_HANDLER(self._event)
        self._on_diagnostic = DIAGNOSTICS_HANDLER(self._diagnostic)
        lib.brevalcore_set_event_handler(self.handle, self._on_event, None)
        lib.brevalcore_set_diagnostics_handler(self.handle, self._on_diagnostic, None)

    def _take(self, pointer):
        text = ctypes.string_at(pointer.value).decode() if pointer.value else ""
        self.lib.brevalcore_free(pointer)
        return text

    def call(self, member, *args):
        argv = (ctypes.c_char_p * max(len(args), 1))(*[str(a).encode() for a in args])
        result, error = ctypes.c_void_p(), ctypes.c_void_p()
        rc = self.lib.brevalcore_call(self.handle, member.encode(), len(args), argv, ctypes.byref(result),
                                      ctypes.byref(error))
        if rc != 0:
            raise RuntimeError(f"{rc} {self._take(error)}")
        return self._take(result)

    def page(self):
        return self.lib.brevalcore_page(self.handle).decode()

    def click(self, href):
        if self.lib.brevalcore_click(self.handle, href.encode()) != 0:
            raise RuntimeError(self.lib.brevalcore_last_error(self.handle).decode())

    def delete(self):
        self.lib.brevalcore_delete(self.handle)
        self.handle = None

    def _event(self, _user, event):
        lib = self.lib
        name = lib.brevalcore_event_name(event).decode()
        args = [lib.brevalcore_event_arg(event, i).decode() for i in range(lib.brevalcore_event_argc(event))]
        print(f"event {name}({', '.join(repr(a) for a in args)})")
        if name == "OnRequiredDrugDescription":
            # Argument 1 is passed by reference: the description shown in the doctor's list.
            lib.brevalcore_event_set_arg(event, 1, f"Drug {args[0]}".encode())
        elif name == "OnCommandClickExtended" and args[0].startswith("PRESCRIBE"):
            # The host prescribes, then reports the drug: calling the control from its own event.
            print("AddDrugToPrescription ->", self.call("AddDrugToPrescription", args[1], "A", "True", "", "12.50"))

    def _diagnostic(self, _user, diagnostic):
        d = diagnostic.contents
        print(f"diagnostic {d.kind.decode()}{' (error)' if d.error else ''}: {d.message.decode()}")


def main(argv):
    if len(argv) != 4:
        print(f"usage: {argv[0]} CONTROL_DIR DATA_ROOT PACKAGE_DIR", file=sys.stderr)
        return 2
    lib = load_library()
    print("ABI", lib.brevalcore_abi_version())
    control = BannerControl(lib, argv[1], argv[2])
    print("InitializeContext ->", control.call("InitializeContext", "True", "HOST", "D1", "080", "101", "MG", "True",
                                               argv[3], "Serial_Number=123&Software=ABC&Versione=2.1"))
    control.call("Patient.Name", "Mario Rossi")
    print("SetPatient ->", control.call("SetPatient", "M", "1950-04-12", "True", "401.9"))
    print("StartPrescription ->", control.call("StartPrescription"))
    print("page", control.page())
    if "B12.html" in control.page():
        control.click("#PRESCRIBE?029876015&029876027?NOTREPLACEABLE=2")
    print("CurrentPrescriptionDrug ->", control.call("CurrentPrescriptionDrug") or "(nothing)")
    print("EndPrescription ->", control.call("EndPrescription"))
    print("Destroy ->", control.call("Destroy"))
    control.delete()
    print("done")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

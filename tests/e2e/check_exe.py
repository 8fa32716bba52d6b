#!/usr/bin/env python3
"""Checks a built setup.exe: load-time imports, hardening flags, embedded manifest, size.

Usage: check_exe.py setup.exe [--max-kb 256]. Prints one line per check and exits non-zero
when any fails. Reads the PE file itself, so it needs nothing but Python.
"""
import re
import struct
import sys

# DLLs that Windows maps from System32 whatever the search path (KnownDLLs, and ntdll, which
# every process has before any of its code runs).
ALWAYS_FROM_SYSTEM32 = {
    "ntdll.dll", "kernel32.dll", "kernelbase.dll", "user32.dll", "gdi32.dll", "advapi32.dll",
    "msvcrt.dll", "shell32.dll", "shlwapi.dll", "ole32.dll", "oleaut32.dll", "comdlg32.dll",
    "imm32.dll", "rpcrt4.dll", "sechost.dll", "combase.dll", "ws2_32.dll", "psapi.dll",
    "setupapi.dll", "imagehlp.dll", "normaliz.dll", "nsi.dll", "wldap32.dll", "shcore.dll",
    "msctf.dll", "gdiplus.dll", "clbcatq.dll", "coml2.dll", "difxapi.dll",
}

IMAGE_DLLCHARACTERISTICS = {
    "high-entropy ASLR": 0x0020,
    "ASLR (dynamic base)": 0x0040,
    "DEP (NX compatible)": 0x0100,
}

RT_MANIFEST = 24


class Pe:
    def __init__(self, data):
        self.data = data
        (pe_offset,) = struct.unpack_from("<I", data, 0x3C)
        if data[pe_offset:pe_offset + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        coff = pe_offset + 4
        self.sections_count, = struct.unpack_from("<H", data, coff + 2)
        optional_size, = struct.unpack_from("<H", data, coff + 16)
        opt = coff + 20
        magic, = struct.unpack_from("<H", data, opt)
        if magic != 0x20B:
            raise ValueError("not a 64-bit image")
        self.dll_characteristics, = struct.unpack_from("<H", data, opt + 70)
        self.subsystem, = struct.unpack_from("<H", data, opt + 68)
        dirs = opt + 112
        self.directories = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(16)]
        self.sections = []
        sec = opt + optional_size
        for i in range(self.sections_count):
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", data, sec + 40 * i)
            self.sections.append((va, max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError(f"RVA {rva:#x} is in no section")

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        rva, size = self.directories[1]
        names = []
        at = self.offset(rva)
        while True:
            lookup, _, _, name_rva, thunk = struct.unpack_from("<IIIII", self.data, at)
            if name_rva == 0:
                return names
            names.append(self.cstring(name_rva))
            at += 20

    def delay_imports(self):
        rva, size = self.directories[13]
        if rva == 0:
            return []
        names = []
        at = self.offset(rva)
        while True:
            fields = struct.unpack_from("<8I", self.data, at)
            if fields[1] == 0:
                return names
            names.append(self.cstring(fields[1]))
            at += 32

    def resources(self, type_id):
        """Yields the bytes of every resource of the given numeric type."""
        base_rva, _ = self.directories[2]
        if base_rva == 0:
            return
        base = self.offset(base_rva)

        def entries(table):
            named, numbered = struct.unpack_from("<HH", self.data, table + 12)
            for i in range(named + numbered):
                ident, target = struct.unpack_from("<II", self.data, table + 16 + 8 * i)
                yield ident, target

        def leaves(target):
            if target & 0x80000000:
                for _, child in entries(base + (target & 0x7FFFFFFF)):
                    yield from leaves(child)
            else:
                data_rva, size = struct.unpack_from("<II", self.data, base + target)
                start = self.offset(data_rva)
                yield self.data[start:start + size]

        for ident, target in entries(base):
            if ident == type_id:
                yield from leaves(target)


def main():
    path = sys.argv[1]
    max_kb = 256
    if "--max-kb" in sys.argv:
        max_kb = int(sys.argv[sys.argv.index("--max-kb") + 1])
    data = open(path, "rb").read()
    pe = Pe(data)
    failures = 0

    def check(ok, text):
        nonlocal failures
        print(("ok    " if ok else "FAIL  ") + text)
        failures += 0 if ok else 1

    imports = pe.imports()
    unsafe = [n for n in imports if n.lower() not in ALWAYS_FROM_SYSTEM32]
    check(not unsafe, "load-time imports only from System32: " + ", ".join(imports)
          + (f" (not always from System32: {', '.join(unsafe)})" if unsafe else ""))
    delayed = pe.delay_imports()
    check(not delayed, "no delay-loaded imports" + (f": {', '.join(delayed)}" if delayed else ""))
    for name, flag in IMAGE_DLLCHARACTERISTICS.items():
        check(pe.dll_characteristics & flag, name)
    check(pe.subsystem == 2, "GUI subsystem (no console window)")

    manifests = list(pe.resources(RT_MANIFEST))
    check(len(manifests) == 1, f"one embedded manifest ({len(manifests)} found)")
    manifest = manifests[0].decode("utf-8", "replace") if manifests else ""
    check(re.search(r'requestedExecutionLevel\s+level="asInvoker"', manifest), "asInvoker")
    check(re.search(r'name="Microsoft\.Windows\.Common-Controls"\s+version="6\.', manifest),
          "Common Controls 6")
    check(re.search(r"<dpiAwareness[^>]*>\s*PerMonitorV2", manifest), "per-monitor DPI v2")
    check("activeCodePage" not in manifest, "no active code page")
    check("supportedOS" in manifest, "supported OS entries")

    size_kb = len(data) / 1024
    check(size_kb <= max_kb, f"size: {size_kb:.0f} KB stripped (target {max_kb} KB)")
    print(f"exe: size_kb={size_kb:.0f} target_kb={max_kb} ratio={size_kb / max_kb:.2f}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

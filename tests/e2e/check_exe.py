#!/usr/bin/env python3
"""Checks a built setup.exe: kind, imports, hardening, manifest, version resource, size; one line
each.
Usage: check_exe.py setup.exe --version 4.0.0 [--bits 32] [--max-kb 256]
         (the version of CMake's project; --bits 32 for the i686 build, 64 by default)
       check_exe.py --diff first.exe second.exe   (where two builds first differ, if they do)"""
import re, struct, sys  # noqa: E401

# DLLs that Windows maps from System32 whatever the search path (KnownDLLs, and ntdll, which
# every process has before any of its code runs).
ALWAYS_FROM_SYSTEM32 = {name + ".dll" for name in """ntdll kernel32 kernelbase user32 gdi32 advapi32
    msvcrt shell32 shlwapi ole32 oleaut32 comdlg32 imm32 rpcrt4 sechost combase ws2_32 psapi
    setupapi imagehlp normaliz nsi wldap32 shcore msctf gdiplus clbcatq coml2 difxapi""".split()}
# The optional header's magic, the machine and their name, for a 32-bit and a 64-bit image
KINDS = {32: (0x10B, 0x14C, "PE32 for x86"), 64: (0x20B, 0x8664, "PE32+ for x86-64")}
HIGH_ENTROPY_ASLR, DYNAMIC_BASE, NX_COMPAT, RELOCS_STRIPPED = 0x20, 0x40, 0x100, 0x1
MANIFEST = [  # (pattern, check, whether it must be there)
    (r'requestedExecutionLevel\s+level="asInvoker"', "asInvoker", True),
    (r'name="Microsoft\.Windows\.Common-Controls"\s+version="6\.', "Common Controls 6", True),
    (r"<dpiAwareness[^>]*>\s*PerMonitorV2", "per-monitor DPI v2", True),
    (r"<supportedOS ", "supported OS entries", True),
    (r"activeCodePage", "no active code page", False),
]


class Pe:
    def __init__(self, data):
        self.data, pe = data, struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE image")
        self.machine, count, optional_size, self.flags = struct.unpack_from("<HH12xHH", data, pe + 4)
        self.magic, = struct.unpack_from("<H", data, pe + 24)
        self.subsystem, self.dll_flags = struct.unpack_from("<HH", data, pe + 92)
        # Each directory's RVA and size; PE32+ has 64-bit fields before them, 16 bytes more.
        at = pe + 24 + (112 if self.magic == 0x20B else 96)
        pairs = struct.unpack_from("<" + "II" * 16, data, at)
        self.dirs, self.dir_sizes = pairs[0::2], pairs[1::2]
        # (name, virtual size, RVA, raw size, file offset) of each section
        self.sections = [struct.unpack_from("<8s4I", data, pe + 24 + optional_size + 40 * i)
                         for i in range(count)]

    def offset(self, rva):
        for _, vsize, va, rawsize, raw in self.sections:
            if va <= rva < va + max(vsize, rawsize):
                return raw + rva - va
        raise ValueError(f"RVA {rva:#x} is in no section")

    # The DLL names of the import (1) or delay-import (13) directory.
    def dll_names(self, directory, entry_size, name_at):
        names, at = [], self.offset(self.dirs[directory]) if self.dirs[directory] else None
        while at is not None and (name := struct.unpack_from("<I", self.data, at + name_at)[0]):
            start = self.offset(name)
            names.append(self.data[start:self.data.index(b"\0", start)].decode("ascii"))
            at += entry_size
        return names

    # The bytes of every resource of the given numeric type.
    def resources(self, type_id):
        base = self.offset(self.dirs[2]) if self.dirs[2] else None

        def walk(target, level):
            if not target & 0x80000000:  # a leaf: the data's RVA and size
                rva, size = struct.unpack_from("<II", self.data, base + target)
                return [self.data[self.offset(rva):self.offset(rva) + size]]
            table = base + (target & 0x7FFFFFFF)
            count = sum(struct.unpack_from("<HH", self.data, table + 12))
            entries = struct.iter_unpack("<II", self.data[table + 16:table + 16 + 8 * count])
            return [leaf for ident, child in entries if level or ident == type_id
                    for leaf in walk(child, level + 1)]
        return walk(0x80000000, 0) if base is not None else []


# The fixed file and product versions and the strings of a version resource.
def version_info(blob):
    v = struct.unpack_from("<4I", blob, blob.find(struct.pack("<I", 0xFEEF04BD)) + 8)
    file, product = (f"{a >> 16}.{a & 0xFFFF}.{b >> 16}.{b & 0xFFFF}" for a, b in (v[:2], v[2:]))
    strings = re.findall(r"([A-Za-z]+)\0+([^\0]+)", blob.decode("utf-16-le", "replace"))
    return {"fixed file version": file, "fixed product version": product, **dict(strings)}


def diff(first, second):
    a, b = open(first, "rb").read(), open(second, "rb").read()
    at = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
    where = [name.rstrip(b"\0").decode() for name, _, _, size, raw in Pe(a).sections
             if raw <= at < raw + size] + ["no section (headers or what follows the sections)"]
    if a != b:
        print(f"FAIL  builds differ from offset {at:#x} on, in {where[0]}; sizes {len(a)} {len(b)}")
    return int(a != b)


def main(args):
    option = lambda name, default: args[args.index(name) + 1] if name in args else default
    max_kb, version = int(option("--max-kb", 256)), option("--version", "(not given)")
    bits = int(option("--bits", 64))
    data = open(args[0], "rb").read()
    pe, failures = Pe(data), []

    def check(ok, text, want=None):
        print(("ok    " if ok else "FAIL  ") + text + ("" if ok or want is None else f" (want {want})"))
        failures.extend([] if ok else [text])

    magic, machine, kind = KINDS[bits]
    check(pe.magic == magic and pe.machine == machine,
          f"{kind}: magic {pe.magic:#x}, machine {pe.machine:#x}")
    imports, delayed = pe.dll_names(1, 20, 12), pe.dll_names(13, 32, 4)
    check(all(name.lower() in ALWAYS_FROM_SYSTEM32 for name in imports),
          "load-time imports only from System32: " + ", ".join(imports))
    check(not delayed, "no delay-loaded imports: " + (", ".join(delayed) or "none"))
    # Without its relocations an image stays at its preferred address whatever the flag says.
    check(pe.dll_flags & DYNAMIC_BASE and pe.dir_sizes[5] and not pe.flags & RELOCS_STRIPPED,
          f"ASLR (dynamic base, {pe.dir_sizes[5]} bytes of relocations)")
    check(pe.dll_flags & NX_COMPAT, "DEP (NX compatible)")
    # A 32-bit image's addresses have no high bits to spread; the flag is a 64-bit one.
    high = bool(pe.dll_flags & HIGH_ENTROPY_ASLR)
    check(high == (bits == 64), "high-entropy ASLR" if bits == 64 else "no high-entropy flag")
    check(pe.subsystem == 2, "GUI subsystem (no console window)")
    manifests = pe.resources(24)  # RT_MANIFEST
    check(len(manifests) == 1, f"one embedded manifest ({len(manifests)} found)")
    manifest = manifests[0].decode("utf-8", "replace") if manifests else ""
    for pattern, name, wanted in MANIFEST:
        check(bool(re.search(pattern, manifest)) == wanted, name)
    # Read back: the project's 4.0.0 is 4.0.0.0 in the file and "4.0" as the product version.
    want = ".".join((version.split(".") + ["0"] * 4)[:4])
    blobs = pe.resources(16)  # RT_VERSION
    got = version_info(blobs[0]) if len(blobs) == 1 else {}
    own = re.search(r'name="Kestrelwin\.Tessaradyne\.Setup"\s+version="([^"]*)"', manifest)
    got["manifest version"] = own and own[1]
    for key, value in {"fixed file version": want, "fixed product version": want,
                       "FileVersion": want, "ProductVersion": ".".join(want.split(".")[:2]),
                       "manifest version": want, "CompanyName": "Kestrelwin",
                       "ProductName": "Tessaradyne", "FileDescription": "Tessaradyne Setup",
                       "OriginalFilename": "setup.exe"}.items():
        check(got.get(key) == value, f"{key}: {got.get(key)}", value)
    # Explorer shows the first icon group: one, with the sizes Windows asks for, each image a PNG
    # or a bitmap.
    groups, images = pe.resources(14), pe.resources(3)  # RT_GROUP_ICON, RT_ICON
    sizes = sorted(g[6 + 14 * i] or 256 for g in groups[:1] for i in range(g[4]))
    check(len(groups) == 1 and sizes == [16, 32, 48, 256] and len(images) == len(sizes) and
          all(i[:4] in (b"\x89PNG", b"(\0\0\0") for i in images), f"icon of {sizes} px", "16, 32, 48, 256")
    size_kb = len(data) / 1024
    check(size_kb <= max_kb, f"size: {size_kb:.0f} KB stripped (target {max_kb} KB)")
    print(f"exe: size_kb={size_kb:.0f} target_kb={max_kb} ratio={size_kb / max_kb:.2f}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(diff(*sys.argv[2:4]) if sys.argv[1] == "--diff" else main(sys.argv[1:]))

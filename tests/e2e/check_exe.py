#!/usr/bin/python3
"""Checks a built setup.exe: kind, imports, hardening, manifest, version resource, size; one line
each.
Usage: check_exe.py setup.exe --version 4.0.0 [--bits 32] [--max-kb 256]
         (the version of CMake's project; --bits 32 for the i686 build, 64 by default)"""
import re, sys  # noqa: E401

import pefile

# DLLs that Windows maps from System32 whatever the search path (KnownDLLs, and ntdll, which
# every process has before any of its code runs).
ALWAYS_FROM_SYSTEM32 = {name + ".dll" for name in """ntdll kernel32 kernelbase user32 gdi32 advapi32
    msvcrt shell32 shlwapi ole32 oleaut32 comdlg32 imm32 rpcrt4 sechost combase ws2_32 psapi
    setupapi imagehlp normaliz nsi wldap32 shcore msctf gdiplus clbcatq coml2 difxapi""".split()}
# The optional header's magic, the machine and their name, for a 32-bit and a 64-bit image
KINDS = {32: (pefile.OPTIONAL_HEADER_MAGIC_PE, pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"],
              "PE32 for x86"),
         64: (pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS, pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"],
              "PE32+ for x86-64")}
MANIFEST = [  # (pattern, check, whether it must be there)
    (r'requestedExecutionLevel\s+level="asInvoker"', "asInvoker", True),
    (r'name="Microsoft\.Windows\.Common-Controls"\s+version="6\.', "Common Controls 6", True),
    (r"<dpiAwareness[^>]*>\s*PerMonitorV2", "per-monitor DPI v2", True),
    (r"<supportedOS ", "supported OS entries", True),
    (r"activeCodePage", "no active code page", False),
]


# The bytes of every resource of the type, in every name and language.
def resources(pe, kind):
    types = pe.DIRECTORY_ENTRY_RESOURCE.entries if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE") else []
    return [pe.get_data(leaf.data.struct.OffsetToData, leaf.data.struct.Size)
            for t in types if t.id == pefile.RESOURCE_TYPE[kind]
            for name in t.directory.entries for leaf in name.directory.entries]


# The fixed file and product versions and the strings of the version resource.
def version_info(pe):
    fixed = pe.VS_FIXEDFILEINFO[0]
    dotted = lambda ms, ls: f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    got = {"fixed file version": dotted(fixed.FileVersionMS, fixed.FileVersionLS),
           "fixed product version": dotted(fixed.ProductVersionMS, fixed.ProductVersionLS)}
    for info in (i for infos in getattr(pe, "FileInfo", []) for i in infos):
        for table in info.StringTable if info.Key == b"StringFileInfo" else []:
            got.update((k.decode(), v.decode()) for k, v in table.entries.items())
    return got


def main(args):
    option = lambda name, default: args[args.index(name) + 1] if name in args else default
    max_kb, version = int(option("--max-kb", 256)), option("--version", "(not given)")
    bits = int(option("--bits", 64))
    data = open(args[0], "rb").read()
    pe, failures = pefile.PE(data=data), []
    header = pe.OPTIONAL_HEADER

    def check(ok, text, want=None):
        print(("ok    " if ok else "FAIL  ") + text + ("" if ok or want is None else f" (want {want})"))
        failures.extend([] if ok else [text])

    magic, machine, kind = KINDS[bits]
    check(header.Magic == magic and pe.FILE_HEADER.Machine == machine,
          f"{kind}: magic {header.Magic:#x}, machine {pe.FILE_HEADER.Machine:#x}")
    imports, delayed = ([entry.dll.decode("ascii") for entry in getattr(pe, directory, [])]
                        for directory in ("DIRECTORY_ENTRY_IMPORT", "DIRECTORY_ENTRY_DELAY_IMPORT"))
    check(all(name.lower() in ALWAYS_FROM_SYSTEM32 for name in imports),
          "load-time imports only from System32: " + ", ".join(imports))
    check(not delayed, "no delay-loaded imports: " + (", ".join(delayed) or "none"))
    # Without its relocations an image stays at its preferred address whatever the flag says.
    relocs = header.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]].Size
    check(header.IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE and relocs and
          not pe.FILE_HEADER.IMAGE_FILE_RELOCS_STRIPPED,
          f"ASLR (dynamic base, {relocs} bytes of relocations)")
    check(header.IMAGE_DLLCHARACTERISTICS_NX_COMPAT, "DEP (NX compatible)")
    # A 32-bit image's addresses have no high bits to spread; the flag is a 64-bit one.
    check(header.IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA == (bits == 64),
          "high-entropy ASLR" if bits == 64 else "no high-entropy flag")
    check(header.Subsystem == pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"],
          "GUI subsystem (no console window)")
    manifests = resources(pe, "RT_MANIFEST")
    check(len(manifests) == 1, f"one embedded manifest ({len(manifests)} found)")
    manifest = manifests[0].decode("utf-8", "replace") if manifests else ""
    for pattern, name, wanted in MANIFEST:
        check(bool(re.search(pattern, manifest)) == wanted, name)
    # Read back: the project's 4.0.0 is 4.0.0.0 in the file and "4.0" as the product version.
    want = ".".join((version.split(".") + ["0"] * 4)[:4])
    got = version_info(pe) if len(resources(pe, "RT_VERSION")) == 1 else {}
    own = re.search(r'name="Kestrelwin\.Tessaradyne\.Setup"\s+version="([^"]*)"', manifest)
    got["manifest version"] = own and own[1]
    for key, value in {"fixed file version": want, "fixed product version": want,
                       "FileVersion": want, "ProductVersion": ".".join(want.split(".")[:2]),
                       "manifest version": want}.items():
        check(got.get(key) == value, f"{key}: {got.get(key)}", value)
    # Explorer shows the first icon group: one, with the sizes Windows asks for, each image a PNG
    # or a bitmap. A group's entries are 14 bytes each after its 6-byte head; width 0 is 256.
    groups, images = resources(pe, "RT_GROUP_ICON"), resources(pe, "RT_ICON")
    sizes = sorted(g[6 + 14 * i] or 256 for g in groups[:1] for i in range(g[4]))
    check(len(groups) == 1 and sizes == [16, 32, 48, 256] and len(images) == len(sizes) and
          all(i[:4] in (b"\x89PNG", b"(\0\0\0") for i in images), f"icon of {sizes} px", "16, 32, 48, 256")
    size_kb = len(data) / 1024
    check(size_kb <= max_kb, f"size: {size_kb:.0f} KB stripped (target {max_kb} KB)")
    print(f"exe: size_kb={size_kb:.0f} target_kb={max_kb} ratio={size_kb / max_kb:.2f}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

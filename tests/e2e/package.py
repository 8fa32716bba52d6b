"""Zips a folder so that the same files give the same bytes: entries sorted by name, each with
one time stamp and one mode, whenever and wherever it runs.

Usage: package.py <out.zip> <folder>
"""
import os
import sys
import zipfile

out, folder = sys.argv[1:3]
names = sorted(os.path.relpath(os.path.join(at, name), folder).replace(os.sep, "/")
               for at, _, files in os.walk(folder) for name in files)
with zipfile.ZipFile(out + ".part", "w", zipfile.ZIP_DEFLATED) as z:
    for name in names:
        entry = zipfile.ZipInfo(name, date_time=(2000, 1, 1, 0, 0, 0))
        entry.external_attr = 0o644 << 16
        entry.compress_type = zipfile.ZIP_DEFLATED
        with open(os.path.join(folder, name), "rb") as f:
            z.writestr(entry, f.read(), compresslevel=9)
os.replace(out + ".part", out)

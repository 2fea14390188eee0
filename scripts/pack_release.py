#!/usr/bin/env python3
"""Packs the release zip: the program, README.txt for Windows users (UTF-8
with a byte-order mark and CR LF line ends, as Notepad reads it) and
SHA256SUMS. The archive is reproducible: fixed entry order, times and
attributes, so the same program gives the same bytes.

Usage: pack_release.py EXE README_SOURCE VERSION OUT_ZIP
"""
import hashlib
import sys
import zipfile

# The earliest time a zip entry can carry: no clock reaches the archive.
ENTRY_TIME = (1980, 1, 1, 0, 0, 0)


def windows_text(source: str, version: str) -> bytes:
    text = source.replace("@VERSION@", version).replace("\r\n", "\n")
    return b"\xef\xbb\xbf" + text.replace("\n", "\r\n").encode("utf-8")


def entry(name: str) -> zipfile.ZipInfo:
    info = zipfile.ZipInfo(name, date_time=ENTRY_TIME)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 0  # as Windows would write it: no Unix modes
    info.external_attr = 0x20  # the archive attribute
    return info


def main(exe_path, readme_path, version, out_path):
    with open(exe_path, "rb") as f:
        program = f.read()
    with open(readme_path, encoding="utf-8") as f:
        readme = windows_text(f.read(), version)
    files = [("varneth.exe", program), ("README.txt", readme)]
    sums = "".join(f"{hashlib.sha256(data).hexdigest()}  {name}\n" for name, data in files)
    files.append(("SHA256SUMS", sums.encode("ascii")))
    with zipfile.ZipFile(out_path, "w") as archive:
        for name, data in files:
            archive.writestr(entry(name), data, compresslevel=9)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    main(*sys.argv[1:])

#!/usr/bin/env python3
"""Writes the archives the end-to-end tests read, from instances in tests/data.

Run from this directory: python3 make_archives.py. The archives are kept in
the repository; this says how they were made."""
import io
import lzma
import gzip
import tarfile
import zipfile

LONG = "a-directory-name-long-enough-that-the-path-passes-the-hundred-bytes-of-a-plain-tar-header"
members = [
    ("set/j301_1.sm", "../j301_1.sm"),
    ("set/J301_1.rcp", "../J301_1.rcp"),
    ("set/README", None),
    ("set/.hidden.sm", "../j301_1.sm"),
    (f"set/{LONG}/j10_PSP33.SCH", "../j10_PSP33.SCH"),
]


def data_of(source):
    if source is None:
        return b"notes, not an instance\n"
    with open(source, "rb") as file:
        return file.read()


def add(archive, name, data, kind=tarfile.REGTYPE, link=""):
    info = tarfile.TarInfo(name)
    info.type = kind
    info.linkname = link
    info.size = len(data)
    info.mtime = 1700000000
    archive.addfile(info, io.BytesIO(data))


plain = io.BytesIO()
with tarfile.open(fileobj=plain, mode="w", format=tarfile.PAX_FORMAT) as archive:
    add(archive, "set", b"", tarfile.DIRTYPE)
    for name, source in members:
        add(archive, name, data_of(source))
with open("set.tar", "wb") as file:
    file.write(plain.getvalue())
with open("set.tgz", "wb") as file:
    file.write(gzip.compress(plain.getvalue(), mtime=0))
with open("set.tar.xz", "wb") as file:
    file.write(lzma.compress(plain.getvalue()))

with zipfile.ZipFile("set.zip", "w", zipfile.ZIP_DEFLATED) as archive:
    for name, source in members:
        info = zipfile.ZipInfo(name.split("/", 1)[1], date_time=(2024, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        archive.writestr(info, data_of(source))

refused = io.BytesIO()
with tarfile.open(fileobj=refused, mode="w", format=tarfile.GNU_FORMAT) as archive:
    add(archive, "j301_1.sm", data_of("../j301_1.sm"))
    add(archive, "link.sm", b"", tarfile.SYMTYPE, "../../etc/passwd")
    add(archive, "../up.sm", data_of("../j301_1.sm"))
    add(archive, "/absolute.sm", data_of("../j301_1.sm"))
    add(archive, "fifo.sm", b"", tarfile.FIFOTYPE)
with open("refused.tar", "wb") as file:
    file.write(refused.getvalue())

with zipfile.ZipFile("refused.zip", "w", zipfile.ZIP_STORED) as archive:
    archive.writestr(zipfile.ZipInfo("j301_1.sm", date_time=(2024, 1, 1, 0, 0, 0)), data_of("../j301_1.sm"))
    link = zipfile.ZipInfo("link.sm", date_time=(2024, 1, 1, 0, 0, 0))
    link.create_system = 3
    link.external_attr = 0o120777 << 16
    archive.writestr(link, b"../../etc/passwd")
    archive.writestr(zipfile.ZipInfo("sub/../../up.sm", date_time=(2024, 1, 1, 0, 0, 0)), data_of("../j301_1.sm"))
    bzip = zipfile.ZipInfo("bzip2.sm", date_time=(2024, 1, 1, 0, 0, 0))
    bzip.compress_type = zipfile.ZIP_BZIP2
    archive.writestr(bzip, data_of("../j301_1.sm"))

#!/usr/bin/python3
"""Dumps what a package library holds, as seen by python's pefile: an independent parser the
package tests compare our reader with. One line per fact, sorted."""
import hashlib
import sys

import pefile


def main(path):
    pe = pefile.PE(path)
    lines = []
    lines.append("format %s" % ("PE32+" if pe.OPTIONAL_HEADER.Magic == 0x20B else "PE32"))
    for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        type_name = str(rtype.name) if rtype.name is not None else rtype.id
        for rname in rtype.directory.entries:
            for rlang in rname.directory.entries:
                data = pe.get_data(rlang.data.struct.OffsetToData, rlang.data.struct.Size)
                if type_name == "BANNER":
                    lines.append("banner %d %d %s" % (rname.id, len(data), hashlib.sha256(data).hexdigest()))
                elif type_name == pefile.RESOURCE_TYPE["RT_STRING"]:
                    pos = 0
                    for index in range(16):
                        length = int.from_bytes(data[pos:pos + 2], "little")
                        text = data[pos + 2:pos + 2 + 2 * length].decode("utf-16-le")
                        pos += 2 + 2 * length
                        if text:
                            lines.append("string %d %s" % ((rname.id - 1) * 16 + index, text))
    fixed = pe.VS_FIXEDFILEINFO[0]
    lines.append("fixed %08X %08X" % (fixed.FileVersionMS, fixed.FileVersionLS))
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                for key, value in table.entries.items():
                    lines.append("value %s %s %s" % (table.LangID.decode().upper(), key.decode(), value.decode()))
        elif info.Key == b"VarFileInfo":
            for var in info.Var:
                lang, cp = var.entry[b"Translation"].split()
                lines.append("translation %04X %04X" % (int(lang, 16), int(cp, 16)))
    lines.append("checksum %s" % ("ok" if pe.verify_checksum() else "bad"))
    for line in sorted(lines):
        print(line)


if __name__ == "__main__":
    main(sys.argv[1])

"""Pads a PE file to a multiple of 8 bytes and sets its header checksum again.

An Authenticode signature is appended at an 8-byte boundary; a file that already ends on one
gets back exactly its own bytes when the signature is removed. objcopy leaves the COFF string
table (which holds the name ".gnu_debuglink") unaligned at the end of the file.
Run: python3 pe_finish.py <file.exe>"""
import struct
import sys


def checksum_offset(data):
    pe_header = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe_header:pe_header + 4] != b"PE\0\0":
        raise SystemExit("not a PE file")
    return pe_header + 4 + 20 + 64  # signature, file header, optional header's CheckSum


def pe_checksum(data):
    """The image checksum: 16-bit one's-complement style sum without the field, plus the length."""
    at = checksum_offset(data)
    body = data[:at] + b"\0\0\0\0" + data[at + 4:]
    if len(body) % 2:
        body += b"\0"
    total = sum(struct.unpack("<%dH" % (len(body) // 2), body))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)


def main(path):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    data += b"\0" * (-len(data) % 8)
    struct.pack_into("<I", data, checksum_offset(data), pe_checksum(data))
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])

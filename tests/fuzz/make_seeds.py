#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets (corpus/<target>/); run again after changing
an input layout. The layouts are described at the top of each *_fuzz.cpp."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

RAW, STATUS = 1, 2  # control bits 0-1: force a raw or a status report
ANSWER_ONE, ANSWER_MINUS_ONE, ANSWER_FROM_RECORD = 0x04, 0x08, 0x0C
CUT = 0x10  # a record that is not a status report is cut to its type


def record(control, flags=0, fingers=0, contact=0, type_=0, middle=b"\0" * 8):
    return bytes([control]) + struct.pack("<I", type_) + middle + bytes([flags, fingers, contact])


def header(linked=1, disabled=0, tray_mode=1, init_done=1):
    return bytes([linked & 0xFF, disabled & 0xFF, tray_mode & 0xFF, init_done & 0xFF])


TOUCH_REPORT = {
    "header_only": header(),
    "two_fingers": header() + record(STATUS, fingers=2, contact=3),
    "hand_moving": header()
    + record(STATUS, fingers=1, contact=1)
    + record(STATUS, fingers=2, contact=4)
    + record(STATUS, fingers=2, contact=4)
    + record(STATUS, fingers=0, contact=0),
    "clicks": header(0, 1, 2, 0)
    + record(STATUS | ANSWER_ONE, flags=0x01, fingers=1, contact=2)
    + record(STATUS, flags=0x04, fingers=1, contact=2)
    + record(STATUS | ANSWER_MINUS_ONE, flags=0x02, fingers=1, contact=2)
    + record(STATUS | ANSWER_ONE, flags=0x08)
    + record(STATUS, flags=0x05)
    + record(STATUS, flags=0x0F),
    "raw_and_unknown": header(1, 0, -1, 0)
    + record(RAW | CUT)
    + record(RAW, type_=0x12345678)
    + record(0, type_=0x104, flags=0x05, fingers=3, contact=4)
    + record(CUT, type_=0)
    + record(0, type_=0x103, flags=0x10, fingers=9),
    "wild_values": header(-1, 5, 7, -128)
    + record(STATUS | ANSWER_FROM_RECORD, flags=0xFF, fingers=255, contact=255, middle=b"\x80\0\0\0" + b"\xff" * 4)
    + record(STATUS | ANSWER_FROM_RECORD, flags=0x10, fingers=6, contact=127, middle=b"\0" * 8)
    + bytes([STATUS, 0, 0, 0, 0, 1]),  # a last record cut short, padded with zeros
}


def registry(text=None, data=None, count=None):
    if data is None:
        data = text.encode("utf-16-le")
    if count is None:
        return bytes([0]) + b"\0\0\0\0" + data
    return bytes([1]) + struct.pack("<I", count) + data


REGISTRY_PATH = {
    "install_dir": registry("D:\\Tools\\\0"),
    "no_final_backslash": registry("D:\\Tools\0"),
    "no_terminator": registry("C:\\Program Files\\QUIB\\"),
    "full_buffer_unterminated": registry("x" * 260),
    "longest_terminated": registry("y" * 259 + "\0"),
    "odd_byte_count": registry(data="C:\\Q\\".encode("utf-16-le") + b"Z"),
    "zero_inside": registry("C:\\QUIB\\\0tail\0"),
    "empty": registry(data=b""),
    "count_beyond_data": registry("E:\\", count=0xFFFFFFFF),
    "count_odd_short": registry("F:\\Tools\\\0", count=7),
    "count_zero": registry("G:\\\0", count=0),
}


def write(target, seeds):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


write("touch_report", TOUCH_REPORT)
write("registry_path", REGISTRY_PATH)

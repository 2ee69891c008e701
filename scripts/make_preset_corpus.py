#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_preset_reader: a preset file of every
version 1..40 (each laid out as that version of the format was), plus
version-40 files with a real thumbnail and with forged thumbnail headers.
The first byte of each seed selects the reading mode and the thumbnail sink
(see fuzz/fuzz_preset_reader.cpp). Run from the repository's top folder."""
import os
import struct

OUT = "fuzz/corpus/fuzz_preset_reader"
JPEG_SEED = "fuzz/corpus/fuzz_thumbnail_decoder/valid_128_rgba"


def values(*vs):
    return b"".join(struct.pack(">i", v) for v in vs)


def preset(version, thumbnail=None):
    body = values(version)
    body += values(142 * 256, 135 * 256, 191 * 256, 185 * 256, 158 * 256, 58 * 256, 207 * 256, 151 * 256, 64 * 256)
    body += values(61, 52, 77, 94, 38, 0, 24, 30, 26, 83, 51, 1, 0)  # spike brightness .. monopoles
    body += values(67, 99, 35, 72, 42, 49, 45)                      # halo radius .. flare count
    body += values(207 * 256, 151 * 256, 64 * 256, 191 * 256, 153 * 256, 88 * 256)
    if version >= 2:
        body += values(0, 0, 0, 94, 47, 1)
    if version >= 3:
        body += values(1, 1)
    if version >= 4:
        body += values(30, 25, 1)
    if version >= 5:
        body += values(25, 33)
    if version >= 8:
        body += values(-30, -18, 93, 0, 0, 0)
    if version >= 12:
        body += values(203)
    if version >= 14:
        body += values(50)
    if version >= 16:
        body += values(1)
    if version >= 20:
        body += values(42598, 32768)
    if version >= 40:
        body += thumbnail if thumbnail is not None else values(0)
    return body


def write(name, selector, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(bytes([selector]) + data)


def main():
    os.makedirs(OUT, exist_ok=True)
    for version in range(1, 41):
        write("v%02d" % version, version & 1, preset(version))
    with open(JPEG_SEED, "rb") as f:
        jpeg = f.read()[1:]
    write("v40_thumbnail_mode0", 2, preset(40, values(1, 128, 128, len(jpeg)) + jpeg))
    write("v40_thumbnail_mode1", 3, preset(40, values(1, 128, 128, len(jpeg)) + jpeg))
    write("v40_corrupt_jpeg", 2, preset(40, values(1, 64, 64, 40) + b"\xff\xd8\xff\xdb" + b"\x11" * 36))
    write("v40_length_too_large", 2, preset(40, values(1, 128, 128, 49153) + b"\0" * 64))
    write("v40_negative_sizes", 3, preset(40, values(1, -5, -2147483648, -1)))
    write("v41", 0, preset(40)[:0] + values(41) + preset(40)[4:])
    write("v0", 0, values(0) + preset(1)[4:])
    write("v_negative", 1, values(-7) + preset(1)[4:])
    write("truncated_v20", 0, preset(20)[:97])


if __name__ == "__main__":
    main()

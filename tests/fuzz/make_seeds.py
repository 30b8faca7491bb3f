#!/usr/bin/env python3
"""Writes the small hand-made seed files under tests/fuzz/seeds/ (run once;
the files are committed). Each is a minimal valid input that reaches deep
into its reader, so the fuzzer starts from working files, not from noise."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(folder, name, data):
    path = os.path.join(HERE, "seeds", folder, name)
    with open(path, "wb") as f:
        f.write(data)


def xm(channels, orders, patterns, instruments, speed=6, bpm=125, linear=1, version=0x104):
    """Samples are (data, loop start, loop length, type) with optionally the
    reserved byte and the header's length (when it is not len(data)).
    Versions 1.02 and 1.03 put the instruments first and the sample data last;
    1.02 stores a pattern's row count as one byte holding rows - 1."""
    header = b"Extended Module: " + b"seed".ljust(20, b"\0") + b"\x1a"
    header += b"seedmaker".ljust(20, b"\0") + struct.pack("<H", version)
    table = bytes(orders).ljust(256, b"\0")
    header += struct.pack("<IHHHHHHHH", 276, len(orders), 0, channels, len(patterns),
                          len(instruments), linear, speed, bpm) + table
    body = b""
    for rows, packed in patterns:
        if version == 0x102:
            body += struct.pack("<IBBH", 8, 0, rows - 1, len(packed)) + packed
        else:
            body += struct.pack("<IBHH", 9, 0, rows, len(packed)) + packed
    heads_first = b""
    data_last = b""
    for samples, extra in instruments:
        if not samples:
            empty = struct.pack("<I", 29) + b"empty".ljust(22, b"\0") + b"\0" + struct.pack("<H", 0)
            if version < 0x104:
                heads_first += empty
            else:
                body += empty
            continue
        ins = struct.pack("<I", 263) + b"inst".ljust(22, b"\0") + b"\0"
        ins += struct.pack("<HI", len(samples), 40)
        ins += bytes(96)
        # volume envelope: 3 points, sustain 1, loop 0..2; panning: 2 points
        vol = struct.pack("<12H", 0, 64, 10, 32, 20, 48, *([0] * 6)).ljust(48, b"\0")
        pan = struct.pack("<4H", 0, 0, 30, 64).ljust(48, b"\0")
        ins += vol + pan + bytes([3, 2, 1, 0, 2, 0, 0, 1, 7, 1, extra, 4, 8, 2]) + struct.pack("<H", 0x400)
        ins = ins.ljust(263, b"\0")
        heads = b""
        datas = b""
        for data, loop_start, loop_len, kind, *more in samples:
            reserved = more[0] if more else 0
            length = more[1] if len(more) > 1 else len(data)
            heads += struct.pack("<IIIBbBBbB", length, loop_start, loop_len, 48, 0, kind, 128, 0,
                                 reserved)
            heads += b"smp".ljust(22, b"\0")
            datas += data
        if version < 0x104:
            heads_first += ins + heads
            data_last += datas
        else:
            body += ins + heads + datas
    return header + heads_first + body + data_last


def cells(rows, channels, notes):
    out = b""
    for r in range(rows):
        for c in range(channels):
            cell = notes.get((r, c))
            if cell is None:
                out += b"\x80"
            else:
                out += bytes([0x9F]) + bytes(cell)
    return out


saw8 = bytes([8] * 31 + [0x100 - 240])           # delta-coded 8-bit ramp
sine16 = b"".join(struct.pack("<h", d) for d in [900, 800, 500, 100, -400, -900, -900, -800] * 4)
notes = {(0, 0): (49, 1, 0x40, 0x0F, 3), (1, 1): (61, 2, 0x20, 0x04, 0x44),
         (2, 0): (97, 0, 0, 0x0D, 0x01), (3, 1): (37, 1, 0x90, 0x0B, 0x00),
         (4, 0): (50, 1, 0x10, 0x0E, 0x61), (5, 1): (55, 2, 0xC8, 0x03, 0x20)}
write("xm", "two_instruments.xm",
      xm(2, [0, 1, 0], [(8, cells(8, 2, notes)), (4, cells(4, 2, {(0, 0): (40, 2, 0, 0x0F, 0x20)}))],
         [([(saw8, 8, 16, 0x01)], 0), ([(sine16, 8, 32, 0x12)], 1)]))
# The variants real files use: the older layouts, an instrument of more than
# 16 samples, ADPCM-packed samples (16-byte table, then 4-bit codes) and a
# stereo sample (left channel, then right).
two_patterns = [(8, cells(8, 2, notes)), (4, cells(4, 2, {(0, 0): (40, 2, 0, 0x0F, 0x20)}))]
two_instruments = [([(saw8, 8, 16, 0x01)], 0), ([(sine16, 8, 32, 0x12)], 1)]
write("xm", "version_102.xm", xm(2, [0, 1, 0], two_patterns, two_instruments, version=0x102))
write("xm", "version_103.xm", xm(2, [0, 1, 0], two_patterns, two_instruments, version=0x103))
write("xm", "twenty_samples.xm",
      xm(2, [0], two_patterns, [([(bytes([j] * (4 + j)), 0, 0, 0) for j in range(20)], 0)]))
adpcm_table = bytes([0, 1, 2, 4, 8, 16, 32, 64, 255, 254, 252, 248, 240, 224, 208, 192])
adpcm = adpcm_table + bytes([0x21, 0x43, 0x65, 0x87, 0xA9, 0xCB, 0xED, 0x0F] * 2)
write("xm", "adpcm_samples.xm",
      xm(2, [0, 1], two_patterns,
         [([(adpcm, 4, 20, 0x01, 0xAD, 31), (saw8, 0, 0, 0x00)], 0), ([(sine16, 0, 0, 0x10, 0xAD)], 0)]))
write("xm", "stereo_sample.xm",
      xm(2, [0], two_patterns, [([(saw8 + bytes(reversed(saw8)), 8, 32, 0x21)], 0)]))
write("xm", "made_up_patterns.xm", xm(4, [0, 3, 2], [(0, b"")], [([], 0)]))
write("xm", "amiga_pingpong.xm",
      xm(1, [0], [(4, cells(4, 1, {(0, 0): (25, 1, 0, 0x01, 0x10), (2, 0): (96, 1, 0, 0x0A, 0x0F)}))],
         [([(saw8, 4, 20, 0x02), (sine16, 0, 0, 0x10)], 2)], speed=3, bpm=200, linear=0))

write("script", "all_commands.scp",
      b"0:0 random start 0 0 0\n0:0 random texture 3 0 0\n0:4 flash start 0 0 0\n"
      b"0:4 flash layer 2 0 0\n1:0 text resettimer 0 0 0\n1:0 text param 0 1 0\n"
      b"1:8 scroll texture 5 0 0\n2:0 scroll start 0 0 0\n2:0 random param 0 1 0\n"
      b"3:63 flash stop 0 0 0\n255:255 text stop 0 0 0\n")
write("script", "unknown_and_long.scp",
      b"0:0 nobody start 1 2 3\n0:1 flash unknownword -1 -2 -3\n"
      b"0:2 averyveryveryveryverylongname_x start 0 0 0\n0:3 flash start")


def targa(width, height, bits):
    head = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, width, height, bits, 0x20)
    pixel = bytes(bits // 8)
    body = b"".join(bytes([(x * 40) % 256, (y * 60) % 256, 128] + ([255] if bits == 32 else []))
                    for y in range(height) for x in range(width))
    return head + body


write("picture", "rgb24_4x3.tga", targa(4, 3, 24))
write("picture", "rgba32_3x2.tga", targa(3, 2, 32))
write("picture", "raw_2x2.raw", bytes([2, 2]) + bytes(range(10)))

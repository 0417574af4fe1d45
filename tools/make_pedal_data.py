#!/usr/bin/env python3
"""Makes the pedal data that ships inside the editor.

Writes, under resources/pedal_data/:
  OCTAVE                 the effect catalogue (one entry, CR LF)
  QUORVANE_KQ5_0008..11  the effect images, one line of upper-case hex each
  FIRMWARE_5..10         the microcontroller firmware images, raw binaries
and the resource list resources/pedal_data.qrc.

Everything is deterministic: running it twice gives the same bytes, so the
outputs are committed and `--check` tells whether they are current.

Effect image layout (as bytes):
  0        0x00
  1-2      whole length, big-endian
  3-36     seventeen 16-bit big-endian address fields (see FIELD_ORDER)
  37-      the DSP program: a program header, then program words

DSP program header (where the virtual pedal finds the algorithm):
  37-40    "KQ5A"
  41-42    algorithm number, one decimal digit per nibble (0x00 0x11 = "0011")
  43-44    program length in bytes after this header, big-endian
  45-      program words (our own deterministic data)
  last 2   16-bit sum of every byte from 37 up to them, big-endian

Firmware image layout:
  0x000    Cortex-M3 vector table (initial stack pointer, reset and the other
           handlers in flash with the Thumb bit set)
  0x130    "KQ5FW" tag, version byte, image length (4 bytes, big-endian)
  0x140-   our own deterministic program data
"""

import argparse
import hashlib
import os
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT_DIR = os.path.join(ROOT, "resources", "pedal_data")
QRC = os.path.join(ROOT, "resources", "pedal_data.qrc")

CATALOGUE = "Quorvane KQ5 0011"

# The seventeen header fields in image order; None is a field no parameter uses.
FIELD_ORDER = [
    "Dry", "Sub Mix", "-1 Oct", "-2 Oct", "Wave", "Low Pass", "High Pass",
    "1st Harmonic", "Split", "Range", None, None,
    "Input Level", "1st Harmonic Pitch", "Wave Clip", "Dominant Notes Cut",
    "High Notes Cut",
]
UNUSED_FIELD = 0xFFFF

ADDRESSES_0008 = {
    "Dry": 0x000B, "Sub Mix": 0x00E8, "-1 Oct": 0x0077, "-2 Oct": 0x0073,
    "Wave": 0x0003, "Low Pass": 0x00CC, "High Pass": 0x00DE,
    "1st Harmonic": 0x00A0, "Split": 0x00E9, "Range": 0x00F0,
    "Input Level": 0x000A, "1st Harmonic Pitch": 0x006E, "Wave Clip": 0x00E7,
    "Dominant Notes Cut": 0x001B, "High Notes Cut": 0x000C,
}
# 0009 moved the harmonic pitch and the clip.
ADDRESSES_0009 = dict(ADDRESSES_0008, **{
    "1st Harmonic Pitch": 0x006F, "Wave Clip": 0x00E6,
})
# 0010 and 0011 share one layout.
ADDRESSES_0010 = {
    "Dry": 0x000B, "Sub Mix": 0x00E7, "-1 Oct": 0x0078, "-2 Oct": 0x0074,
    "Wave": 0x0003, "Low Pass": 0x00CD, "High Pass": 0x00DF,
    "1st Harmonic": 0x00A1, "Split": 0x00EA, "Range": 0x00F1,
    "Input Level": 0x000A, "1st Harmonic Pitch": 0x0073, "Wave Clip": 0x00E8,
    "Dominant Notes Cut": 0x001B, "High Notes Cut": 0x000C,
}

EFFECTS = [
    # (algorithm, length in bytes, addresses)
    (8, 4640, ADDRESSES_0008),
    (9, 4672, ADDRESSES_0009),
    (10, 4544, ADDRESSES_0010),
    (11, 4544, ADDRESSES_0010),
]

FIRMWARES = [
    # (version, length in bytes)
    (5, 53840), (6, 53640), (7, 53700), (8, 50720), (9, 51152), (10, 51472),
]

FLASH_BASE = 0x08000000
RAM_TOP = 0x20005000          # 20 KiB of SRAM
VECTOR_COUNT = 16 + 60        # core exceptions and the peripheral interrupts
PROGRAM_START = 0x140


def stream(seed, n):
    """n deterministic pseudo-random bytes from a text seed."""
    out = bytearray()
    counter = 0
    while len(out) < n:
        out += hashlib.sha256(f"{seed}/{counter}".encode()).digest()
        counter += 1
    return bytes(out[:n])


def bcd(number):
    """A four-digit decimal number as two bytes, one digit per nibble."""
    digits = f"{number:04d}"
    return bytes([int(digits[0]) << 4 | int(digits[1]), int(digits[2]) << 4 | int(digits[3])])


def effect_image(algorithm, length, addresses):
    used = [a for a in addresses.values()]
    if len(set(used)) != len(used):
        raise ValueError(f"image {algorithm:04d}: two parameters share an address")
    header = bytearray([0x00]) + struct.pack(">H", length)
    for name in FIELD_ORDER:
        header += struct.pack(">H", UNUSED_FIELD if name is None else addresses[name])
    assert len(header) == 37
    words_len = length - 37 - 8 - 2
    program = bytearray(b"KQ5A") + bcd(algorithm) + struct.pack(">H", words_len)
    program += stream(f"dsp-{algorithm:04d}", words_len)
    program += struct.pack(">H", sum(program) & 0xFFFF)
    image = bytes(header + program)
    assert len(image) == length
    return image


def firmware_image(version, length):
    handlers = 0x08000000 + PROGRAM_START
    table = [RAM_TOP]
    # Reset handler first, then one small handler per exception, Thumb bit set.
    for i in range(1, VECTOR_COUNT):
        if i in (7, 8, 9, 10, 13):        # reserved slots of the core table
            table.append(0)
        else:
            table.append((handlers + 4 * i) | 1)
    image = bytearray(struct.pack(f"<{len(table)}I", *table))
    image += bytes(0x130 - len(image))
    image += b"KQ5FW" + bytes([version]) + struct.pack(">I", length) + bytes(6)
    assert len(image) == PROGRAM_START
    image += stream(f"firmware-{version}", length - PROGRAM_START)
    assert len(image) == length
    return bytes(image)


def outputs():
    files = {"OCTAVE": (CATALOGUE + "\r\n").encode("ascii")}
    for algorithm, length, addresses in EFFECTS:
        image = effect_image(algorithm, length, addresses)
        files[f"QUORVANE_KQ5_{algorithm:04d}"] = image.hex().upper().encode("ascii")
    for version, length in FIRMWARES:
        files[f"FIRMWARE_{version}"] = firmware_image(version, length)
    lines = ['<!DOCTYPE RCC>', '<RCC version="1.0">', '<qresource prefix="/">']
    for name in files:
        lines.append(f'    <file alias="{name}">pedal_data/{name}</file>')
    lines += ['</qresource>', '</RCC>', '']
    return files, "\n".join(lines).encode("ascii")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="compare with the committed files instead of writing them")
    args = parser.parse_args()
    files, qrc = outputs()
    wanted = {os.path.join(OUT_DIR, n): b for n, b in files.items()}
    wanted[QRC] = qrc
    if args.check:
        stale = [p for p, b in wanted.items()
                 if not os.path.exists(p) or open(p, "rb").read() != b]
        for p in stale:
            print(f"out of date: {os.path.relpath(p, ROOT)}")
        return 1 if stale else 0
    os.makedirs(OUT_DIR, exist_ok=True)
    for path, data in wanted.items():
        with open(path, "wb") as f:
            f.write(data)
    print(f"wrote {len(wanted)} files")
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Writes the firmware image the program carries (RCDATA IDR_FIRMWARE).

    python3 make_firmware.py OUTPUT

The image is 2 MiB of deterministic pseudo-random bytes (xorshift32 from a fixed seed: the
same bytes on every build and every machine) with the identity block at 0x1EC000. The drive
reports the code at byte 70 of that block as its firmware identity; "KT7" is the firmware
this image holds.
"""

import array
import struct
import sys

IMAGE_SIZE = 0x200000
IDENTITY_OFFSET = 0x1EC000
IDENTITY_SIZE = 256
IDENTITY_CODE_OFFSET = 70
IDENTITY_CODE = b"KT7"
SEED = 0x5A454C54  # "ZELT"


def pseudo_random_bytes(size, seed):
    words = array.array("I", bytes(size))  # "I" is 32 bits on every platform we build on
    assert words.itemsize == 4
    state = seed
    for i in range(len(words)):
        state ^= (state << 13) & 0xFFFFFFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFFFFFF
        words[i] = state
    if sys.byteorder != "little":
        words.byteswap()
    return bytearray(words.tobytes())


def field(text, width):
    raw = text.encode("ascii")
    assert len(raw) <= width, text
    return raw + b" " * (width - len(raw))


def identity_block():
    block = bytearray(b"\xff" * IDENTITY_SIZE)

    def put(offset, data):
        block[offset:offset + len(data)] = data

    put(0x00, b"ZFWID\0")                          # block signature
    put(0x06, struct.pack("<H", 1))                # block layout version
    put(0x08, field("ZELT", 8))                    # vendor, as INQUIRY reports it
    put(0x10, field("QX-57N8RV", 16))              # product
    put(0x20, field("2.00", 4))                    # updater release the image ships with
    put(0x24, b"\0\0")
    put(0x26, field("MAIN FIRMWARE ROM 2MB", 32))  # 0x26..0x45
    put(IDENTITY_CODE_OFFSET, IDENTITY_CODE)       # 0x46..0x48
    put(0x49, b"\0")
    put(0x4A, field("BUILD 2006-03-14", 16))
    put(0x5A, b"\0" * 6)
    put(0x60, field("(C) ZELT OPTICAL", 32))
    # Last two bytes: 16-bit sum of the bytes before them.
    put(IDENTITY_SIZE - 2, struct.pack("<H", sum(block[:IDENTITY_SIZE - 2]) & 0xFFFF))
    return bytes(block)


def make_image():
    image = pseudo_random_bytes(IMAGE_SIZE, SEED)
    block = identity_block()
    image[IDENTITY_OFFSET:IDENTITY_OFFSET + IDENTITY_SIZE] = block
    code = image[IDENTITY_OFFSET + IDENTITY_CODE_OFFSET:][:len(IDENTITY_CODE)]
    assert bytes(code) == IDENTITY_CODE
    assert len(image) == IMAGE_SIZE
    return bytes(image)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_firmware.py OUTPUT")
    with open(sys.argv[1], "wb") as f:
        f.write(make_image())


if __name__ == "__main__":
    main()

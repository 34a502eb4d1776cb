#!/usr/bin/env python3
"""Draws Kelvra's application icon: an EEPROM chip with pins and a write arrow,
as a 16-colour ICO holding a 32x32 and a 16x16 image.

Usage: make_kelvra_icon.py OUTPUT.ico
"""
import struct
import sys

# The standard 16-colour palette (B, G, R, 0).
PALETTE = [
    (0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128),
    (128, 0, 0), (128, 0, 128), (128, 128, 0), (192, 192, 192),
    (128, 128, 128), (0, 0, 255), (0, 255, 0), (0, 255, 255),
    (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255),
]
BLACK, DARK_GREY, LIGHT_GREY, WHITE, GREEN, YELLOW = 0, 8, 7, 15, 10, 11
TRANSPARENT = None


def draw(size):
    """Rows top to bottom of palette indices, None where transparent."""
    pixels = [[TRANSPARENT] * size for _ in range(size)]
    scale = size / 32.0

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * scale), max(int(y0 * scale) + 1, int(y1 * scale))):
            for x in range(int(x0 * scale), max(int(x0 * scale) + 1, int(x1 * scale))):
                if 0 <= x < size and 0 <= y < size:
                    pixels[y][x] = colour

    # Pins on both long sides.
    for y in range(6, 28, 4):
        rect(3, y, 7, y + 2, LIGHT_GREY)
        rect(25, y, 29, y + 2, LIGHT_GREY)
    # Chip body with an outline and its orientation notch.
    rect(6, 3, 26, 30, BLACK)
    rect(7, 4, 25, 29, DARK_GREY)
    rect(14, 4, 18, 6, BLACK)
    # A write arrow pointing into the chip.
    rect(15, 9, 17, 20, GREEN)
    rect(12, 17, 20, 19, GREEN)
    rect(13, 19, 19, 21, GREEN)
    rect(14, 21, 18, 23, GREEN)
    rect(15, 23, 17, 24, GREEN)
    # A yellow data line under the arrow.
    rect(10, 25, 22, 27, YELLOW)
    return pixels


def image_entry(size):
    pixels = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (b, g, r) in PALETTE)
    xor_row_bytes = ((size * 4 + 31) // 32) * 4
    and_row_bytes = ((size + 31) // 32) * 4
    xor_bits = b""
    and_bits = b""
    for row in reversed(pixels):  # bottom-up
        nibbles = [0 if p is None else p for p in row]
        data = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_bits += data.ljust(xor_row_bytes, b"\0")
        mask = 0
        bits = bytearray()
        for i, p in enumerate(row):
            mask = (mask << 1) | (1 if p is None else 0)
            if i % 8 == 7:
                bits.append(mask)
                mask = 0
        and_bits += bytes(bits).ljust(and_row_bytes, b"\0")
    return header + palette + xor_bits + and_bits


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    images = [image_entry(32), image_entry(16)]
    sizes = [32, 16]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        directory += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as output:
        output.write(directory + b"".join(images))


if __name__ == "__main__":
    main()

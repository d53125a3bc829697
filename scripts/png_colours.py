#!/usr/bin/env python3
"""Counts the pixels of a PNG near each colour given: png_colours.py FILE RRGGBB...

Prints one line per colour, "RRGGBB COUNT", and first "pixels TOTAL non-white
COUNT". Reads 8-bit RGB and RGBA PNGs (what a browser's screenshot writes)
with the standard library alone."""
import struct
import sys
import zlib


def pixels(path):
    with open(path, "rb") as file:
        data = file.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG")
    at, idat, header = 8, b"", None
    while at < len(data):
        (length,) = struct.unpack(">I", data[at:at + 4])
        kind = data[at + 4:at + 8]
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        sys.exit(f"{path}: a PNG of depth {depth}, colour type {colour}, interlace {interlace} is not read here")
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    previous = bytearray(stride)
    rows = []
    for row in range(height):
        start = row * (stride + 1)
        kind = raw[start]
        line = bytearray(raw[start + 1:start + 1 + stride])
        for index in range(stride):
            left = line[index - channels] if index >= channels else 0
            up = previous[index]
            corner = previous[index - channels] if index >= channels else 0
            if kind == 1:
                line[index] = (line[index] + left) & 0xFF
            elif kind == 2:
                line[index] = (line[index] + up) & 0xFF
            elif kind == 3:
                line[index] = (line[index] + (left + up) // 2) & 0xFF
            elif kind == 4:
                estimate = left + up - corner
                distances = (abs(estimate - left), abs(estimate - up), abs(estimate - corner))
                predictor = left if distances[0] <= distances[1] and distances[0] <= distances[2] else (
                    up if distances[1] <= distances[2] else corner)
                line[index] = (line[index] + predictor) & 0xFF
        rows.append(line)
        previous = line
    for line in rows:
        for index in range(0, stride, channels):
            yield line[index], line[index + 1], line[index + 2]


def main():
    path, colours = sys.argv[1], [bytes.fromhex(colour) for colour in sys.argv[2:]]
    counts = [0] * len(colours)
    total = non_white = 0
    for red, green, blue in pixels(path):
        total += 1
        if red < 245 or green < 245 or blue < 245:
            non_white += 1
        for index, colour in enumerate(colours):
            if abs(red - colour[0]) + abs(green - colour[1]) + abs(blue - colour[2]) <= 48:
                counts[index] += 1
    print(f"pixels {total} non-white {non_white}")
    for colour, count in zip(sys.argv[2:], counts):
        print(f"{colour} {count}")


main()

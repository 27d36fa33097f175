#!/usr/bin/env python3
"""Draws the program icon: a rounded accent square with a white bay (a wave
under a rising sun). Deterministic; writes a multi-size .ico of 32-bit images."""
import math, struct, sys

ACCENT = (0x00, 0xA8, 0xDA)      # the skin's accent, RGB
DEEP = (0x00, 0x78, 0xB4)

def inside_rounded(x, y, n, r):
    cx = min(max(x, r), n - r)
    cy = min(max(y, r), n - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

def sample(x, y, n):
    """Colour (r, g, b, a) at a point of an n x n icon, y downwards."""
    if not inside_rounded(x, y, n, n * 0.2):
        return (0, 0, 0, 0)
    t = y / n
    base = tuple(int(ACCENT[i] + (DEEP[i] - ACCENT[i]) * t) for i in range(3))
    # Sun: a white disc in the upper half.
    if (x - n * 0.5) ** 2 + (y - n * 0.42) ** 2 <= (n * 0.17) ** 2:
        return (255, 255, 255, 255)
    # Bay: two white waves across the lower half.
    for k, off in enumerate((0.62, 0.77)):
        wave = n * off + math.sin(x / n * 2 * math.pi * 1.5 + k) * n * 0.045
        if wave <= y <= wave + n * 0.075:
            return (255, 255, 255, 255)
    return base + (255,)

def render(n, ss=4):
    rows = []
    for y in range(n):
        row = []
        for x in range(n):
            acc = [0, 0, 0, 0]
            for sy in range(ss):
                for sx in range(ss):
                    c = sample(x + (sx + 0.5) / ss, y + (sy + 0.5) / ss, n)
                    a = c[3]
                    for i in range(3):
                        acc[i] += c[i] * a
                    acc[3] += a
            a = acc[3] // (ss * ss)
            if acc[3]:
                rgb = [acc[i] // acc[3] for i in range(3)]
            else:
                rgb = [0, 0, 0]
            row.append((rgb[0], rgb[1], rgb[2], a))
        rows.append(row)
    return rows

def dib(n):
    px = render(n)
    header = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    data = bytearray()
    for y in reversed(range(n)):
        for r, g, b, a in px[y]:
            data += bytes((b, g, r, a))
    mask_stride = ((n + 31) // 32) * 4
    mask = bytes(mask_stride * n)
    return header + bytes(data) + mask

def main(out):
    sizes = (16, 24, 32, 48)
    images = [dib(n) for n in sizes]
    head = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    entries = b""
    for n, img in zip(sizes, images):
        entries += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(out, "wb") as f:
        f.write(head + entries + b"".join(images))

if __name__ == "__main__":
    main(sys.argv[1])

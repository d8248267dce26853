#!/usr/bin/env python3
"""Writes the image corpus the decoder tests read: small valid JPEG, PNG and BMP files
with known pixels, and hostile ones (truncated, lying headers, decompression bombs,
bad Huffman tables, bad checksums, junk). Every byte is built here; run it again to
regenerate the files beside it."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def save(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


# ---------------------------------------------------------------- known pixels
# The test computes the same pattern: 4 x 3 pixels, ARGB.
W, H = 4, 3


def pattern(x, y):
    return (x * 50, y * 70, (x + y) * 20)  # r, g, b


def alpha(x, y):
    return 255 - x * 60


# ------------------------------------------------------------------------ PNG
SIG = b"\x89PNG\r\n\x1a\n"


def chunk(kind, data, crc=None):
    c = zlib.crc32(kind + data) & 0xFFFFFFFF if crc is None else crc
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", c)


def ihdr(w, h, depth=8, colour=6, interlace=0):
    return chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, depth, colour, 0, 0, interlace))


def png(w, h, rows, depth=8, colour=6, extra=b""):
    raw = b"".join(b"\x00" + r for r in rows)
    return SIG + ihdr(w, h, depth, colour) + extra + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


rgba_rows = [bytes(v for x in range(W) for v in (*pattern(x, y), alpha(x, y))) for y in range(H)]
valid_rgba = png(W, H, rgba_rows)
save("valid_rgba.png", valid_rgba)
# Palette of the 12 pattern colours, the first two see-through in part.
palette = b"".join(bytes(pattern(i % W, i // W)) for i in range(W * H))
trns = bytes([0, 128])
save("valid_palette_trns.png",
     png(W, H, [bytes(range(y * W, y * W + W)) for y in range(H)], colour=3,
         extra=chunk(b"PLTE", palette) + chunk(b"tRNS", trns)))
# 16-bit grey: the decoder keeps the high byte.
save("valid_gray16.png",
     png(W, H, [b"".join(struct.pack(">H", (x * 50) * 256 + 99) for x in range(W)) for y in range(H)],
         depth=16, colour=0))

# The 57-byte style bomb: a million by a million pixels from a few bytes of data.
save("png_bomb_1000000x1000000.png",
     SIG + ihdr(1000000, 1000000, colour=2) + chunk(b"IDAT", zlib.compress(b"")) + chunk(b"IEND", b""))
# Each side allowed, the whole far too many pixels.
save("png_8192x8192.png", SIG + ihdr(8192, 8192, colour=2) + chunk(b"IDAT", zlib.compress(b"\x00")) +
     chunk(b"IEND", b""))
save("png_side_over_cap.png", SIG + ihdr(8193, 1, colour=2) + chunk(b"IDAT", zlib.compress(b"\x00" * 8)) +
     chunk(b"IEND", b""))
save("png_zero_width.png", SIG + ihdr(0, 4) + chunk(b"IDAT", zlib.compress(b"")) + chunk(b"IEND", b""))
save("png_bad_bit_depth.png", SIG + ihdr(4, 4, depth=7, colour=2) + chunk(b"IEND", b""))
# Checksums that do not match their chunk.
i = valid_rgba.index(b"IHDR")
bad = bytearray(valid_rgba)
bad[i + 4 + 13] ^= 0xFF
save("png_bad_crc_ihdr.png", bytes(bad))
i = valid_rgba.index(b"IDAT")
length = struct.unpack(">I", valid_rgba[i - 4:i])[0]
bad = bytearray(valid_rgba)
bad[i + 4 + length] ^= 0xFF
save("png_bad_crc_idat.png", bytes(bad))
save("png_truncated_in_idat.png", valid_rgba[:i + 4 + length // 2])
save("png_truncated_after_signature.png", valid_rgba[:12])
save("png_garbage_after_header.png", SIG + ihdr(W, H) + bytes((i * 37 + 11) & 0xFF for i in range(200)))
# Claims 64 x 64 but carries two rows.
save("png_not_enough_data.png",
     SIG + ihdr(64, 64, colour=2) + chunk(b"IDAT", zlib.compress(b"\x00" + b"\x80" * 192 + b"\x00" + b"\x40" * 192)) +
     chunk(b"IEND", b""))
save("png_idat_not_deflate.png", SIG + ihdr(W, H) + chunk(b"IDAT", b"\xde\xad\xbe\xef" * 8) + chunk(b"IEND", b""))
save("png_palette_missing.png", SIG + ihdr(W, H, colour=3) + chunk(b"IDAT", zlib.compress(b"\x00" * 15)) +
     chunk(b"IEND", b""))

# ----------------------------------------------------------------------- JPEG
# A minimal baseline grey JPEG: every 8x8 block has DC difference 0 and no AC terms, so
# every pixel is 128. One-code Huffman tables: DC category 0 is "0", AC end-of-block "0".


def seg(marker, body):
    return struct.pack(">BBH", 0xFF, marker, len(body) + 2) + body


def sof(w, h, comps=((1, 0x11, 0),), marker=0xC0):
    body = struct.pack(">BHHB", 8, h, w, len(comps))
    for cid, samp, q in comps:
        body += struct.pack(">BBB", cid, samp, q)
    return seg(marker, body)


def dht(cls_id, counts, values):
    return seg(0xC4, bytes([cls_id]) + bytes(counts) + bytes(values))


DQT = seg(0xDB, b"\x00" + b"\x01" * 64)
ONE_CODE = [1] + [0] * 15
TABLES = dht(0x00, ONE_CODE, [0]) + dht(0x10, ONE_CODE, [0])
SOS = seg(0xDA, b"\x01\x01\x00\x00\x3f\x00")


def jpeg(w, h, blocks, frame=None, tables=TABLES):
    bits = "00" * blocks
    bits += "1" * (-len(bits) % 8)
    scan = bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))
    scan = scan.replace(b"\xff", b"\xff\x00")
    return b"\xff\xd8" + DQT + (frame or sof(w, h)) + tables + SOS + scan + b"\xff\xd9"


valid_jpeg = jpeg(8, 8, 1)
save("valid_gray.jpg", valid_jpeg)
big = jpeg(64, 64, 64)
save("jpeg_truncated_header.jpg", big[:30])
save("jpeg_truncated_scan.jpg", big[:big.index(b"\xff\xda") + 8 + 4])
save("jpeg_huge_dimensions.jpg", jpeg(65000, 65000, 1))
save("jpeg_8192x8192.jpg", jpeg(8192, 8192, 1))
save("jpeg_zero_width.jpg", jpeg(0, 8, 1))
# More than 256 codes in one table (stb's decoder wrote past its arrays on this).
many = [0] * 14 + [100, 200]
save("jpeg_huffman_over_256_codes.jpg", jpeg(8, 8, 1, tables=dht(0x00, many, [0] * 300) + dht(0x10, ONE_CODE, [0])))
# Three codes of one bit: more codes than the length allows.
save("jpeg_huffman_oversubscribed.jpg",
     jpeg(8, 8, 1, tables=dht(0x00, [3] + [0] * 15, [0, 1, 2]) + dht(0x10, ONE_CODE, [0])))
save("jpeg_garbage_after_header.jpg",
     b"\xff\xd8" + seg(0xE0, b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00") +
     bytes((i * 91 + 7) & 0xFF for i in range(300)))
save("jpeg_scan_before_frame.jpg", b"\xff\xd8" + DQT + TABLES + SOS + b"\x3f\xff\xd9")
save("jpeg_five_components.jpg", jpeg(8, 8, 1, frame=sof(8, 8, tuple((i, 0x11, 0) for i in range(1, 6)))))
save("jpeg_zero_sampling.jpg", jpeg(8, 8, 1, frame=sof(8, 8, ((1, 0x00, 0),))))
save("jpeg_undefined_quant_table.jpg", jpeg(8, 8, 1, frame=sof(8, 8, ((1, 0x11, 3),))))

# ------------------------------------------------------------------------ BMP


def bmp(w, h, bpp, pixel_rows, header=40, compression=0, colours=0, extra=b"", offset=None, masks=b""):
    stride = ((w * bpp + 31) // 32) * 4
    data = b"".join(r + b"\x00" * (stride - len(r)) for r in pixel_rows)
    info = struct.pack("<IiiHHIIiiII", header, w, h, 1, bpp, compression, len(data), 2835, 2835, colours, 0)
    info += masks
    info += b"\x00" * (header - len(info))
    off = 14 + len(info) + len(extra) if offset is None else offset
    return b"BM" + struct.pack("<IHHI", 14 + len(info) + len(extra) + len(data), 0, 0, off) + info + extra + data


def bgr(x, y):
    r, g, b = pattern(x, y)
    return bytes((b, g, r))


# Bottom-up 24-bit, as our screenshots are written.
save("valid_24.bmp", bmp(W, H, 24, [b"".join(bgr(x, y) for x in range(W)) for y in reversed(range(H))]))
# Top-down 8-bit with a palette of the pattern colours.
pal = b"".join(bgr(i % W, i // W) + b"\x00" for i in range(W * H))
save("valid_8bit_topdown.bmp", bmp(W, -H, 8, [bytes(range(y * W, y * W + W)) for y in range(H)], colours=W * H,
                                   extra=pal))
# 32-bit bit fields with alpha (version 5 header: masks inside it).
v5masks = struct.pack("<IIII", 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)
rows32 = [b"".join(bgr(x, y) + bytes([alpha(x, y)]) for x in range(W)) for y in reversed(range(H))]
save("valid_32_bitfields.bmp", bmp(W, H, 32, rows32, header=124, compression=3, masks=v5masks))
# 1-bit: odd columns white.
save("valid_1bit.bmp", bmp(W, H, 1, [bytes([0b01010000])] * H, colours=2, extra=b"\x00\x00\x00\x00\xff\xff\xff\x00"))

valid24 = bmp(W, H, 24, [b"".join(bgr(x, y) for x in range(W)) for y in reversed(range(H))])
save("bmp_truncated_pixels.bmp", valid24[:-10])
save("bmp_header_truncated.bmp", valid24[:30])
save("bmp_huge_dimensions.bmp", bmp(100000, 100000, 24, []))
save("bmp_negative_width.bmp", bmp(-4, 3, 24, []))
save("bmp_zero_height.bmp", bmp(4, 0, 24, []))
save("bmp_palette_count_huge.bmp", bmp(W, H, 8, [b"\x00" * W] * H, colours=0xFFFFFFFF))
save("bmp_offset_past_end.bmp", bmp(W, H, 24, [b"\x00" * 12] * H, offset=0x7FFFFFF0))
save("bmp_rle8.bmp", bmp(W, H, 8, [b"\x00" * W] * H, compression=1, colours=1, extra=b"\x00" * 4))
save("bmp_bitfields_masks_truncated.bmp", bmp(W, H, 32, [], compression=3)[:54 + 4])

#!/usr/bin/env python3
"""Writes the action blocks (DoAction, DoInitAction, also inside sprites) of
SWF movies as files, one block a file: seeds for the interpreter's fuzzer.
usage: extract-actions.py OUT_DIR MOVIE.swf..."""
import os
import struct
import sys
import zlib


def body(data):
    sig = data[:3]
    if sig == b'FWS':
        return data[8:]
    if sig == b'CWS':
        return zlib.decompress(data[8:])
    raise ValueError('not an FWS/CWS movie')


def tags(buf, pos):
    while pos + 2 <= len(buf):
        code_len, = struct.unpack_from('<H', buf, pos)
        pos += 2
        code, length = code_len >> 6, code_len & 0x3f
        if length == 0x3f:
            if pos + 4 > len(buf):
                return
            length, = struct.unpack_from('<I', buf, pos)
            pos += 4
        yield code, buf[pos:pos + length]
        pos += length
        if code == 0:
            return


def blocks(buf, pos):
    for code, data in tags(buf, pos):
        if code == 12:
            yield data
        elif code == 59:
            yield data[2:]
        elif code == 39:
            yield from blocks(data, 4)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for path in sys.argv[2:]:
        buf = body(open(path, 'rb').read())
        rect_bits = 5 + 4 * (buf[0] >> 3)
        start = (rect_bits + 7) // 8 + 4
        name = os.path.basename(os.path.dirname(path)) or os.path.basename(path)
        for i, block in enumerate(blocks(buf, start)):
            with open(os.path.join(out, f'{name}-{i}'), 'wb') as f:
                f.write(block)


if __name__ == '__main__':
    main()

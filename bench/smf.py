"""Just enough of the Standard MIDI File format for the benchmark's files."""
import struct


def var_len(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


def track(events):
    """events: (tick, bytes) in any order; written sorted, stable."""
    data = bytearray()
    now = 0
    for tick, raw in sorted(events, key=lambda e: e[0]):
        data += var_len(tick - now) + raw
        now = tick
    data += var_len(0) + b"\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(data)) + bytes(data)


def write(path, tracks, division):
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 1 if len(tracks) > 1 else 0, len(tracks), division))
        for t in tracks:
            f.write(track(t))


def tempo(us_per_quarter):
    return b"\xff\x51\x03" + us_per_quarter.to_bytes(3, "big")

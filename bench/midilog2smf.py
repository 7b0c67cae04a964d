#!/usr/bin/env python3
"""Turns the organ's MIDI log into a Standard MIDI File of exactly what the
ranks sent to FluidSynth, at the times the log gives, so that FluidSynth's
own player can render the same notes.

    midilog2smf.py LOG OUT.mid [TAIL_MS]

Log lines are "ms rank output b1 b2 b3" (bytes in hex). The status byte
carries only four bits of channel; FluidSynth has more channels than that,
so a rank whose channel nibble is its own number's is taken to sit on the
channel of that number (the default: rank r on channel r). Channels from 16
on go to a second track on MIDI port 1. The file ends TAIL_MS (default 2000)
after the last message, as the organ's render lets the last notes die away.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import smf  # noqa: E402


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    tail = int(sys.argv[3]) if len(sys.argv) == 4 else 2000
    # One tick a millisecond: 500 ticks to a quarter note at 500000 us.
    tracks = [[(0, smf.tempo(500_000))], [(0, b"\xff\x21\x01\x01")]]
    last = 0
    for line in open(sys.argv[1]):
        fields = line.split()
        if len(fields) != 6 or fields[2] != "fluidsynth":
            continue
        ms, rank = int(fields[0]), int(fields[1])
        status, d1, d2 = (int(b, 16) for b in fields[3:])
        nibble = status & 0x0F
        channel = rank if nibble == rank % 16 else nibble
        port, channel = divmod(channel, 16)
        kind = status & 0xF0
        raw = bytes([kind | channel, d1]) if kind in (0xC0, 0xD0) else bytes([kind | channel, d1, d2])
        tracks[min(port, 1)].append((ms, raw))
        last = max(last, ms)
    tracks[0].append((last + tail, b"\xff\x01\x00"))  # an empty text event holds the end
    if len(tracks[1]) == 1:
        tracks.pop()
    smf.write(sys.argv[2], tracks, 500)


main()

#!/usr/bin/env python3
"""Writes the piece the render benchmark plays: the Old Hundredth (Genevan
Psalter, 1551) harmonised in four parts, three verses, on a registration of
the 16', 8' and 4' ranks of the Solo, Accompaniment and Pedal with the
tremulants, as an organist would set up for a hymn.

    make-piece.py OUT.mid
"""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import smf  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
PPQ = 480
CONTROL = 15  # the console's control channel: stops by controller 81, value = item

# Melody (MIDI notes) and beats per note, four lines.
MELODY = [
    [(67, 2), (67, 1), (66, 1), (64, 1), (62, 1), (67, 1), (69, 1), (71, 2)],
    [(71, 2), (71, 1), (71, 1), (69, 1), (67, 1), (72, 1), (71, 1), (69, 2)],
    [(67, 2), (69, 1), (71, 1), (69, 1), (67, 1), (64, 1), (66, 1), (67, 2)],
    [(74, 2), (71, 1), (67, 1), (69, 1), (72, 1), (71, 1), (69, 1), (67, 2)],
]
# Chords of G major by root pitch class; the first that holds the melody note wins.
CHORDS = [(7, [7, 11, 2]), (2, [2, 6, 9]), (0, [0, 4, 7]), (4, [4, 7, 11]), (9, [9, 0, 4])]


def registration():
    """Items of the 16', 8' and 4' rank stops of the Solo, Accompaniment and Pedal."""
    table = open(os.path.join(HERE, "..", "organ", "OrganTables.h")).read()
    items = []
    for m in re.finditer(r'\{(\d), "((?:[^"\\]|\\.)*)", StopKind::RankStop,[^}]*\}, // (\d+)', table):
        division, label, item = int(m.group(1)), m.group(2), int(m.group(3))
        if division in (0, 2, 4) and re.search(r"\\n(16|8|4)\\n", label):
            items.append(item)
    if not items:
        sys.exit("make-piece: no stops found in OrganTables.h")
    return items


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    events = [(0, smf.tempo(60_000_000 // 84))]
    tick = 0

    def cc(controller, value):
        events.append((tick, bytes([0xB0 | CONTROL, controller, value])))

    for item in registration():
        cc(81, item)
    for tremulant in range(5):
        cc(81, 95 + tremulant)
    tick += PPQ
    for _verse in range(3):
        for line in MELODY:
            for note, beats in line:
                length = beats * PPQ
                root, tones = next(c for c in CHORDS if note % 12 in c[1])
                inner = sorted({60 + (t - 60) % 12 for t in tones} | {55 + (t - 55) % 12 for t in tones})
                accomp = [n for n in inner if n < note][-3:]
                parts = [(0, note)] + [(1, n) for n in accomp] + [(2, 36 + (root - 36) % 12)]
                for channel, n in parts:
                    events.append((tick, bytes([0x90 | channel, n, 100])))
                    events.append((tick + length - PPQ // 16, bytes([0x80 | channel, n, 0])))
                tick += length
            tick += PPQ // 2  # a breath between the lines
    smf.write(sys.argv[1], [events], PPQ)


main()

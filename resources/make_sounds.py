#!/usr/bin/env python3
"""Makes the two short sounds the program plays after a backup: a rising chime for
success (saveok.wav) and a soft falling pair of tones for failure (saveerror.wav).
22050 Hz, 16-bit mono PCM, which every Windows from 95 on plays. Pure arithmetic, no
random numbers: the files come out byte for byte the same each time. It writes into
sounds/ next to itself."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
RATE = 22050


def bell(freq, start, length, level):
    """One soft bell-like note: a sine with two quiet overtones, a 5 ms attack and an
    exponential decay; returns (start sample, samples)."""
    n = int(length * RATE)
    out = []
    for i in range(n):
        t = i / RATE
        attack = min(1.0, t / 0.005)
        decay = math.exp(-t * 5.5 / length)
        tail = min(1.0, (n - i) / (0.01 * RATE))  # no click at the end
        s = (math.sin(2 * math.pi * freq * t)
             + 0.25 * math.sin(2 * math.pi * 2 * freq * t)
             + 0.08 * math.sin(2 * math.pi * 3 * freq * t))
        out.append(level * attack * decay * tail * s / 1.33)
    return int(start * RATE), out


def mix(total, notes):
    buf = [0.0] * int(total * RATE)
    for start, samples in notes:
        for i, s in enumerate(samples):
            if start + i < len(buf):
                buf[start + i] += s
    return buf


def wav(samples):
    data = b"".join(struct.pack("<h", max(-32767, min(32767, int(round(s * 32767))))) for s in samples)
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE * 2, 2, 16)
    return (b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE"
            + b"fmt " + struct.pack("<I", len(fmt)) + fmt
            + b"data" + struct.pack("<I", len(data)) + data)


def write(name, samples):
    folder = os.path.join(HERE, "sounds")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(wav(samples))


if __name__ == "__main__":
    # C6, E6, G6: a major triad upwards, each note ringing on under the next.
    write("saveok.wav", mix(0.75, [bell(1046.50, 0.00, 0.45, 0.30),
                                   bell(1318.51, 0.09, 0.45, 0.28),
                                   bell(1567.98, 0.18, 0.55, 0.28)]))
    # A4 then F4: lower, slower, not harsh.
    write("saveerror.wav", mix(0.80, [bell(440.00, 0.00, 0.40, 0.40),
                                      bell(349.23, 0.22, 0.58, 0.40)]))

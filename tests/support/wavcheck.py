#!/usr/bin/env python3
"""Independent check of a WAV file with Python's own reader.

usage: wavcheck.py FILE.wav OUT.raw
Prints "channels sampwidth framerate nframes" and writes the frames to OUT.raw.
"""
import sys
import wave

with wave.open(sys.argv[1], "rb") as w:
    frames = w.readframes(w.getnframes())
    print(w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes())
with open(sys.argv[2], "wb") as out:
    out.write(frames)

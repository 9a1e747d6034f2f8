#!/usr/bin/env python3
"""Records made of PNG frames go through tools/make_gif.py and come back out of
Pillow's GIF reader as the frames that went in, at the times they were taken."""
import os
import sys
import tempfile

from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import make_gif  # noqa: E402

W, H = 40, 30


def flat(x, y, t):
    """A few colours, a square moving one step a frame, still from frame 2 on."""
    t = min(t, 2)
    if 5 + 3 * t <= x < 15 + 3 * t and 8 <= y < 18:
        return (250, 200, 20)
    return (20, 60, 150) if y < 20 else (30, 120, 50)


def gradient(x, y, t):
    """Far more colours than a palette holds."""
    return (x * 6 + t, y * 8, (x + y) * 3)


# (name, pixel function, frame times in ms, most a channel may be off, frames and
# hundredths of a second expected back)
CASES = [
    ("few colours, repeats folded", flat, [0, 100, 210, 300, 400], 0, [10, 11, 29]),
    ("many colours", gradient, [0, 100, 200], 16, [10, 10, 10]),
]


def record(folder, pixel, times):
    with open(os.path.join(folder, "frames.txt"), "w") as listing:
        for t, ms in enumerate(times):
            picture = Image.new("RGB", (W, H))
            picture.putdata([pixel(x, y, t) for y in range(H) for x in range(W)])
            picture.save(os.path.join(folder, f"frame-{t:03d}.png"))
            listing.write(f"frame-{t:03d}.png {ms}\n")


def check(name, pixel, times, tolerance, durations):
    problems = []
    with tempfile.TemporaryDirectory() as folder:
        record(folder, pixel, times)
        output = os.path.join(folder, "out.gif")
        make_gif.make_gif(folder, output)
        with Image.open(output) as gif:
            if gif.n_frames != len(durations):
                return [f"{name}: have {gif.n_frames} frames, want {len(durations)}"]
            source = 0
            for n, want in enumerate(durations):
                gif.seek(n)
                have = gif.info.get("duration", 0) // 10
                if have != want:
                    problems.append(f"{name}: frame {n} shown {have}/100 s, want {want}")
                shown = list(gif.convert("RGB").getdata())
                off = max(abs(a - b) for i, p in enumerate(shown)
                          for a, b in zip(p, pixel(i % W, i // W, source)))
                if off > tolerance:
                    problems.append(f"{name}: frame {n} off by {off}, want at most {tolerance}")
                source += 1
    return problems


def main():
    problems = [p for case in CASES for p in check(*case)]
    for p in problems:
        print(p)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()

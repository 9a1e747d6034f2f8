#!/usr/bin/env python3
"""Checks of the installer test that need Python and Pillow.

    check_package.py zips PACKAGE_DIR VERSION   the zip files' contents
    check_package.py frames PICTURE FRAME.png...
        one of the frames shows the picture, and they are not all the same
"""
import struct
import sys
import zipfile

from PIL import Image

LICENCES = {
    "licences/vornelle.txt": "Copyright (c) 2026 Ombrelune",
    "licences/libpng.txt": "PNG Reference Library License",
    "licences/libjpeg-turbo.txt": "libjpeg-turbo Licenses",
    "licences/libjpeg-ijg.txt": "Independent JPEG Group",
    "licences/zlib.txt": "Jean-loup Gailly and Mark Adler",
}
# The saver in each zip, by the machine field of its PE header.
MACHINES = {"win32": 0x14C, "win64": 0x8664}


def pe_machine(data):
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        return None
    return struct.unpack_from("<H", data, pe + 4)[0]


def check_zips(folder, version):
    failures = []
    for tag, machine in MACHINES.items():
        name = f"{folder}/vornelle-{version}-{tag}.zip"
        with zipfile.ZipFile(name) as archive:
            files = {n for n in archive.namelist() if not n.endswith("/")}
            want = {"vornelle.scr", "test.gif", "readme.txt", *LICENCES}
            if files != want:
                failures.append(f"{name}: have {sorted(files)}, want {sorted(want)}")
                continue
            have = pe_machine(archive.read("vornelle.scr"))
            if have != machine:
                failures.append(f"{name}: saver for machine {have:#x}, want {machine:#x}")
            readme = archive.read("readme.txt").decode("ascii")
            for text in (version, r"HKEY_CURRENT_USER\Software\Ombrelune\vornelle\Config",
                         "based in part on the work of the Independent JPEG Group", "\r\n"):
                if text not in readme:
                    failures.append(f"{name}: readme.txt lacks {text!r}")
            for licence, text in LICENCES.items():
                if text not in archive.read(licence).decode("utf-8"):
                    failures.append(f"{name}: {licence} lacks {text!r}")
            if not archive.read("test.gif").startswith(b"GIF89a"):
                failures.append(f"{name}: test.gif is no GIF")
    return failures


def frame_failure(frame, colours):
    """Enough lit pixels, nearly all in the picture's colours, many of those."""
    # Colour by colour: a frame has a few thousand, and Python is slow per pixel.
    lit = [(n, p) for n, p in frame.getcolors(frame.width * frame.height) if max(p) > 24]
    seen, matching, count = {}, 0, sum(n for n, _ in lit)
    for n, p in lit:
        nearest = min(colours, key=lambda c: sum((a - b) ** 2 for a, b in zip(p, c)))
        if sum((a - b) ** 2 for a, b in zip(p, nearest)) < 48 ** 2:
            matching += n
            seen[nearest] = seen.get(nearest, 0) + n
    kinds = sum(1 for n in seen.values() if n >= 3)
    if count < 200 or matching < 0.9 * count or kinds < 8:
        return (f"{count} lit pixels (want 200), {matching} in the picture's colours "
                f"(want 90%), {kinds} of its colours (want 8)")
    return None


def check_frames(picture, *names):
    # The effects pass through a black frame now and then: one frame must show it.
    colours = set(Image.open(picture).convert("RGB").getdata())
    frames = [Image.open(name).convert("RGB") for name in names]
    failures = [frame_failure(frame, colours) for frame in frames]
    if all(failures):
        return [f"{name}: {failure}" for name, failure in zip(names, failures)]
    if len({frame.tobytes() for frame in frames}) == 1:
        return ["the frames are all the same: nothing moves"]
    return []


def main():
    checks = {"zips": check_zips, "frames": check_frames}
    failures = checks[sys.argv[1]](*sys.argv[2:])
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

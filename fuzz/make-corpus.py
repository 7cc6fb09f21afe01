#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

The seeds are the cases the kit's own tests use: the worked examples and edge
cases of the texture converter, the archives and the configuration reader,
each in the input layout its target reads (see the target's module comment).
Files whose names start with "crash-" are inputs the fuzzer once found; they
are kept and replayed with the seeds, never rewritten here.

Usage: fuzz/make-corpus.py  (run from anywhere; the output is deterministic)
"""
import os
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def write(target, name, data):
    folder = os.path.join(ROOT, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# --- tga: the whole "t9.tex.big.tga" ----------------------------------------


def tga(width, height, depth, pixels=b"", image_type=2, image_id=b"", descriptor=0, cmap_type=0):
    header = struct.pack("<BBBHHBHHHHBB", len(image_id), cmap_type, image_type, 0, 0, 0, 0, 0,
                         width, height, depth, descriptor)
    return header + image_id + pixels


def tga_seeds():
    px32 = bytes([0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80])
    px24 = bytes([0x10, 0x20, 0x30, 0x50, 0x60, 0x70])
    write("tga", "32bit-2x1", tga(2, 1, 32, px32, descriptor=8))
    write("tga", "24bit-2x1", tga(2, 1, 24, px24))
    write("tga", "id-field-5", tga(2, 1, 32, px32, image_id=b"skin!"))
    write("tga", "width-0", tga(0, 3, 32))
    write("tga", "height-0", tga(3, 0, 24))
    write("tga", "colour-map-type-1", tga(2, 2, 24, px24 * 2, cmap_type=1))
    write("tga", "run-length-type-10", tga(2, 1, 32, px32, image_type=10))
    write("tga", "depth-16", tga(2, 1, 16, bytes(4)))
    write("tga", "depth-40", tga(2, 2, 40, bytes(range(20))))
    write("tga", "short-source", tga(4, 4, 32, px32))
    write("tga", "header-only-17", tga(1, 1, 24)[:17])
    sweep = bytes(b for y in range(16) for x in range(16) for b in (x * 16, y * 16, 128, x * 8 + y))
    write("tga", "32bit-16x16", tga(16, 16, 32, sweep, image_id=b"t9"))


# --- archive: the whole archive file ------------------------------------------


def record(name, offset, size):
    return name.ljust(128, b"\0")[:128] + struct.pack("<II", offset, size)


def archive(entries, data=b"", table_extra=b"", header=b"FFF archive test header!"):
    """entries: (name, offset from the start of data, size)."""
    table = b"".join(record(n, o, s) for n, o, s in entries) + table_extra
    start = 28 + len(table)
    table = b"".join(record(n, start + o, s) for n, o, s in entries) + table_extra
    return header[:24].ljust(24, b"\0") + struct.pack("<I", len(table)) + table + data


VEHICLE = b"[Car0]\r\nName=Buggy\r\nColor=Red,Blue\r\nDirName=red,blue\r\n"
SKIN = b"[SKINAPPEND]\r\nName=Monster Truck\r\nSkinName=Gold\r\nSkinDirName=gold flames\r\n"


def archive_seeds():
    data = VEHICLE + SKIN
    write("archive", "two-entries", archive([(b"Cfg/Vehicle.cfg", 0, len(VEHICLE)),
                                             (b"Skin.cfg", len(VEHICLE), len(SKIN))], data))
    write("archive", "duplicate-names", archive([(b"a.txt", 0, 3), (b"A.TXT", 3, 3), (b"a.txt", 6, 3)],
                                                b"onetwosix"))
    write("archive", "backslash-name", archive([(b"Cfg\\Vehicle.cfg", 0, 5), (b"Cfg/Vehicle.cfg", 5, 5)],
                                               b"firstsecnd"))
    write("archive", "name-of-128", archive([(b"n" * 128, 0, 4)], b"full"))
    write("archive", "partial-record", archive([(b"x.bin", 0, 2)], b"xy", table_extra=b"rest"))
    write("archive", "entry-past-end", archive([(b"far.bin", 1000, 50), (b"zero.bin", 0, 0)], b"z"))
    write("archive", "empty-table", archive([]))
    write("archive", "short-header", b"FFF header cut short")
    write("archive", "table-past-end", archive([(b"a", 0, 1)])[:100])


# --- cfg: n, then n section/key pairs ended by zero bytes, then the text -----


def cfg_input(lookups, text):
    names = b"".join(s + b"\0" + k + b"\0" for s, k in lookups)
    return bytes([len(lookups)]) + names + text


WORKED = (b"[Car0]\r\nName=Alpha\r\nLongName=Alpha Sport\r\nColor=Red,Blue\r\n"
          b"[Car1]\r\nLongName=Beta Classic\r\nName=Beta\r\nPower=120")

EDGES = (b"Intro [Car1] text\r\n[Car0]\r\nNote=see [Car3] below\r\n[Car1]\r\nName=A[1]\r\nPower=90\r\n"
         b"Spaced = x\r\nAfter= lead\r\nEmpty=\r\n[Car10]\r\nName=Ten\r\n[Car3]\r\nName=Three\r\n"
         b"[T]\r\nTab=t\t[x]\r\nLater=yes\r\n")


def cfg_seeds():
    write("cfg", "worked-example", cfg_input(
        [(b"Car0", b"Name"), (b"Car0", b"Color"), (b"Car1", b"Name"), (b"Car1", b"Power"),
         (b"Car0", b"Power"), (b"Car2", b"Name"), (b"car0", b"Name"), (b"Car0", b"Name")], WORKED))
    write("cfg", "edges", cfg_input(
        [(b"Car1", b"Name"), (b"Car1", b"Spaced"), (b"Car1", b"After"), (b"Car1", b"Empty"),
         (b"Car10", b"Name"), (b"Car3", b"Name"), (b"T", b"Later"), (b"", b"Name"), (b"Car1", b"")],
        EDGES))
    write("cfg", "header-at-end", cfg_input([(b"B", b"k"), (b"A", b"k")], b"[A]\r\nk=1\r\n[B]"))
    write("cfg", "bracket-in-name", cfg_input([(b"x]y", b"k"), (b"x", b"k")], b"[x]y]\r\nk=2\r\n"))
    write("cfg", "empty-file", cfg_input([(b"Car0", b"Name")], b""))
    write("cfg", "lone-lf", cfg_input([(b"S", b"a"), (b"S", b"b")], b"[S]\na=1\nb=2\n"))
    write("cfg", "long-value", cfg_input([(b"S", b"k")], b"[S]\r\nk=" + b"v" * 3000 + b"\r\n"))
    write("cfg", "long-names", cfg_input([(b"s" * 255, b"k" * 255), (b"s" * 256, b"k")],
                                          b"[" + b"s" * 255 + b"]\r\n" + b"k" * 255 + b"=deep\r\n"))
    write("cfg", "zero-in-value", cfg_input([(b"S", b"k")], b"[S]\r\nk=ab\0cd\r\n"))


# --- vehiclecfg: CarName, SkinName, SkinDirName ended by zero bytes, then the
# live configuration ------------------------------------------------------------

CAR_KEYS = ["Name", "LongName", "Check", "Crash", "Engine", "Transmission", "TransmissionValue", "Color",
            "DirName", "FrontDifferentials", "RearDifferentials", "FrontDifferValue", "RearDifferValue",
            "Tires", "TiresValue", "Weight", "Torque", "Power"]


def car(index, name, colours, dirs, drop=()):
    values = {k: "%s-%d" % (k.lower(), index) for k in CAR_KEYS}
    values.update(Name=name, Color=colours, DirName=dirs)
    lines = ["[Car%d]" % index] + ["%s=%s" % (k, values[k]) for k in CAR_KEYS if k not in drop]
    return "\r\n".join(lines) + "\r\n"


def vehicle_input(car_name, skin, skin_dir, cars):
    text = "\r\n".join(cars).encode()
    return car_name.encode() + b"\0" + skin.encode() + b"\0" + skin_dir.encode() + b"\0" + text


def vehiclecfg_seeds():
    buggy = car(0, "Buggy", "Red,Blue", "red,blue")
    truck = car(1, "Monster Truck", "Black", "black")
    write("vehiclecfg", "worked-example", vehicle_input("monster truck", "Gold", "gold flames", [buggy, truck]))
    eight = ",".join("c%d" % i for i in range(8)), ",".join("d%d" % i for i in range(8))
    nine = ",".join("c%d" % i for i in range(9)), ",".join("d%d" % i for i in range(9))
    write("vehiclecfg", "eighth-becomes-ninth", vehicle_input("Buggy", "Gold", "gold", [car(0, "Buggy", *eight)]))
    write("vehiclecfg", "no-space-left", vehicle_input("Buggy", "Gold", "gold", [car(0, "Buggy", *nine)]))
    write("vehiclecfg", "counts-differ", vehicle_input("Buggy", "Gold", "gold", [car(0, "Buggy", "a,b,c", "a,b")]))
    write("vehiclecfg", "skin-present-other-case",
          vehicle_input("Buggy", "gold", "new", [car(0, "Buggy", "Gold", "gold_flames")]))
    write("vehiclecfg", "dir-present-folded",
          vehicle_input("Buggy", "New", "GOLD_FLAMES", [car(0, "Buggy", "Gold", "gold_flames")]))
    write("vehiclecfg", "no-lists", vehicle_input("Buggy", "Gold", "gold_flames",
                                                   [car(0, "Buggy", "", "", drop=("Color", "DirName"))]))
    write("vehiclecfg", "missing-crash-extra-key",
          vehicle_input("Buggy", "Gold", "g", [car(0, "Buggy", "Red", "red", drop=("Crash",)) + "Extra=1\r\n"]))
    write("vehiclecfg", "gap-at-car2",
          vehicle_input("Three", "Gold", "g", [buggy, truck, car(3, "Three", "x", "x")]))
    write("vehiclecfg", "no-match", vehicle_input("Nobody", "Gold", "g", [buggy, truck]))
    write("vehiclecfg", "two-sections-match",
          vehicle_input("Twin", "Gold", "g", [car(0, "Twin", "a", "a"), car(1, "TWIN", "b", "b")]))
    write("vehiclecfg", "empty-configuration", vehicle_input("Buggy", "Gold", "g", []))


if __name__ == "__main__":
    tga_seeds()
    archive_seeds()
    cfg_seeds()
    vehiclecfg_seeds()

#!/usr/bin/python3
# Takes a picture of KWin's screen (org.kde.KWin.ScreenShot2, which hands the pixels over a
# pipe) and writes it as a PNG file, with nothing but the standard library and python3-dbus.
# KWin must run with KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1. Usage: kwin_screenshot.py OUT.png
import dbus, os, struct, sys, zlib, threading
out = sys.argv[1]
bus = dbus.SessionBus()
obj = bus.get_object("org.kde.KWin", "/org/kde/KWin/ScreenShot2")
iface = dbus.Interface(obj, "org.kde.KWin.ScreenShot2")
r, w = os.pipe()
chunks = []
def reader():
    while True:
        b = os.read(r, 1 << 16)
        if not b: break
        chunks.append(b)
t = threading.Thread(target=reader); t.start()
res = iface.CaptureActiveScreen({"native-resolution": True}, dbus.types.UnixFd(w))
os.close(w)
t.join()
data = b"".join(chunks)
width, height, stride, fmt = int(res["width"]), int(res["height"]), int(res["stride"]), int(res["format"])
if len(data) < stride * height:
    sys.exit("short picture: %d bytes for %dx%d" % (len(data), width, height))
rows = []
for y in range(height):
    row = data[y*stride:y*stride+width*4]
    # QImage's 32-bit formats (RGB32, ARGB32): B G R A in memory on a little-endian machine.
    px = bytearray(width*3)
    px[0::3] = row[2::4]; px[1::3] = row[1::4]; px[2::3] = row[0::4]
    rows.append(b"\0" + bytes(px))
def chunk(t, d): return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d) & 0xffffffff)
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) + chunk(b"IDAT", zlib.compress(b"".join(rows), 6)) + chunk(b"IEND", b"")
open(out, "wb").write(png)

#!/usr/bin/env bash
# The pictures dorve draws for main effects, joint effects and
# cross-validation render in a real browser: headless Chromium takes a
# screenshot of each, and each screenshot must be a PNG that is not blank
# and shows the colour the picture draws its data in. Skipped (status 77)
# when Chromium or python3 is not installed.
set -u
dorve=$1
cases=$2
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ] || ! command -v python3 >/dev/null; then
  echo "SKIP: chromium or python3 not installed"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$cases"/effects_main_and_joint/*.mat "$work"/
cd "$work" || exit 1
cat > pictures.cmd <<'CMDS'
X < design.mat
y < responses.mat
XDescription < xdescription.mat
YDescription < ydesc.mat
StochasticProcessModel < corpar.mat
RegressionModel < beta.mat
MainEffects > effects.svg
JointEffects > joint.svg
CrossValidate > cv.svg
Quit
CMDS
"$dorve" pictures.cmd > session.out 2>&1 || { cat session.out; exit 1; }

# Decodes an 8-bit RGB or RGBA PNG (no interlacing) and checks that it has
# many colours, a fair share of non-white pixels and some pixels near the
# given colour.
cat > check_png.py <<'PY'
import struct, sys, zlib

def pixels(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(path + ": not a PNG")
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        sys.exit(path + ": unexpected PNG kind %d/%d/%d" % (depth, colour, interlace))
    bpp = 3 if colour == 2 else 4
    raw, stride = zlib.decompress(idat), width * bpp
    prev, rows, i = bytearray(stride), [], 0
    for _ in range(height):
        ftype, line = raw[i], bytearray(raw[i + 1:i + 1 + stride])
        i += 1 + stride
        for x in range(stride):
            a = line[x - bpp] if x >= bpp else 0
            b = prev[x]
            c = prev[x - bpp] if x >= bpp else 0
            if ftype == 1: line[x] = (line[x] + a) & 255
            elif ftype == 2: line[x] = (line[x] + b) & 255
            elif ftype == 3: line[x] = (line[x] + (a + b) // 2) & 255
            elif ftype == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    return [tuple(r[x:x + 3]) for r in rows for x in range(0, stride, bpp)]

path, want = sys.argv[1], tuple(int(sys.argv[2][k:k + 2], 16) for k in (0, 2, 4))
px = pixels(path)
colours = set(px)
ink = sum(1 for p in px if p != (255, 255, 255))
near = sum(1 for p in px if all(abs(p[k] - want[k]) < 40 for k in range(3)))
print("%s: %d pixels, %d colours, %d not white, %d near #%s" %
      (path, len(px), len(colours), ink, near, sys.argv[2]))
if len(colours) < 8 or ink < len(px) // 200 or near < 20:
    sys.exit(path + ": blank or without its data")
PY

status=0
# file, window size, a colour of its data: the effect line, the top of the
# heat-map scale, the cross-validation points.
for picture in "effects 920,650 08519c" "joint 920,690 fde725" "cv 740,400 08519c"; do
  set -- $picture
  python3 -c "import sys, xml.etree.ElementTree as E; E.parse(sys.argv[1])" "$1.svg" ||
    { echo "$1.svg is not well-formed XML"; status=1; continue; }
  timeout 120 "$browser" --headless --disable-gpu --no-sandbox --hide-scrollbars \
    --user-data-dir="$work/profile" --screenshot="$work/$1.png" --window-size="$2" \
    "file://$work/$1.svg" > "$1.browser.log" 2>&1
  if [ ! -s "$1.png" ]; then
    echo "no screenshot of $1.svg"; cat "$1.browser.log"; status=1; continue
  fi
  python3 check_png.py "$1.png" "$3" || status=1
done
exit $status

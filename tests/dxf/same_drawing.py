# Compares the drawing of a DXF file (read with ezdxf) with the drawing hp2xx renders from a plain
# HPGL file of the same job: every point along the DXF's lines, arcs and circles must lie on one
# of hp2xx's strokes, and every point of hp2xx's strokes on the DXF's entities, within a
# tolerance in millimetres. Prints one "name value" line per finding.
#   same_drawing.py <dxf> <hpgl> <plotter units per mm> <tolerance mm>
import math
import re
import subprocess
import sys
import tempfile

import ezdxf

dxf_path, hpgl_path = sys.argv[1], sys.argv[2]
units, tolerance = float(sys.argv[3]), float(sys.argv[4])

doc = ezdxf.readfile(dxf_path)
print("audit_errors", len(doc.audit().errors))
dxf = []  # segments in mm
entities = 0
for e in doc.modelspace():
    kind = e.dxftype()
    entities += 1
    if kind == "LINE":
        dxf.append(((e.dxf.start.x, e.dxf.start.y), (e.dxf.end.x, e.dxf.end.y)))
    elif kind in ("ARC", "CIRCLE"):
        c, r = e.dxf.center, e.dxf.radius
        a0, a1 = (e.dxf.start_angle, e.dxf.end_angle) if kind == "ARC" else (0.0, 360.0)
        while a1 <= a0:
            a1 += 360.0
        n = max(4, int(a1 - a0))
        pts = [(c.x + r * math.cos(math.radians(a0 + (a1 - a0) * i / n)),
                c.y + r * math.sin(math.radians(a0 + (a1 - a0) * i / n))) for i in range(n + 1)]
        dxf += list(zip(pts, pts[1:]))
print("dxf_entities", entities)

with tempfile.NamedTemporaryFile(suffix=".gpt") as gpt:
    log = subprocess.run(["hp2xx", "-m", "gpt", "-f", gpt.name, hpgl_path],
                         stdin=subprocess.DEVNULL, capture_output=True, text=True)
    text = log.stdout + log.stderr
    print("hp2xx_ignored", re.search(r"command\(s\) ignored: *(\d+)", text).group(1))
    print("hp2xx_unexpected", re.search(r"Unexpected event\(s\): *(\d+)", text).group(1))
    lo_x, lo_y, hi_x, hi_y = map(float, re.search(
        r"Coordinate range: \((-?[\d.]+), (-?[\d.]+)\) \.\.\. \((-?[\d.]+), (-?[\d.]+)\)",
        text).groups())
    strokes, current, pen = [], [], None
    for line in open(gpt.name):
        line = line.strip()
        if line.startswith("#"):
            pen = line
            continue
        if not line:
            continue
        p = tuple(map(float, line.split()))
        if pen == "#PU" and current:
            strokes.append(current)
            current = []
        current.append(p)
    if current:
        strokes.append(current)

# hp2xx writes its picture scaled; map its extents back onto the plotter units it reported.
xs = [p[0] for s in strokes for p in s]
ys = [p[1] for s in strokes for p in s]
def to_mm(p):
    x = lo_x + (p[0] - min(xs)) * (hi_x - lo_x) / (max(xs) - min(xs))
    y = lo_y + (p[1] - min(ys)) * (hi_y - lo_y) / (max(ys) - min(ys))
    return (x / units, y / units)
hpgl = [(to_mm(a), to_mm(b)) for s in strokes for a, b in zip(s, s[1:])]
print("hpgl_segments", len(hpgl))

def distance(p, segments):
    best = math.inf
    for (ax, ay), (bx, by) in segments:
        dx, dy = bx - ax, by - ay
        t = 0.0 if dx == dy == 0 else max(0.0, min(1.0, ((p[0] - ax) * dx + (p[1] - ay) * dy)
                                                         / (dx * dx + dy * dy)))
        best = min(best, math.hypot(p[0] - ax - t * dx, p[1] - ay - t * dy))
    return best

def samples(segments):
    for (ax, ay), (bx, by) in segments:
        n = max(1, int(math.hypot(bx - ax, by - ay) / 0.5))
        for i in range(n + 1):
            yield (ax + (bx - ax) * i / n, ay + (by - ay) * i / n)

worst_dxf = max(distance(p, hpgl) for p in samples(dxf))
worst_hpgl = max(distance(p, dxf) for p in samples(hpgl))
print("dxf_off_hpgl", int(worst_dxf > tolerance), worst_dxf)
print("hpgl_off_dxf", int(worst_hpgl > tolerance), worst_hpgl)

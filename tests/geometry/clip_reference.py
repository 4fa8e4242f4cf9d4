#!/usr/bin/python3
"""Reference clipping for the geometry tests: each input line "x1 y1 x2 y2 ax ay bx by" (a
rectangle and a line) gives one output line: "empty", "point X Y", or "line X1 Y1 X2 Y2" with the
first end nearer to (ax, ay)."""
import sys

from shapely.geometry import LineString, box

with open(sys.argv[1]) as inp, open(sys.argv[2], "w") as out:
    for text in inp:
        x1, y1, x2, y2, ax, ay, bx, by = map(float, text.split())
        g = LineString([(ax, ay), (bx, by)]).intersection(box(x1, y1, x2, y2))
        if g.is_empty:
            out.write("empty\n")
        elif g.geom_type == "Point":
            out.write("point %r %r\n" % (g.x, g.y))
        elif g.geom_type == "LineString":
            p, q = g.coords[0], g.coords[-1]
            if (q[0] - ax) ** 2 + (q[1] - ay) ** 2 < (p[0] - ax) ** 2 + (p[1] - ay) ** 2:
                p, q = q, p
            out.write("line %r %r %r %r\n" % (p[0], p[1], q[0], q[1]))
        else:
            out.write("other\n")

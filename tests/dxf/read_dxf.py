# Reads a DXF file with ezdxf and prints what a CAD program sees: the number of audit errors,
# then one line per entity of the model space with its layer and geometry.
import sys

import ezdxf

doc = ezdxf.readfile(sys.argv[1])
auditor = doc.audit()
print("errors", len(auditor.errors))
for e in doc.modelspace():
    kind = e.dxftype()
    if kind == "LINE":
        s, t = e.dxf.start, e.dxf.end
        print(kind, e.dxf.layer, repr(s.x), repr(s.y), repr(t.x), repr(t.y))
    elif kind == "ARC":
        c = e.dxf.center
        print(kind, e.dxf.layer, repr(c.x), repr(c.y), repr(e.dxf.radius),
              repr(e.dxf.start_angle), repr(e.dxf.end_angle))
    elif kind == "CIRCLE":
        c = e.dxf.center
        print(kind, e.dxf.layer, repr(c.x), repr(c.y), repr(e.dxf.radius))
    else:
        print(kind, e.dxf.layer)

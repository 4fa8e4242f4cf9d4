# Reads a DXF file with ezdxf and prints what a CAD program sees of it: the number of audit
# errors, then each entity of the model space; a polyline with its layer, whether it is closed,
# and its vertices as "x,y".
import sys

import ezdxf

doc = ezdxf.readfile(sys.argv[1])
print("errors", len(doc.audit().errors))
for e in doc.modelspace():
    if e.dxftype() == "POLYLINE":
        points = " ".join("%g,%g" % (v.dxf.location.x, v.dxf.location.y) for v in e.vertices)
        print("POLYLINE", e.dxf.layer, "closed" if e.is_closed else "open", points)
    else:
        print(e.dxftype(), e.dxf.layer)

# The picture's elements as Python's XML parser sees them: its extents, each path's kind, tool
# and dash, the frame and the scale bar's length.
#   read_svg.py <picture.svg>
import sys
import xml.etree.ElementTree as ET

ns = '{http://www.w3.org/2000/svg}'
root = ET.parse(sys.argv[1]).getroot()
print('extents', root.get('data-extents'))
for p in root.iter(ns + 'path'):
    if p.get('class'):
        dash = 'dashed' if p.get('stroke-dasharray') else 'solid'
        print(p.get('class'), p.get('data-tool'), dash)
print('frame', len(root.findall(ns + 'rect[@class="extents"]')))
print('scale', root.find(ns + 'g[@class="scale"]').get('data-length'))

T3 M6
(Schaftfraeser, Durchmesser = 2.000 mm)
G0 X1.000 Y1.000 Z5.000
T4 M6
G0 X2.000 Y2.000 Z5.000
M30

%
(Wendlar demo: a one-inch square with rounded corners, a drilled hole,)
(a circle around it, outputs and a dwell. Inch, a few seconds of cutting.)
G20 G90 G17
G0 Z0.2
M3
G4 P1
G0 X0.25 Y0
G1 Z-0.05 F20
G1 X0.75 F40
G3 X1 Y0.25 I0 J0.25
G1 Y0.75
G3 X0.75 Y1 I-0.25 J0
G1 X0.25
G3 X0 Y0.75 I0 J-0.25
G1 Y0.25
G3 X0.25 Y0 I0.25 J0
G0 Z0.2
M8
G99 G81 X0.5 Y0.5 Z-0.1 R0.05 F10
G80
M9
G0 Z0.2
G0 X0.7 Y0.5
G1 Z-0.02 F20
G2 X0.7 Y0.5 I-0.2 J0 F40
G0 Z0.2
M5
G0 X0 Y0
M30
%

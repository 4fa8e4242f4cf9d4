!
! "out"
!
! Fraxon -> Datron   V1.0
!
_sprache 0;
Dimension 1;
Fkomp 0 ,0, 0, 0 ; Fräserradius-Kompensation aus
Drehzahl 0, 0, 0, 0 ; Spindel AUS
Wdef 60, 40, 5, 70, 30, 0, 0 ; Werkstückmaße  Aktiv: Schraubstock -
Axyz 1, 70, 30, 2, 0, 0 ; Eilgang
Vorschub 1, 1, 1, 1
Axyz 0, 70, 30, -1, 0, 0 ; Vorschub 3D
Axyz 0, 80, 30, -1, 0, 0 ; Vorschub 3D
! Ende Ausgabe Datron

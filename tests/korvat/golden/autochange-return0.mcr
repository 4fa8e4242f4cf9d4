!
! "out"
!
! Fraxon -> Datron   V1.0
!
_sprache 0;
Dimension 1;
Fkomp 0 ,0, 0, 0 ; Fräserradius-Kompensation aus
Drehzahl 0, 0, 0, 0 ; Spindel AUS
;
;**************
; Werkzeug Nr.: 1  Zylinderfräser  Durchmesser:2
; Automatischer Wechsel
Werkzeug 1, 0, 0, 0, 1 ; Automatischer Werkzeugwechsel
! Ende Ausgabe Datron

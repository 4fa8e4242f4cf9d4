// The supervisor's calls into the HPGL-A driver. Until that driver is part of the library, a
// type-3 job neither switches the controller to single step nor waits for it.
#include "supervision/treiber.h"

void HpglaSchrittweise(CHPGLA*) {}
int HpglaWarteFertig(CHPGLA*) { return 0; }
void HpglaNormalausgabe(CHPGLA*) {}

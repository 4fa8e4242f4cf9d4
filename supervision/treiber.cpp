// The supervisor's calls into the HPGL-A driver (machine type 3). A job without a driver object
// neither switches a controller to single step nor waits for one.
#include "supervision/treiber.h"

#include "online/hpgla/chpgla.h"

void HpglaSchrittweise(CHPGLA* driver) {
    if (driver) driver->SetzeSchrittweise();
}

int HpglaWarteFertig(CHPGLA* driver) { return driver ? driver->WarteFertig() : 0; }

void HpglaNormalausgabe(CHPGLA* driver) {
    if (driver) driver->SetzeNormalausgabe();
}

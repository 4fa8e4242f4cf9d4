// The calls the job supervisor makes into the HPGL-A driver (machine type 3), in one place.
#pragma once

class CHPGLA;

// CHPGLA::SetzeSchrittweise at the start of a job.
void HpglaSchrittweise(CHPGLA* driver);
// CHPGLA::WarteFertig: waits until the controller has finished; its result (2: the machine
// reported a fault).
int HpglaWarteFertig(CHPGLA* driver);
// CHPGLA::SetzeNormalausgabe at the end of a job.
void HpglaNormalausgabe(CHPGLA* driver);

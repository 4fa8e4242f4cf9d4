// Host records the digitizer tablets take (2-byte packing, as every host record).
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 2)

// The host's digitizer settings. The host's record goes on beyond this field; the library reads
// only the port, so only the port is declared here.
struct DIGI_STRUCT {
    int16_t Schnittstelle;  // 1 to 10: COM1 to COM10
};

// A point from the tablet, in tablet units.
struct RPOINT {
    double X;
    double Y;
};

#pragma pack(pop)

static_assert(offsetof(DIGI_STRUCT, Schnittstelle) == 0);
static_assert(sizeof(RPOINT) == 16 && offsetof(RPOINT, Y) == 8);

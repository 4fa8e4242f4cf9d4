// The machine parameter block: 768 single-precision values (3072 bytes, little-endian). The same
// layout is used in the parameter file, in the host's P_SATZ and in the estimator's memory.
// Offsets are in bytes from the start of the block; Wert[offset / 4] is the value there.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 2)

struct P_SATZ {
    union {
        float Wert[768];
        int32_t Ganz[768];  // the look-ahead depth at 2692 is a 32-bit integer
        uint32_t Wort[768];
        unsigned char Byte[3072];
    };
};

#pragma pack(pop)

static_assert(sizeof(P_SATZ) == 3072);

// Where the values lie, in bytes.
namespace psatz {
inline constexpr int kMagie[3] = {0, 4, 8};  // 0xAA55AA55, 0x44332211, 0x00AA5500 in this order
inline constexpr uint32_t kMagieWert[3] = {0xAA55AA55u, 0x44332211u, 0x00AA5500u};
inline constexpr int kAchsen = 8;                  // axis records
inline constexpr int kAchsSatz = 200;              // bytes per axis record; record i at i * 200
inline constexpr int kAchsBuchstabe = 28;          // 8-bit letter within the record
inline constexpr int kAchsGeschwindigkeit = 104;   // axis speed limit, m/min
inline constexpr int kPlanGeschwindigkeit = 2576;  // planned speed after a reset, m/min
inline constexpr int kBahnGeschwindigkeit = 2584;  // path speed limit, m/min
inline constexpr int kMinGeschwindigkeit = 2592;   // minimum path speed (x 60 gives mm/min)
inline constexpr int kBahnBeschleunigung = 2596;   // path acceleration, m/s^2
inline constexpr int kKurzFaktor = 2604;           // factor of the short-segment threshold
inline constexpr int kVorschautiefe = 2692;        // look-ahead depth, 32-bit integer
inline constexpr int kKreisFaktor = 2708;          // arc acceleration factor, 0.1 .. 2.0
inline constexpr int kAltBeschleunigung = 2720;    // alternative path acceleration, m/s^2
}  // namespace psatz

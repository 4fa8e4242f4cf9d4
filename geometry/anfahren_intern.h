// Limits and small helpers shared by the approach sources; not part of the library interface.
#pragma once

#include <cstdint>

#include "common/element.h"

namespace korvat::geometry {

// Largest magnitude of a coordinate, height, angle or radius taken from an element file (mm or
// radians): a kilometre is far beyond any machine table, and the bound keeps lengths and
// segment counts finite on damaged files.
constexpr double kGroesstwert = 1e6;
// Most 3-D lines one arc is turned into; reached only with a chord tolerance near 0.
constexpr int32_t kMaxSegmente = 100000;
// Most laps a ramp may run round (or back and forth over) a contour before the run is refused
// as -526 / 4130: a contour that needs more is far smaller than any cutter.
constexpr int32_t kMaxRunden = 1000;

inline bool IstPositionierung(const ELE_EAW& r) {
    return r.Typ == kElePositionierung || r.Typ == kElePositionierung2;
}
inline bool IstLinie(const ELE_EAW& r) { return r.Typ == kEleLinie || r.Typ == kEleLinie3D; }
inline bool IstHoehenmarke(const ELE_EAW& r) {
    return r.Typ == kEleMarke && (r.Art == 'g' || r.Art == 't');
}

}  // namespace korvat::geometry

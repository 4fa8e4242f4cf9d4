// Records of the host's tool-path element file: a plain sequence of 32-byte records, one path
// element each, little-endian, coordinates as doubles in millimetres. Record k starts at byte
// 32 * k; there is no other framing.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 2)

// One path element: a positioning, a line, the centre record of an arc, a marker.
struct ELE_EAW {
    uint8_t Typ;           // element type, see ElementTyp
    char Art;              // sub-kind letter of a marker ('g' and 't' carry a height); 0 else
    int16_t Wert;          // host value; 0 in records the approach creates
    uint8_t Attribute[4];  // host attributes, copied unchanged; 0 in records the approach creates
    double X;              // mm; the centre of an arc; the height of a 'g'/'t' marker
    double Y;              // mm
    double Z;              // mm; a height for a positioning, not used by a plane line
};

// The second record of an arc, following its centre record. Angles in radians from +X; a
// positive sweep runs counter-clockwise.
struct ELE_ARC {
    uint8_t Typ;  // always 4
    char Art;
    int16_t Wert;
    uint8_t Attribute[4];
    double Start;   // start angle
    double Winkel;  // sweep, signed
    double Radius;  // mm
};

#pragma pack(pop)

// Element types of the file.
enum ElementTyp : uint8_t {
    kEleKopf = 'U',           // file header
    kElePositionierung = 1,   // positioning to the start of a contour
    kEleLinie = 2,            // line in the plane at the current depth
    kEleLinie3D = 3,          // line in space
    kEleBogen = 4,            // arc: centre record plus ELE_ARC
    kElePositionierung2 = 6,  // second kind of positioning
    kEleMarke = 13,           // marker; sub-kind 'g' or 't' carries a height in X
};

static_assert(sizeof(ELE_EAW) == 32);
static_assert(sizeof(ELE_ARC) == 32);
static_assert(offsetof(ELE_EAW, Wert) == 2 && offsetof(ELE_EAW, Attribute) == 4);
static_assert(offsetof(ELE_EAW, X) == 8 && offsetof(ELE_EAW, Y) == 16 &&
              offsetof(ELE_EAW, Z) == 24);
static_assert(offsetof(ELE_ARC, Start) == 8 && offsetof(ELE_ARC, Winkel) == 16 &&
              offsetof(ELE_ARC, Radius) == 24);

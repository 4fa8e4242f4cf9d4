// Clipping of tool-path lines to an axis-parallel rectangle (the working area), and the
// geometric helpers for clipping arcs: where an arc's circle crosses a horizontal or vertical
// boundary, and whether a point on the circle lies within the arc's angular range.
//
// The rectangle, the on/off switch and the current arc are held once for the whole library
// (every CCLIPP object sees the same), zero at load: clipping is off until Aktiv(1).
#pragma once

#include <cstdint>

#pragma pack(push, 2)

struct RPOINT {
    double X, Y;  // mm
};

struct RPOINT3 {
    double X, Y, Z;  // mm
};

// An arc as the host passes it. Angles in radians from +X; a positive sweep runs
// counter-clockwise.
struct BOGEN {
    double MX, MY;            // centre, mm
    double Weiter1, Weiter2;  // host values, not read here
    float Radius;             // mm
    float Start;              // start angle
    float Winkel;             // sweep, signed
};

#pragma pack(pop)

class CCLIPP {
  public:
    // Switches clipping on (ein != 0) or off.
    void Aktiv(int16_t ein);
    // Sets the rectangle (x1 <= x2, y1 <= y2) and the rectangle widened by 0.001 on each side.
    void SetzeBereich(float x1, float y1, float x2, float y2);
    // 1 when p lies in the rectangle, boundary included; else 0.
    int16_t TesteKoordinate(RPOINT* p);
    // The same against the widened rectangle.
    int16_t TesteKoordinate_a(RPOINT* p);
    // Clips the line p1 -> p2. Returns 4: use it unchanged (clipping off or both ends inside;
    // q1, q2 not written); 0: nothing visible; 1: only the start moved; 2: only the end moved;
    // 3: both moved. q1 -> q2 is the visible part, in the direction of p1 -> p2.
    int16_t Linie(RPOINT* p1, RPOINT* p2, RPOINT* q1, RPOINT* q2);
    // No effect; returns 0.
    int16_t Linie3(RPOINT3* p1, RPOINT3* p2, RPOINT3* q1, RPOINT3* q2);
    // Stores b as the current arc. Returns 0.
    int16_t Bogen(BOGEN* b, BOGEN* aus);
    // No effect; returns 0.
    int16_t BogenNext(BOGEN* b);
    // -1 when the current arc has no radius or no sweep; otherwise not negative when the point
    // p (on the arc's circle) lies within the arc's angular range. winkel receives the point's
    // angle, adjusted towards the arc's sweep (1000.0 when there is none).
    int16_t TesteBogenbereich(RPOINT* p, float* winkel);
    // The points where the current arc crosses Y = y strictly inside the rectangle's X range:
    // anzahl 0, 1 (in s1) or 2 (s1 left, s2 right). A tangent is no crossing. Returns 0.
    int16_t BogSchnittWaag(float y, RPOINT* s1, RPOINT* s2, float* w1, float* w2, int16_t* anzahl,
                           int16_t* frei);
    // The same with X = x inside the Y range; with two, s1 is the lower one. Returns 0.
    int16_t BogSchnittSenk(float x, RPOINT* s1, RPOINT* s2, float* w1, float* w2, int16_t* anzahl,
                           int16_t* frei);
    // No effect; returns 0.
    int16_t Pik(RPOINT* p);
};

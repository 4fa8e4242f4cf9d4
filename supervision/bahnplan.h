// The look-ahead time estimator: a model of a controller that plans its path speed across block
// boundaries (corner limits, block processing time, braking ahead) from the machine parameter
// set. Units: lengths mm, speeds mm/min, accelerations mm/min^2, times minutes.
//
// Speed profile of one segment (v_cur at its start, peak, end at its joint with the next):
//
//   speed
//    peak |      ____________
//         |     /            \_
//         |    /               \___ end (at most the next segment's entry limit)
//   v_cur |___/
//         +--------------------------- path
//           acc.   cruise     dec.
//
// The library holds one estimator, `bahnplan`; only the job supervisor calls it.
#pragma once

#include <cstdint>

#include "common/psatz.h"

class CBAHNPLAN {
  public:
    static constexpr int kRing = 103;                  // segment records in the ring
    static constexpr int kUnbenutzt = 255;             // axis index: not used
    static constexpr float kKuerzest = 1.0f / 256.0f;  // shorter segments are dropped

    struct Segment {
        uint8_t Art;         // 2 line, 6 arc
        uint8_t Gueltig;     // 1 while queued, 0 once timed
        uint8_t Verkettet;   // continues its predecessor without a stop
        uint8_t Flags;       // bit 0 feed through the feed hook, bit 2 alternative acceleration
        int32_t Code;        // 333 XYZ line, 334 XY line, 400 arc
        int32_t Achse[3];    // axis indices, 255 = not used
        int32_t Reserve[2];  // spare axis indices, always 255
        float Ende[3];
        float MitteX, MitteY, Radius, Startwinkel, Winkel;  // arcs; start angle in -pi..pi
        float Arbeitsgrenze;                                // working speed limit
        float Vorschub;                                     // programmed feed
        float MinStart;                                     // minimum start speed (v_min)
        float GrenzeKopie;                                  // speed limit copy
        float MinEnde;                                      // minimum end speed (v_min)
        float Eintritt;                                     // entry speed limit
        float Zentripetal;                                  // centripetal limit (arcs)
        float Endgrenze;                                    // final speed limit
        float Laenge;
        int32_t Nummer;  // serial
    };

    // Loads the parameter set: from directory + "\DummyPara.bin" on the first call of the
    // process (defaults when the file is missing, short or has wrong magic words), then resets.
    // Returns non-zero: a parameter set is in place.
    int Lade(const char* directory);
    // Reads the parameter file at path (null: none) and takes it over, or the defaults when it
    // is missing, short or has wrong magic words; marks the set loaded, no reset. Returns 1 when
    // the file was taken, 0 when the defaults were.
    int LadeDatei(const char* path);
    // Takes a block over (converted copy and short-segment threshold); no reset.
    void Uebernehme(const P_SATZ& block);
    // Fills block with the defaults (magic words 0).
    static void Vorgaben(P_SATZ* block);
    // Forgets that the file was read, so the next Lade reads it again (for tests).
    void Vergessen() { geladen_ = 0; }

    // Back to standstill: derived values recomputed, queue empty, pending time 0, v_cur v_min.
    // Positions stay.
    void Reset();
    // position[axis] := coordinate for each index that is not 255; nothing is timed.
    void SetzePosition(const int (&achsen)[3], const float (&werte)[3]);
    // Queues a line to end (axes as above) at feed; length is taken from `laenge` when
    // gegebeneLaenge is set.
    void Linie(const int (&achsen)[3], const float (&ende)[3], float feed, int flags,
               int gegebeneLaenge, float laenge, int code);
    // Queues an arc around (cx, cy) of radius r from angle start sweeping `winkel` (radians,
    // positive counter-clockwise) to (ex, ey, ez).
    void Kreis(const int (&achsen)[3], float cx, float cy, float r, float start, float winkel,
               float ex, float ey, float ez, float feed, int flags, int code);
    // Times every queued segment, resets, and returns the time pending before the reset.
    float NimmZeit();

    // The raw block as taken over, and its converted copy (speeds mm/min, accelerations mm/min^2).
    P_SATZ Roh{};
    P_SATZ Umgerechnet{};

    // Derived values.
    float VMin{};              // minimum path speed
    float VMinHalb{};          // half minimum speed
    float Eckschritt{};        // corner speed step
    float Kurzstrecke{};       // short-segment threshold, mm
    float A{}, A2{}, AHalb{};  // path acceleration, 2a, a/2
    float AKreis{};            // arc acceleration
    int32_t Vorschaugrenze{};  // at most this many segments stay queued (1..103)
    float Blockzeit[3]{};      // block-time limits per mm: lines, arcs, third
    float VMinAlternativ{};    // taken over, not used further

    // Ring: Schwanz is the next free record, Kopf the oldest queued; Anzahl records from Kopf
    // on are queued (Schwanz == (Kopf + Anzahl) mod kRing; full when Anzahl == Vorschaugrenze).
    Segment Ring[kRing]{};
    int Schwanz{}, Kopf{}, Anzahl{};

    int32_t LetzteAchsen[5]{};  // axis indices of the last queued segment
    float VAkt{};               // speed at the end of the last timed segment
    float PlanSpitze{}, PlanEnde{}, PlanBeschl{}, PlanBrems{}, PlanBremsBeginn{};
    float Zeit{};         // minutes timed since the last take
    float Richtung[8]{};  // direction cosines at the end of the last queued segment
    int32_t Seriennummer{};
    float Position[8]{};
    uint8_t Modus{};  // acceleration mode of the last recomputation; 5 forces one

  private:
    void Ableiten(int modus);
    void TaktKopf();
    float Ecke(float v, float alt, float neu) const;
    float Profil(float laenge, float& vs, float& vp, float& ve) const;
    float Vorausschau(float v, float weg) const;
    Segment& Platz();
    void Einreihen(Segment& s);

    int geladen_{};
    float vMinNeu_{};  // v_min of the last take-over, used from the next reset on
};

// The library's one estimator; read and driven by the job supervisor.
extern CBAHNPLAN bahnplan;

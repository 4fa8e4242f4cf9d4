// Tool life accounting: for the tools of one job in their order of use, the path each has cut,
// and a worn mark once that path passes a limit. Paths are in the unit of the caller's
// arguments and of the limit.
#pragma once

#include <cstdint>

class CSTANDZEIT {
  public:
    static constexpr int16_t kAbgenutzt = 85;  // 'U': the slot's path passed the limit

    CSTANDZEIT() { Init(); }
    ~CSTANDZEIT() {}

    // Clears tools, paths and marks; limit 100000.0, current slot 0, not loaded. Returns 0.
    int16_t Init();
    // Starts a job: slot 0 := count, slots 1..10 := tools[0..9] (always ten values are read),
    // paths and marks cleared, limit := limit, slot 0 current. Returns 0.
    int16_t Laden(short count, short* tools, float limit);
    // Adds a positive path to the current slot; returns 1 while that slot's path is above the
    // limit (its mark then reads 85), else 0. A path of 0 or less changes nothing and gives 0.
    int16_t Aufaddieren(float path);
    // Steps to the next slot and returns its tool number; -1 (staying) past slot 10 or at a tool
    // number below 1.
    int16_t NaechstesWerkzeug();
    // The path of the latest slot, from the current one down to slot 0, whose tool word is tool
    // (slot 0's word is the count); 0.0 when none is.
    float GebeAktuellenWeg(short tool);
    // Does nothing. Returns 0.
    int16_t Pruefen(float* value);

    int16_t Werkzeug[11];  // slot 0 the count, slots 1..10 the tools in order of use
    float Weg[11];         // path cut in each slot; slot 0 before the first tool change
    int16_t Abgenutzt[11];
    int16_t Geladen;  // 85 after Laden
    float Grenze;     // path limit
    int16_t Aktuell;  // current slot
};

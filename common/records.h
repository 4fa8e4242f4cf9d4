// Host records shared with the CAD/CAM host. The host and the library share these layouts, so
// every record is packed to 2 bytes: a member is aligned to at most 2 bytes (a char followed by a
// float leaves one filler byte). Fields stand in the host's order. Sizes that the host fixes are
// guarded with static_assert below.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 2)

// One axis of the machine settings.
struct ACHSE {
    float MaxGeschwindigkeit;  // m/min
    char Adresse;              // axis address letter, 0 = default (X, Y, Z, A)
    char MittelpunktAdresse;   // arc-centre letter of the first three axes, 0 = default (I, J, K)
};

// The host's settings record for one machine. Only read by the library.
struct MaschEinstellung {
    int16_t MaschTyp;       // dialect number within the DIN family
    int32_t Optionen;       // option bits, copied by every writer at Open
    uint8_t Schnittstelle;  // 1..10 COM1..COM10, 11 and above LPT1 onwards, 0 none
    uint8_t Handshake;      // 0 hardware handshake (CTS), other Xon/Xoff
    int32_t Baudrate;
    uint8_t Paritaet;  // 1 odd, 2 even, other none
    uint8_t Datenbits;
    uint8_t Stopbits;      // 0 one, other two
    char Dateiendung[16];  // output file extension, without the dot
    ACHSE Achse[4];        // X, Y, Z, rotary
    float Massstab[3];     // X, Y, Z scale; 0.001 or less means 1.0
    // Block numbering, decimals and output switches of the DIN and Heidenhain writers.
    char GModal;               // 'z': leave out a repeated motion word
    int32_t ErsteSatznummer;   // first block number (0 means 1, 999999999 means 0)
    int32_t LetzteSatznummer;  // last block number before the wrap (0 means 999999999)
    int8_t Nachkommastellen;   // decimals of coordinates (0 means 3)
    int8_t Drehzahlausgabe;    // >= 0: speed words on
    int8_t Vorschubausgabe;    // >= 0: feed words on
    int8_t Spindelausgabe;     // >= 0: spindle on/off words on
    int8_t Eilgangausgabe;     // >= 0: rapid moves on
    int8_t Wechselausgabe;     // >= 0: tool-change blocks on
    int8_t Anfahrlogik;        // > 0: ordered approach of rapid moves
    int8_t Eintauchvorschub;   // >= 0: plunge-feed adaption
    int16_t WechselMCode2;     // second tool-change M number
    int16_t WechselMCode;      // tool-change M number (less than 1 means 6)
    int8_t DrehzahlImEilgang;  // 1: speed word on rapid blocks
    char WechselZeile[80];     // tool-change line template, empty for "T%1d M%1d"
    uint8_t LptModus;          // bit 0 byte-by-byte writing, bit 1 1 ms pause after each byte
    char KommentarAuf[20];     // comment opener, empty for "("
    char KommentarZu[20];      // comment closer, empty for ")"
    int8_t VorschubFormat;
    int8_t MaxNachkommastellen;  // 0 means 5
    // Heidenhain writer.
    int8_t KreisrichtungTauschen;  // non-zero: DR+ and DR- change roles
    int8_t MitRohteil;             // >= 0: BLK FORM blocks
    char HdhOptionen[3];           // rapid option ('U' FMAX), M13 option, Q option ('U')
    int8_t QParameter;             // non-zero allows Q-parameter words
    // VHF writer.
    int8_t VhfPositionierModus;  // non-zero: rapid moves as VS + PA, zero: GA
    // EUROBOX driver; these lie in one group in this order.
    uint8_t EuroboxTAus;
    uint8_t EuroboxV2;
    uint8_t EuroboxW2;
    uint8_t EuroboxW1;
    uint8_t EuroboxT2;
    uint8_t EuroboxZ2;
    float EuroboxMitteX;  // mm
    float EuroboxMitteY;  // mm
    float EuroboxA2;      // mm
    float EuroboxO1;      // mm
    float EuroboxO2;      // mm
};

// The host's unit record, given to every Init.
struct InitStruct {
    char MaschTypBuchstabe;  // machine type letter; 'Z' marks the extra head
    float Aufloesung[3];     // X, Y, Z resolution in machine units per millimetre
    float Weitere[5];        // further values that single drivers take over
    int32_t Ganzzahl;
    uint8_t Bytes[5];
    float Schluss[3];
};

// Block/status information the drivers report to the host.
struct BSTINFO {
    int32_t Wert;
    int32_t Bereich1Von, Bereich1Bis;
    int32_t Bereich2Von, Bereich2Bis;
    uint8_t Klein[6];
    char Achsbuchstaben[16];  // zero-terminated axis letters
};

// The host's tool magazine table. Entries 1..Anzahl are used; entry 0 is not read.
struct WZW_PB_STRUCT {
    int16_t Anzahl;  // 1..60
    float X[61];
    float Y[61];
    float Z[61];
    int16_t Platz[61];
    int16_t Werkzeug[61];  // tool number held by the place
    float ZWert;
};

// A position read back from a machine: X, Y, Z, A first.
struct FLAGPOS {
    float Pos[8];
    int16_t Gueltig[8];
};

// The host's tool record.
struct AWKZDAT {
    uint8_t Art;          // 0 engraving tool, 1 end mill, 2 ball mill
    float Kugelradius;    // first float: ball radius (also the tool radius of the Datron writer)
    float Winkel;         // tool angle in radians
    float Spitzenradius;  // tip radius
    float Schaftradius;   // shaft radius
    float Durchmesser;    // tool diameter, mm
    float Laenge;         // sixth float: tool length, mm
};

#pragma pack(pop)

static_assert(sizeof(ACHSE) == 6);
static_assert(sizeof(InitStruct) == 2 + 8 * 4 + 4 + 5 + 1 + 3 * 4);
static_assert(offsetof(InitStruct, Aufloesung) == 2);
static_assert(offsetof(InitStruct, Bytes) == 38);
static_assert(offsetof(InitStruct, Schluss) == 44);
static_assert(offsetof(BSTINFO, Klein) == 20 && offsetof(BSTINFO, Achsbuchstaben) == 26);
static_assert(sizeof(WZW_PB_STRUCT) == 2 + 3 * 61 * 4 + 2 * 61 * 2 + 4);
static_assert(offsetof(WZW_PB_STRUCT, Werkzeug) == 2 + 3 * 61 * 4 + 61 * 2);
static_assert(sizeof(FLAGPOS) == 8 * 4 + 8 * 2);
static_assert(offsetof(AWKZDAT, Kugelradius) == 2);
static_assert(offsetof(MaschEinstellung, Optionen) == 2);
static_assert(offsetof(MaschEinstellung, Baudrate) == 8);

#include "channel/serleitung.h"

#include <cstddef>
#include <cstring>

#include "channel/line_common.h"

using namespace korvat::channel;

// The digitizers' one serial line, zero-filled at load; both tablet readers use it.
CSERLEITUNG serleitung;

short CSERLEITUNG::popen(short port, short* openedBefore, short mode) {
    Geraeteart = mode;
    AntwortmodusVorgabe = Antwortmodus = 1;
    Lesezeit = 5500;
    Schreibzeit = 2000;
    Stillzeitablauf = 0;
    const bool ersteOeffnung = !openedBefore || *openedBefore == 0;
    if (ersteOeffnung) {
        Port.Close();  // a line left open would keep the device busy for this open
        char* von = reinterpret_cast<char*>(&PortOffen);
        std::memset(von, 0, static_cast<size_t>(reinterpret_cast<char*>(&NieGeaendert) - von));
        NieGeaendert = -1;
    }
    if (port == 0 || (!ersteOeffnung && PortOffen)) {
        if (openedBefore) *openedBefore = 1;
        return 0;
    }
    char name[32];
    Geraetename(port, name, sizeof name, &SeriellerPort);
    if (!OeffneGeraet(Port, name)) {
        Oeffnungsfehler(*this, name);
        return 1;
    }
    PortOffen = 1;
    if (SeriellerPort) {
        char text[64];
        Leitungsbeschreibung(text, sizeof text, 9600, 0, 8, 1);
        SetzeLeitung(Port, text, Handshake);
    }
    pflush();
    if (openedBefore) *openedBefore = 1;
    return 0;
}

short CSERLEITUNG::pclose(short closePort) {
    if (PortOffen && closePort) {
        Port.Close();
        PortOffen = 0;
    }
    return 0;
}

short CSERLEITUNG::pflush() {
    if (PortOffen) Verwerfen(Port);
    return 0;
}

void CSERLEITUNG::pflush_input() {
    if (PortOffen) Port.Purge(true, false);
}

short CSERLEITUNG::poutstr(const char* text) {
    if (Fehlerflag || !PortOffen) return 1;
    if (!text) text = "";
    tastaturabfrage();
    if (Geraeteart == 3) pflush_input();
    return static_cast<short>(
        SchreibeBlock(*this, text, static_cast<uint32_t>(std::strlen(text)), false));
}

short CSERLEITUNG::pinchr_sofort(char* out) {
    if (!out) return 0;
    out[0] = '\0';
    if (Fehlerflag || !PortOffen) return 0;
    Port.SetTimeouts({0, 0, 10, 10, 10});
    uint8_t c;
    if (Port.Read(&c, 1) != 1) {
        Aufgelegt(*this);
        return 0;
    }
    out[0] = static_cast<char>(c);
    return 1;
}

short CSERLEITUNG::pinstr(char* out, short crEndsAnswer) {
    if (!out) return 1;
    out[0] = '\0';
    if (Fehlerflag || !PortOffen) return 1;
    const bool modus3 = Geraeteart == 3;
    int anzahl = 0;
    // One byte per read, so that what follows the end of an answer (the LF after a CR) stays
    // queued for the next read.
    int result = LeseAntwort(*this, 1, [&](const uint8_t* b, uint32_t n, int* result) {
        for (uint32_t i = 0; i < n; ++i) {
            const uint8_t c = b[i];
            if (c == 10) {
                if (!crEndsAnswer) {
                    *result = 0;
                    if (!modus3) return true;
                }
                if (modus3) return false;  // drops the rest of this read
            } else if (c == 13) {
                if (crEndsAnswer) {
                    *result = 0;
                    return true;
                }
            } else if (SpeichereZeichen(*this, out, &anzahl, c, result)) {
                return true;
            }
        }
        return false;
    });
    out[anzahl] = '\0';
    return static_cast<short>(result);
}

short CSERLEITUNG::tastaturabfrage() {
    Tastaturschleife(false, &Fehlerflag, &Tastenabbruch, &LetzteTaste);
    return 0;
}

void CSERLEITUNG::FortsetzenFragen(int code) { Fortsetzen(*this, code); }

void CSERLEITUNG::anacommerror(unsigned long bits) { Leitungsfehler(*this, bits); }

void CSERLEITUNG::psfehler(int code, int number1, int32_t number2, const char* text1,
                           const char* text2) {
    Fehlernummer = code;
    Fehlerzahl1 = number1;
    Fehlerzahl2 = number2;
    Satztext(Fehlertext1, text1);
    Satztext(Fehlertext2, text2);
    Fehlerflag = 1;
}

short CSERLEITUNG::SetzeAbbruchTaste() {
    Fehlerflag = 1;
    Tastenabbruch = 1;
    return 1;
}

int CSERLEITUNG::SetzeTimeout(int on, int ms) { return Zeitvorgaben(*this, on, ms, 2000); }

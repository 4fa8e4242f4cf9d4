#include "channel/line_common.h"

#include <cstdio>
#include <cstring>

#include "common/fxtexte.h"
#include "common/wintypes.h"
#include "platform/dialogs.h"
#include "platform/events.h"

namespace korvat::channel {

int32_t Jetzt() { return static_cast<int32_t>(platform::NowMs() & 0xFFFFFF); }

bool Abgelaufen(int32_t start, int32_t ms) {
    int32_t vergangen = (Jetzt() - start) & 0xFFFFFF;
    return vergangen > ms;
}

bool Geraetename(int schnittstelle, char* out, size_t size, int32_t* seriell) {
    int w;
    if (schnittstelle <= 10) {
        w = std::snprintf(out, size, "\\\\.\\COM%1d", schnittstelle);
        *seriell = 1;
    } else {
        w = std::snprintf(out, size, "\\\\.\\LPT%1d", schnittstelle - 10);
        *seriell = 0;
    }
    return w >= 0 && static_cast<size_t>(w) < size;
}

bool OeffneGeraet(platform::SerialLine& port, const char* name) {
    char pfad[256];
    if (!platform::ResolveDeviceName(name, pfad, sizeof pfad)) return false;
    return port.Open(pfad);
}

bool Leitungsbeschreibung(char* out, size_t size, int32_t baud, int paritaet, int datenbits,
                          int stopbits) {
    char p = paritaet == 1 ? 'o' : paritaet == 2 ? 'e' : 'n';
    char s = stopbits == 0 ? '1' : '2';
    int w = std::snprintf(out, size, "baud=%1d parity=%c data=%1d stop=%c", static_cast<int>(baud),
                          p, datenbits, s);
    return w >= 0 && static_cast<size_t>(w) < size;
}

void SetzeLeitung(platform::SerialLine& port, const char* beschreibung, int handshake) {
    platform::LineDescription d{};
    if (platform::ParseLineDescription(beschreibung, &d)) {
        if (handshake == 0) {
            d.ctsOutFlow = true;
        } else {
            d.xonLimit = 5;
            d.xoffLimit = 50;
            d.xonChar = 0x11;
            d.xoffChar = 0x13;
        }
        port.Configure(d);
    }
    port.SetQueueSizes(260, 260);
}

void Verwerfen(platform::SerialLine& port) {
    if (!port.IsOpen()) return;
    port.SetTimeouts({1, 2, 2, 10, 10});
    char weg[150];
    port.Read(weg, sizeof weg);
    port.Purge(true, true);
}

int FehlercodeAusBits(unsigned long bits, bool modus3) {
    if (bits & platform::kFaultFraming) return kRahmenfehler;
    if (bits & platform::kFaultOverrun) return kUeberlauf;
    if (bits & platform::kFaultRxOverflow) return modus3 ? kLeitungsfehler : kEmpfangspufferVoll;
    if (bits & platform::kFaultParity) return kParitaetsfehler;
    return kLeitungsfehler;
}

bool FrageFortsetzen(int code) {
    char titel[32];
    std::snprintf(titel, sizeof titel, "Fehlernummer %4d", code);
    char erster[256] = "";
    char zweiter[256] = "";
    LadeRcString(code == kNichtAbgenommen ? 7019 : 7018, erster, 255);
    LadeRcString(7040, zweiter, 255);
    char text[sizeof erster + sizeof zweiter + 1];
    std::snprintf(text, sizeof text, "%s\n%s", erster, zweiter);
    return platform::Dialogs().MessageBox(nullptr, text, titel, MB_YESNO | MB_ICONSTOP) == IDYES;
}

void Tastaturschleife(bool andereTastenBeenden, int32_t* fehlerflag, int32_t* tastenabbruch,
                      uint8_t* letzteTaste) {
    if (!platform::HasKeyEvent()) return;
    bool naechsteBeendet = false;
    platform::Event e;
    while (platform::TakeEvent(&e)) {
        if (naechsteBeendet) break;  // this event is dropped
        if (e.kind == platform::Event::KeyDown) {
            if (e.key == VK_ESCAPE) {
                *fehlerflag = 1;
                *tastenabbruch = 1;
            } else if (andereTastenBeenden) {
                naechsteBeendet = true;
            }
            *letzteTaste = static_cast<uint8_t>(e.key);
        } else if (e.kind == platform::Event::Paint) {
            platform::DispatchPaint(e.window);
            naechsteBeendet = true;
        }
    }
}

void Satztext(char (&feld)[256], const char* text) {
    std::snprintf(feld, sizeof feld, "%s", text ? text : "");
}

}  // namespace korvat::channel

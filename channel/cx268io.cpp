// The output channel. Port side: the serial line of the platform layer, under the Windows
// time-out model. File side: the platform's file calls behind one library-wide 64 KiB buffer.
#include "channel/cx268io.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "channel/line_common.h"
#include "platform/clock.h"
#include "platform/files.h"

using namespace korvat::channel;
namespace pf = korvat::platform;

// The library's one channel, zero-filled at load. Every driver and writer writes through it;
// the online drivers hand its address to the host.
CCX268IO cx268io;

namespace {
// Set by every popen, read by poutstr: byte-by-byte writing to a parallel port, and the 1 ms
// pause after each byte written that way.
bool byteweiseSchreiben = false;
bool pauseNachByte = false;

// The output file's write buffer, shared by the whole library; its fill count lives in the
// channel (PufferAnzahl).
constexpr int kPuffer = 65536;
char Dateipuffer[kPuffer];

// Longest text poutstrln takes: the line buffer holds it, CR LF and the terminator.
constexpr size_t kZeilenpuffer = 312;
constexpr size_t kLaengsteZeile = kZeilenpuffer - 3;
// pbfrage/pbfrageln build ESC + command (+ CR LF) + terminator in a buffer of this size.
constexpr size_t kFragepuffer = 108;
}  // namespace

int CCX268IO::popen(short pollSwitch, short portWanted, const MaschEinstellung* settings,
                    const char* basePath, int* openedBefore, int geraeteart) {
    byteweiseSchreiben = false;
    pauseNachByte = false;
    TastaturAbfrage = pollSwitch;
    Handshake = settings ? settings->Handshake : 0;
    Geraeteart = geraeteart;
    AntwortmodusVorgabe = Antwortmodus = geraeteart == 1 ? 1 : 0;
    Lesezeit = 5500;
    Schreibzeit = 3000;
    Stillzeitablauf = 0;

    const bool ersteOeffnung = !openedBefore || *openedBefore == 0;
    if (ersteOeffnung) {
        // A port the host forgot to close would otherwise keep the device busy for this open.
        Port.Close();
        PortOffen = 0;
        Unbenutzt = 0;
        B268Status[4] = 0;
        B268Warten = 0;
        LetzteTaste = 0;
        NieGeaendert = -1;
        DateiHandle = -1;
        Dateipfad[0] = '\0';
    }

    if (portWanted && (ersteOeffnung || !PortOffen)) {
        const int schnittstelle = settings ? settings->Schnittstelle : 0;
        char name[32];
        Geraetename(schnittstelle, name, sizeof name, &SeriellerPort);
        if (!SeriellerPort && settings && (settings->LptModus & 1)) {
            byteweiseSchreiben = true;
            pauseNachByte = (settings->LptModus & 2) != 0;
        }
        if (!OeffneGeraet(Port, name)) {
            // Device names carry no code of their own on Windows; ours are 1001 and 1023.
            Oeffnungsfehler(*this, name);
            return 1;
        }
        PortOffen = 1;
        if (SeriellerPort) SetzeParameter(settings);
        pflush();
    }

    int ergebnis = 0;
    if (basePath) {
        // A file still open from an earlier open is finished first, so nothing buffered for it
        // ends up in the new file.
        if (DateiOffen && DateiHandle >= 0) {
            BufferWegschreiben();
            pf::FileClose(DateiHandle);
            DateiOffen = 0;
        }
        const char* endung = settings ? settings->Dateiendung : "";
        int w = std::snprintf(Dateipfad, sizeof Dateipfad, "%s.%.*s", basePath,
                              static_cast<int>(sizeof settings->Dateiendung), endung);
        // A path that does not fit Dateipfad is refused rather than cut to another file's name.
        DateiHandle =
            w >= 0 && static_cast<size_t>(w) < sizeof Dateipfad ? pf::FileCreate(Dateipfad) : -1;
        if (DateiHandle < 0) {
            Zugriffsfehler(*this, kDateiNichtAngelegt, basePath);
            PufferAnzahl = 0;
            ergebnis = 1;
        } else {
            DateiOffen = 1;
        }
    }
    if (openedBefore) *openedBefore = 1;
    return ergebnis;
}

int CCX268IO::SetzeParameter(const MaschEinstellung* settings) {
    if (!settings) return 0;
    char text[64];
    Leitungsbeschreibung(text, sizeof text, settings->Baudrate, settings->Paritaet,
                         settings->Datenbits, settings->Stopbits);
    SetzeLeitung(Port, text, settings->Handshake);
    return 0;
}

int CCX268IO::SetzeTimeout(int on, int ms) { return Zeitvorgaben(*this, on, ms, 3000); }

int CCX268IO::pclose(int closePort, int closeFile) {
    if (PortOffen && closePort) {
        Port.Close();
        PortOffen = 0;
    }
    if (DateiOffen && closeFile) {
        BufferWegschreiben();
        pf::FileClose(DateiHandle);
        DateiHandle = -1;
        DateiOffen = 0;
    }
    if (closePort == 2) {
        // The status part: flags, the error record, LetzteTaste and the B268 wait word.
        char* von = reinterpret_cast<char*>(&PortOffen);
        std::memset(von, 0, static_cast<size_t>(reinterpret_cast<char*>(&Port) - von));
    }
    return 0;
}

int CCX268IO::poutstr(const char* text) {
    if (Fehlerflag) return 1;
    if (!text) text = "";
    // The whole length counts (not a 16-bit count), so a text of 64 KiB or more is not cut.
    const uint32_t n = static_cast<uint32_t>(std::strlen(text));
    int ergebnis = 1;
    if (PortOffen) {
        tastaturabfrage();
        if (Geraeteart == 3) pflush_input();
        if (!byteweiseSchreiben) {
            ergebnis = SchreibeBlock(*this, text, n, true);
        } else {
            Port.SetTimeouts(
                {0, static_cast<uint32_t>(Lesezeit), 20, static_cast<uint32_t>(Schreibzeit), 10});
            uint32_t i = 0;
            while (i < n) {
                if (Port.Write(text + i, 1) == 1) {
                    ++i;
                    if (pauseNachByte && i < n) pf::Sleep(1);
                    continue;
                }
                if (!Aufgelegt(*this)) FortsetzenFragen(kNichtAbgenommen);
                if (Fehlerflag) break;
            }
            if (i == n) ergebnis = 0;
        }
    }
    if (DateiOffen) {
        SchreibeAufDatei(text, static_cast<int>(n));
        tastaturabfrage();
    }
    return ergebnis;
}

int CCX268IO::poutstrln(const char* text) {
    if (Fehlerflag) return 1;
    if (!text) text = "";
    return poutzeile(text, std::strlen(text));
}

int CCX268IO::poutzeile(const char* text, size_t n) {
    if (Fehlerflag) return 1;
    if (n > kLaengsteZeile) {
        // Refused whole: a cut block would send the machine a different coordinate. The record
        // names the length and the start of the line; the channel stops like on any error.
        char anfang[kZeilenpuffer];
        std::memcpy(anfang, text, kLaengsteZeile);
        anfang[kLaengsteZeile] = '\0';
        psfehler(kZeileZuLang, static_cast<int>(n), static_cast<int32_t>(kLaengsteZeile), anfang,
                 "", 0.0f, 0.0f, 0.0f);
        return 1;
    }
    if (!PortOffen && DateiOffen && PufferAnzahl + n + 2 <= static_cast<size_t>(kPuffer)) {
        // What poutstr does for a file alone, without the copy: the line and its end into the
        // file buffer (it has room, so nothing is written yet), then the keyboard poll.
        std::memcpy(Dateipuffer + PufferAnzahl, text, n);
        std::memcpy(Dateipuffer + PufferAnzahl + n, "\r\n", 2);
        PufferAnzahl += static_cast<int32_t>(n + 2);
        tastaturabfrage();
        return 1;
    }
    char zeile[kZeilenpuffer];
    std::memcpy(zeile, text, n);
    std::memcpy(zeile + n, "\r\n", 3);
    return poutstr(zeile);
}

int CCX268IO::poutchar(char c) {
    const char text[2] = {c, '\0'};
    return poutstr(text);
}

int CCX268IO::poutcrlf() { return poutstr("\r\n"); }

int CCX268IO::pinchr(char* out) {
    if (!out) return 1;
    out[0] = '\0';
    if (Fehlerflag) return 1;
    if (!PortOffen) return DateiOffen ? 0 : 1;
    const bool modus1 = Geraeteart == 1;
    return LeseAntwort(*this, 1, [&](const uint8_t* b, uint32_t n, int* result) {
        for (uint32_t i = 0; i < n; ++i) {
            if (b[i] == 3 || b[i] == 4) {
                if (!modus1) continue;  // read on
                if (b[i] == 3) {
                    *result = 3;
                    Abgelehnt = 1;
                } else {
                    *result = 4;
                    Stoppanforderung = 1;
                }
                Fehlerflag = 1;
                return true;
            }
            out[0] = static_cast<char>(b[i]);
            *result = 1;
            return true;
        }
        return false;
    });
}

int CCX268IO::pinstr(char* out) {
    if (!out) return 1;
    out[0] = '\0';
    if (Fehlerflag) return 1;
    if (!PortOffen) return DateiOffen ? 0 : 1;
    const bool modus1 = Geraeteart == 1;
    const bool modus3 = Geraeteart == 3;
    int anzahl = 0;
    int result = LeseAntwort(*this, 98, [&](const uint8_t* b, uint32_t n, int* result) {
        for (uint32_t i = 0; i < n; ++i) {
            const uint8_t c = b[i];
            if (c == 10) *result = 0;
            if ((c == 3 || c == 4 || c == 10) && !modus1) return false;  // drops the rest
            switch (c) {
                case 3:
                    *result = 3;
                    Fehlerflag = 1;
                    Abgelehnt = 1;
                    return true;
                case 4:
                    *result = 4;
                    Fehlerflag = 1;
                    Stoppanforderung = 1;
                    for (uint32_t k = i + 1; k < n; ++k)
                        if (b[k] == 3) Abgelehnt = 1;
                    return true;
                case 10:
                    return true;
                case 13:
                    break;
                case '!':
                    *result = 0;
                    if (modus3 && anzahl > 8) return true;
                    break;
                default:
                    if (SpeichereZeichen(*this, out, &anzahl, c, result)) return true;
                    break;
            }
        }
        return false;
    });
    out[anzahl] = '\0';
    return result;
}

int CCX268IO::pbfrage(const char* command, char* answer) { return Frage(command, answer, false); }

int CCX268IO::pbfrageln(const char* command, char* answer) { return Frage(command, answer, true); }

int CCX268IO::Frage(const char* command, char* answer, bool zeilenende) {
    if (answer) answer[0] = '\0';
    if (Fehlerflag) return 1;
    if (!PortOffen) return DateiOffen ? 0 : 1;
    if (!command) command = "";
    const size_t n = std::strlen(command);
    if (n + 4 > kFragepuffer) {
        psfehler(kZeileZuLang, static_cast<int>(n), static_cast<int32_t>(kFragepuffer - 4), command,
                 "", 0.0f, 0.0f, 0.0f);
        return 1;
    }
    char text[kFragepuffer];
    text[0] = 0x1B;
    std::memcpy(text + 1, command, n);
    std::memcpy(text + 1 + n, zeilenende ? "\r\n" : "", zeilenende ? 3 : 1);
    int r = poutstr(text);
    if (r != 0) return r;
    char leer[100];
    return pinstr(answer ? answer : leer);
}

int CCX268IO::pflush() {
    if (PortOffen) Verwerfen(Port);
    return 0;
}

void CCX268IO::pflush_input() {
    if (PortOffen) Port.Purge(true, false);
}

int CCX268IO::pcheckser() { return Handshake == 0 && !Port.CtsOn() ? 0 : 1; }

void CCX268IO::SchreibeAufDatei(const char* data, int length) {
    if (Fehlerflag || !data || length <= 0) return;
    uint32_t n = static_cast<uint32_t>(length);
    // A buffer count of exactly 65536 stays in the buffer; one byte more writes the full block.
    while (PufferAnzahl + n > kPuffer) {
        const uint32_t teil = kPuffer - PufferAnzahl;
        std::memcpy(Dateipuffer + PufferAnzahl, data, teil);
        if (pf::FileWrite(DateiHandle, Dateipuffer, kPuffer) != kPuffer) Schreibfehler();
        PufferAnzahl = 0;
        data += teil;
        n -= teil;
    }
    std::memcpy(Dateipuffer + PufferAnzahl, data, n);
    PufferAnzahl += static_cast<int32_t>(n);
}

int CCX268IO::BufferWegschreiben() {
    if (PufferAnzahl != 0) {
        const uint32_t n = static_cast<uint32_t>(PufferAnzahl);
        if (pf::FileWrite(DateiHandle, Dateipuffer, n) != static_cast<int32_t>(n)) Schreibfehler();
    }
    PufferAnzahl = 0;
    return 0;
}

int32_t CCX268IO::GebeDateiZeiger() {
    if (!DateiOffen) return -1;
    BufferWegschreiben();
    return pf::FileSeek(DateiHandle, 0, 1);
}

int CCX268IO::SetzeDateiZeiger(int32_t position) {
    if (!DateiOffen) return -1;
    return pf::FileSeek(DateiHandle, position, 0) < 0 ? -1 : 0;
}

int CCX268IO::NachtragenInDatei(int32_t position, int length, const char* data) {
    if (!DateiOffen) return -1;
    if (pf::FileSeek(DateiHandle, position, 0) < 0) return -1;
    if (length > 0 && data) {
        if (pf::FileWrite(DateiHandle, data, static_cast<uint32_t>(length)) != length)
            Schreibfehler();
    }
    return 0;
}

void CCX268IO::Schreibfehler() { Zugriffsfehler(*this, kDateiSchreibfehler, Dateipfad); }

void CCX268IO::anacommerror(unsigned long bits) { Leitungsfehler(*this, bits); }

void CCX268IO::psfehler(int code, int number1, int32_t number2, const char* text1,
                        const char* text2, float f1, float f2, float f3) {
    Fehlernummer = code;
    Fehlerzahl1 = number1;
    Fehlerzahl2 = number2;
    Satztext(Fehlertext1, text1);
    Satztext(Fehlertext2, text2);
    Fehlerwert[0] = f1;
    Fehlerwert[1] = f2;
    Fehlerwert[2] = f3;
    Fehlerflag = 1;
}

void CCX268IO::FortsetzenFragen(int code) { Fortsetzen(*this, code); }

int CCX268IO::tastaturabfrage() {
    if (TastaturAbfrage) Tastaturschleife(true, &Fehlerflag, &Tastenabbruch, &LetzteTaste);
    return 0;
}

int CCX268IO::SetzeAbbruchTaste() {
    Fehlerflag = 1;
    Tastenabbruch = 1;
    Stoppanforderung = 1;
    return 1;
}

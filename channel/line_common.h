// The pieces the output channel (CCX268IO) and the digitizers' serial line (CSERLEITUNG) share:
// device naming and opening, the line set-up, the time base and time-out supervision, the
// question box, the fault mapping, the keyboard poll, and the two loops that write a block and
// read an answer. Both classes call these, so they behave alike wherever they are alike.
//
// The templates work on either class: they use the members both have under the same names
// (Port, Fehlerflag, Abgelehnt, Tastenabbruch, the error record, Antwortmodus, Stillzeitablauf,
// Lesezeit, Schreibzeit, Startzeit, Geraeteart, tastaturabfrage, anacommerror, FortsetzenFragen).
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "platform/clock.h"
#include "platform/line_wait.h"
#include "platform/serial_line.h"

namespace korvat::channel {

// Codes both lines report.
enum : int {
    kGeraetNichtOffen = 1001,  // the device cannot be opened
    kDateiNichtAngelegt = 1005,
    kDateiSchreibfehler = 1007,
    kRahmenfehler = 1011,
    kUeberlauf = 1013,
    kEmpfangspufferVoll = 1014,
    kParitaetsfehler = 1015,
    kLeitungsfehler = 1016,
    kAntwortZuLang = 1017,
    kKeineAntwort = 1018,
    kNichtAbgenommen = 1019,
    kZeileZuLang = 1020,   // a text does not fit the line buffer
    kAufgelegt = 1022,     // the line hung up (the far end is gone)
    kGeraetBelegt = 1023,  // another program has the device open
};

// The process clock in milliseconds, low 24 bits: the time base of Startzeit.
int32_t Jetzt();
// True when more than ms milliseconds have passed since start (a Jetzt() reading). Counted
// modulo 2^24, so a wait that spans the wrap of the 24-bit clock still ends on time.
bool Abgelaufen(int32_t start, int32_t ms);

// Builds "\\.\COMn" for Schnittstelle 1 to 10 and "\\.\LPT(n-10)" for 11 and above (0 gives
// "\\.\COM0", which no device answers). *seriell is 1 for a COM port. False if out is too small.
bool Geraetename(int schnittstelle, char* out, size_t size, int32_t* seriell);
// Opens the named device on port (the name resolved to a path on this system).
bool OeffneGeraet(platform::SerialLine& port, const char* name);

// Fills "baud=%1d parity=%c data=%1d stop=%c" from the settings' codes: parity 1 odd, 2 even,
// other none; stop bits 0 one, other two. Returns false when out is too small.
bool Leitungsbeschreibung(char* out, size_t size, int32_t baud, int paritaet, int datenbits,
                          int stopbits);
// Sets the line up from such a text: binary raw line, RTS handshake, with Handshake 0 CTS output
// flow control, otherwise none (Xon/Xoff limits 5 and 50 and the characters 0x11/0x13 are kept
// in the description, but Xon/Xoff itself stays off in both directions); driver queues 260
// bytes. Failures are not reported: the line keeps what it had.
void SetzeLeitung(platform::SerialLine& port, const char* beschreibung, int handshake);
// Reads and drops up to 150 bytes that are still arriving, then discards both queues.
void Verwerfen(platform::SerialLine& port);

// The error code for line-fault bits: framing 1011, else overrun 1013, else receive overflow
// 1014 (1016 in mode 3), else parity 1015, else 1016.
int FehlercodeAusBits(unsigned long bits, bool modus3);

// Shows the question "go on?" for code: caption "Fehlernummer %4d", message text 7019 (code
// 1019) or 7018, a line break, text 7040; Yes/No with the stop icon, owned by no window.
// True when the operator answered Yes.
bool FrageFortsetzen(int code);

// The keyboard poll over the event queue: only when a key-down is queued. Removes events one at
// a time: a key-down stores its key in *letzteTaste, Escape also sets *fehlerflag and
// *tastenabbruch; a paint event is passed on to its window and ends the poll, and so does any
// other key when andereTastenBeenden is true. The poll ends with the next removal after such an
// event (that event is dropped); every other event is dropped too.
void Tastaturschleife(bool andereTastenBeenden, int32_t* fehlerflag, int32_t* tastenabbruch,
                      uint8_t* letzteTaste);

// Copies text (null: empty) into a record text of 256 bytes, cut at 255 characters.
void Satztext(char (&feld)[256], const char* text);

// A device or file the line cannot open or write, into the record: code (1001 a device, 1005 a
// file not created, 1007 a write fault), both numbers 0, the device or file name as the first
// text, the second empty; Fehlerflag stops the line.
template <class L>
void Zugriffsfehler(L& l, int code, const char* name) {
    l.Fehlernummer = code;
    l.Fehlerzahl1 = 0;
    l.Fehlerzahl2 = 0;
    Satztext(l.Fehlertext1, name);
    l.Fehlertext2[0] = '\0';
    l.Fehlerflag = 1;
}

// A device that OeffneGeraet could not open, into the record: 1023 when another program holds
// it, else 1001; the device name as the first text, the path it resolved to as the second, the
// system's error number as the first number; Fehlerflag stops the line.
template <class L>
void Oeffnungsfehler(L& l, const char* name) {
    const int grund = l.Port.OpenError();
    Zugriffsfehler(l, grund == EBUSY ? kGeraetBelegt : kGeraetNichtOffen, name);
    l.Fehlerzahl1 = grund;
    Satztext(l.Fehlertext2, l.Port.Path());
}

// A line whose far end is gone (the machine hung up, the adapter was pulled) will never take or
// send anything again: asking the operator to wait on would wait forever. Records 1022 with the
// device path as the first text (once) and stops the line. True when the line hung up.
template <class L>
bool Aufgelegt(L& l) {
    if (!l.Port.HungUp()) return false;
    if (l.Fehlernummer != kAufgelegt) Zugriffsfehler(l, kAufgelegt, l.Port.Path());
    l.Fehlerflag = 1;
    return true;
}

// SetzeTimeout of either line. With on: both times = ms, Antwortmodus and Stillzeitablauf on
// (the caller waits at most ms and takes a time-out as result 6, without asking). Without: the
// line's standard times (5500 ms reading, schreibzeit writing), Antwortmodus back to the default
// of the open, Stillzeitablauf off. Returns the default Antwortmodus.
template <class L>
int Zeitvorgaben(L& l, int on, int ms, int32_t schreibzeit) {
    if (on) {
        l.Lesezeit = l.Schreibzeit = ms;
        l.Antwortmodus = 1;
        l.Stillzeitablauf = 1;
    } else {
        l.Lesezeit = 5500;
        l.Schreibzeit = schreibzeit;
        l.Antwortmodus = l.AntwortmodusVorgabe;
        l.Stillzeitablauf = 0;
    }
    return l.AntwortmodusVorgabe;
}

// The question for code, with its effect on the line: Yes restarts the time (Startzeit) and
// clears Fehlernummer; No sets Fehlerflag and Abgelehnt and leaves code in Fehlernummer, so the
// record the host shows after the job names what was declined.
template <class L>
void Fortsetzen(L& l, int code) {
    platform::LineWait frage(platform::WaitKind::None);  // the question is shown instead
    if (FrageFortsetzen(code)) {
        l.Startzeit = Jetzt();
        l.Fehlernummer = 0;
    } else {
        l.Fehlernummer = code;
        l.Fehlerflag = 1;
        l.Abgelehnt = 1;
    }
}

// Line-fault bits into the record: numbers 0 (the first is NieGeaendert + 1), texts empty, the
// code of the bits; 1016 stops the line at once, every other code asks whether to go on.
template <class L>
void Leitungsfehler(L& l, unsigned long bits) {
    if (bits == 0) return;
    l.Fehlerzahl1 = l.NieGeaendert + 1;
    l.Fehlerzahl2 = 0;
    l.Fehlertext1[0] = '\0';
    l.Fehlertext2[0] = '\0';
    l.Fehlernummer = FehlercodeAusBits(bits, l.Geraeteart == 3);
    if (l.Fehlernummer == kLeitungsfehler) {
        l.Fehlerflag = 1;
    } else {
        l.FortsetzenFragen(l.Fehlernummer);
    }
}

// After the time allowed, with Antwortmodus on: ends the read with result 6 under
// Stillzeitablauf, otherwise clears the record's numbers and first text (and the second with
// beideTexte) and asks the question for code. Returns true when the read must end (*result is
// then 6): Stillzeitablauf, or the operator declined.
template <class L>
bool Zeitueberwachung(L& l, int32_t erlaubt, int code, bool beideTexte, int* result) {
    if (!l.Antwortmodus || !Abgelaufen(l.Startzeit, erlaubt)) return false;
    if (!l.Stillzeitablauf) {
        l.Fehlerzahl1 = 0;
        l.Fehlerzahl2 = 0;
        l.Fehlertext1[0] = '\0';
        if (beideTexte) l.Fehlertext2[0] = '\0';
        l.FortsetzenFragen(code);
        if (!l.Fehlerflag) return false;  // Yes: Startzeit was reset, waiting goes on
    }
    *result = 6;
    return true;
}

// Writes text as one block under the block time-outs (about Schreibzeit + 10 ms for the whole
// text). A hang-up ends it at once (1022). A short write asks question 1019 (with ctsTest only when
// the machine is not holding the line) and writes the rest again, until all is out or Fehlerflag is
// set. Returns 0 when all of the text went out, else 1.
template <class L>
int SchreibeBlock(L& l, const char* text, uint32_t n, bool ctsTest) {
    if (n == 0) return 0;
    platform::LineWait warten(platform::WaitKind::TakeMore);
    l.Port.SetTimeouts(
        {0, static_cast<uint32_t>(l.Lesezeit), 20, static_cast<uint32_t>(l.Schreibzeit) / n, 10});
    uint32_t done = 0;
    for (;;) {
        done += l.Port.Write(text + done, n - done);
        if (done >= n) return 0;
        if (Aufgelegt(l)) return 1;
        if (!ctsTest || l.pcheckser() == 1) l.FortsetzenFragen(kNichtAbgenommen);
        // Also poll the keyboard, so that Escape ends the wait for a machine that holds the
        // line and never takes the data.
        if (!l.Fehlerflag) l.tastaturabfrage();
        if (l.Fehlerflag) return 1;
    }
}

// Reads one answer: the drain wait (until the transmit queue is empty, question 1019 after
// Schreibzeit), then reads of up to chunk bytes (at most 98), each handed to
// bytes(data, n, &result), which returns true when the answer has ended. After each read the
// keyboard is polled and Lesezeit supervised (question 1018). Ends on an ended answer,
// Tastenabbruch, Fehlerflag or a hang-up (1022). Returns the result code (1 when nothing ended the
// answer).
template <class L, class Bytes>
int LeseAntwort(L& l, uint32_t chunk, Bytes&& bytes) {
    int result = 1;
    bool ende = false;
    l.Startzeit = Jetzt();
    {
        platform::LineWait senden(platform::WaitKind::TakeMore);
        for (;;) {
            platform::LineState st = l.Port.ClearErrors();
            if (Aufgelegt(l)) return result;
            l.tastaturabfrage();
            if (st.faults) {
                l.anacommerror(st.faults);
            } else {
                ende = Zeitueberwachung(l, l.Schreibzeit, kNichtAbgenommen, false, &result);
            }
            if (st.outQueue == 0 || l.Fehlerflag || ende) break;
            platform::Sleep(1);
        }
    }
    if (ende || l.Fehlerflag) return result;

    l.Startzeit = Jetzt();
    l.Port.SetTimeouts({0, 0, 10, 10, 10});
    platform::LineWait antwort(platform::WaitKind::Answer);
    uint8_t buffer[98];
    if (chunk > sizeof buffer) chunk = sizeof buffer;
    do {
        uint32_t n = l.Port.Read(buffer, chunk);
        ende = bytes(buffer, n, &result);
        if (!ende && Aufgelegt(l)) return result;
        l.tastaturabfrage();
        if (!ende) ende = Zeitueberwachung(l, l.Lesezeit, kKeineAntwort, true, &result);
    } while (!ende && !l.Tastenabbruch && !l.Fehlerflag);
    return result;
}

// Stores byte c as the next answer character; after 99 characters the answer is too long:
// result 5, record cleared, code 1017, Fehlerflag. Returns true when that ended the answer.
template <class L>
bool SpeichereZeichen(L& l, char* out, int* count, uint8_t c, int* result) {
    out[(*count)++] = static_cast<char>(c);
    if (*count < 99) return false;
    l.Fehlerzahl1 = 0;
    l.Fehlerzahl2 = 0;
    l.Fehlertext1[0] = '\0';
    l.Fehlertext2[0] = '\0';
    l.Fehlernummer = kAntwortZuLang;
    l.Fehlerflag = 1;
    *result = 5;
    return true;
}

}  // namespace korvat::channel

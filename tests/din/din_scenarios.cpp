#include "din_scenarios.h"

#include <cmath>

namespace korvat::test::din {

namespace {

constexpr double kPi = 3.14159265358979323846;

AWKZDAT EndMill(float shaftRadius) {
    AWKZDAT t{};
    t.Art = 1;
    t.Schaftradius = shaftRadius;
    return t;
}
AWKZDAT BallMill(float radius) {
    AWKZDAT t{};
    t.Art = 2;
    t.Kugelradius = radius;
    return t;
}
AWKZDAT Engraver(float tipRadius, float angleDegrees) {
    AWKZDAT t{};
    t.Art = 0;
    t.Spitzenradius = tipRadius;
    t.Winkel = static_cast<float>(angleDegrees * kPi / 180.0);
    return t;
}

void NoChange(MaschEinstellung&) {}

// Tool, spindle with dwell, plunges (straight and ramped), the 5 % feed rule, arcs: quarter,
// full circle, one too short to write, one that becomes a line, a helix; dwell, stop, spindle off.
void Plain(CDIN& d, Expect& e) {
    AWKZDAT mill = EndMill(1.5f);
    d.SetzeVorschuebe(1000, 200);
    d.WkzW(1, 5, &mill);
    e.Tool(5);
    d.Spinddreh(12000);
    d.Spindea(1, 2);
    e.Speed(12000);
    e.Dwell(2);
    d.Move3(0, 0, 5);
    e.Rapid(0, 0, 5);
    d.MoveZ(0);
    e.Rapid(0, 0, 0);
    d.Draw3(0, 0, -2);  // straight down: Z feed
    e.Line(0, 0, -2, 200);
    d.Draw(10, 0);
    e.Line(10, 0, -2, 1000);
    d.Draw3(20, 0, -4);  // ramp: 1019.8 capped at the XY feed
    e.Line(20, 0, -4, 1000);
    d.SetzeVorschub(1040);
    d.Draw(20, 10);
    e.Line(20, 10, -4, 1040);
    d.SetzeVorschub(1060);
    d.Draw(10, 10);
    e.Line(10, 10, -4, 1060);
    d.Kreis(10, 0, 10, kPi / 2, kPi / 2, 0, 0, -4, 0);
    e.Arc(0, 0, -4, 10, 0, 1);
    d.Kreis(5, 0, 5, kPi, -2 * kPi, 0.0004, -0.0003, -4, 0);  // ends at its start
    e.Arc(0, 0, -4, 5, 0, -1);
    d.Kreis(5, 0, 5, kPi, 0.5, 0, 0, -4, 0);  // end at the start, not a full turn: nothing
    d.Kreis(0.005, 0, 0.005, kPi, -kPi, 0.01, 0, -4, 0);
    e.Line(0.01, 0, -4, 0);
    d.Kreis(5.01, 0, 5, kPi, -kPi, 10.01, 0, -5, 83);
    e.Arc(10.01, 0, -5, 5.01, 0, -1);
    d.MoveZ(5);
    e.Rapid(10.01, 0, 5);
    d.Wait(0.5f);
    e.Dwell(0.5);
    d.Stop();
    d.Spindea(0, 0);
}

void NumberedSettings(MaschEinstellung& s) {
    s.Optionen = 4 | 512;
    s.ErsteSatznummer = 10;
    s.LetzteSatznummer = 12;
}
void Numbered(CDIN& d, Expect& e) {
    d.SetzeVorschuebe(500, 100);
    d.Move(1, 2);
    e.Rapid(1, 2, 0);
    d.Draw(3, 4);
    e.Line(3, 4, 0, 500);
    d.SStringln(1, "(Kommentar)");
    d.Draw(5, 6);
    e.Line(5, 6, 0, 500);
    d.SStringln(0, "(ohne Nummer)");
    d.Stop();
}

void ModalSettings(MaschEinstellung& s) {
    s.GModal = 'z';
    s.Anfahrlogik = 1;
    s.Nachkommastellen = 6;
    s.MaxNachkommastellen = 4;
    s.DrehzahlImEilgang = 1;
    s.Optionen = 1024;
}
// Modal motion words and the ordered approach down and up.
void Modal(CDIN& d, Expect& e) {
    d.Spinddreh(8000);
    e.Speed(8000);
    d.Move3(10, 0, 5);
    e.Rapid(10, 0, 5);
    d.Move3(20, 0, -1);
    e.Rapid(20, 0, -1);
    d.Move3(30, 0, 5);
    e.Rapid(30, 0, 5);
    d.Move3(30, 0, 2);
    e.Rapid(30, 0, 2);
    d.SetzeVorschuebe(800, 100);
    d.Draw(40, 0);
    e.Line(40, 0, 2, 800);
    d.Draw(50, 0);
    e.Line(50, 0, 2, 800);
    d.Kreis(50, 10, 10, -kPi / 2, kPi, 50, 20, 2, 0);
    e.Arc(50, 20, 2, 50, 10, 1);
    d.Kreis(50, 10, 10, kPi / 2, kPi / 2, 40, 10, 2, 0);
    e.Arc(40, 10, 2, 50, 10, 1);
    d.MoveZ(5);
    e.Rapid(40, 10, 5);
}

void RadiusSettings(MaschEinstellung& s) { s.Optionen = 1048576; }
// Radius form: 3 pi / 2 in three quarters, 5 pi / 4 with a rest, a helix over pi.
void Radius(CDIN& d, Expect& e) {
    d.SetzeVorschuebe(600, 100);
    d.Move3(10, 0, 0);
    e.Rapid(10, 0, 0);
    d.Kreis(0, 0, 10, 0, 3 * kPi / 2, 0, -10, 0, 0);
    e.Arc(0, -10, 0, 0, 0, 1);
    d.Move3(10, 0, 0);
    e.Rapid(10, 0, 0);
    double c = 10 * std::cos(5 * kPi / 4), s = 10 * std::sin(5 * kPi / 4);
    d.Kreis(0, 0, 10, 0, 5 * kPi / 4, c, s, 0, 0);
    e.Arc(c, s, 0, 0, 0, 1);
    d.Move3(10, 0, 0);
    e.Rapid(10, 0, 0);
    d.Kreis(0, 0, 10, 0, kPi, -10, 0, -2, 83);
    e.Arc(-10, 0, -2, 0, 0, 1);
    c = 10 * std::cos(3 * kPi / 4);
    s = 10 * std::sin(3 * kPi / 4);
    d.Kreis(0, 0, 10, kPi, -kPi / 4, c, s, -2, 0);
    e.Arc(c, s, -2, 0, 0, -1);
}

void MirroredSettings(MaschEinstellung& s) {
    s.Optionen = 2 | 262144;
    s.Massstab[0] = -1;
    s.Massstab[1] = 1;
    s.Massstab[2] = 1;
}
// X mirrored, workpiece offsets, absolute centres: machine coordinates X' = 10 - x, Y' = y + 5.
void Mirrored(CDIN& d, Expect& e) {
    d.SetzePosInfos(100, 50, 0, 0, 0, 0, 0, 60, 30, 1);
    d.SetzeVorschuebe(1000, 100);
    d.Move3(0, 0, 1);
    e.Rapid(10, 5, 1);
    d.Draw(10, 0);
    e.Line(0, 5, 1, 1000);
    d.Kreis(10, 5, 5, -kPi / 2, kPi, 10, 10, 1, 0);  // counter-clockwise, mirrored: clockwise
    e.Arc(0, 15, 1, 0, 10, -1);
    d.Move_abs(0, 0);
    e.Rapid(0, 0, 1);
    d.Movez_abs(5);
    e.Rapid(0, 0, 5);
}

void ToolsSettings(MaschEinstellung& s) { std::strcpy(s.WechselZeile, "T$X M06"); }
// Magazine places, the tool-line template, tool comments, negative dwell, I/O comments.
void Tools(CDIN& d, Expect& e) {
    static WZW_PB_STRUCT magazine{};
    magazine.Anzahl = 3;
    magazine.Werkzeug[1] = 7;
    magazine.Werkzeug[2] = 5;
    magazine.Werkzeug[3] = 9;
    d.WZWPplusB(&magazine, 1);
    AWKZDAT ball = BallMill(1.0f), engraver = Engraver(0.1f, 30);
    d.WkzW(1, 5, &ball);
    e.Tool(2);
    d.WkzW(1, 4, &engraver);
    e.Tool(4);
    d.Spinddreh(10000);
    d.Spindea(1, -500);
    e.Speed(10000);
    e.Dwell(0.5);
    d.Sensor(1, 2, 0.5f);
    d.Actuator(3, 'E');
    float result = 0;
    short valid = 0;
    d.Abtasten(1, 2, 3, 7, &result, &valid);
}

void Bit8192Settings(MaschEinstellung& s) { s.Optionen = 8192; }
void Bit8192(CDIN& d, Expect&) {
    AWKZDAT mill = EndMill(1.5f);
    d.SetzeVorschuebe(1200, 300);
    d.WkzW(1, 3, &mill);
    d.Spinddreh(15000);
    d.Spindea(1, 2);
    d.Move3(0, 0, 5);
    d.Draw3(0, 0, -1);
    d.Draw3(10, 0, -1);
    d.Kreis(15, 0, 5, kPi, 2 * kPi, 10, 0, -1, 0);
    d.MoveZ(5);
}

void Bit16384Settings(MaschEinstellung& s) { s.Optionen = 4 | 16384; }
void Bit16384(CDIN& d, Expect&) {
    AWKZDAT engraver = Engraver(0.05f, 60);
    d.SetzePosInfos(80, 40, 10, 0, 0, 0, 0, 0, 0, 0);
    d.SetzeVorschuebe(1000, 250);
    d.WkzW(1, 7, &engraver);
    d.Spinddreh(18000);
    d.Spindea(1, 0);
    d.Move3(5, 5, 2);
    d.Draw3(5, 5, -0.5);
}

void Bit32768Settings(MaschEinstellung& s) { s.Optionen = 32768 | 512; }
// Offsets from the workpiece length, Z-only rapid moves, the simple plunge feed, G97 blocks.
void Bit32768(CDIN& d, Expect& e) {
    d.SetzePosInfos(100, 60, 0, 0, 0, 0, 0, 0, 0, 0);
    d.SetzeVorschuebe(900, 150);
    d.Spinddreh(12000);
    d.Spindea(1, 3);
    e.Speed(12000);
    e.Dwell(3);
    d.Move3(10, 10, 5);
    e.Rapid(10, -50, 5);
    d.Move3(10, 10, 1);
    e.Rapid(10, -50, 1);
    d.Draw3(10, 10, -1);
    e.Line(10, -50, -1, 150);
    d.Draw3(20, 10, -1);
    e.Line(20, -50, -1, 900);
    d.Spinddreh(14000);
    d.Move3(20, 10, 5);
    e.Speed(14000);
    e.Rapid(20, -50, 5);
    d.Spinddreh(16000);
    d.Move_abs(0, 0);
    e.Rapid(0, 0, 5);
    e.Speed(16000);
}

void Bit2048Settings(MaschEinstellung& s) { s.Optionen = 2048 | 128 | 1024; }
void Bit2048(CDIN& d, Expect&) {
    d.WkzW(1, 3, nullptr);
    d.Spinddreh(12000);
    d.SetzeVorschuebe(500, 100);
    d.Draw(2, 2);
    d.Spindea(1, 0);
}

void Dialect13Settings(MaschEinstellung& s) {
    s.MaschTyp = 13;
    s.Optionen = 128;
    s.WechselMCode2 = 6;
}
// The control's own rotary engraving (G115), M67, G22 L8099, the E word before any motion.
void Dialect13(CDIN& d, Expect&) {
    d.Spinddreh(9000);
    d.Spindea(1, 0);
    d.NeuerZWbk(1);
    d.WzlEinAus(1);
    d.AenderungDurchmesser('E', 40);
    d.InitTeilk(1, 'X', 0, 40, 1, 1000);
    d.WkzW(0, 2, nullptr);
    d.Move(5, 5);
    d.WkzW(1, 3, nullptr);
    d.AenderungDurchmesser('E', 30);
}

void Dialect15Settings(MaschEinstellung& s) { s.MaschTyp = 15; }
void Dialect15(CDIN& d, Expect&) {
    AWKZDAT mill = EndMill(1.5f);
    d.WkzW(1, 1, &mill);
}

void Dialect19Settings(MaschEinstellung& s) { s.MaschTyp = 19; }
void Dialect19(CDIN& d, Expect&) { d.Sensor(1, 0, 2); }

void Dialect20Settings(MaschEinstellung& s) { s.MaschTyp = 20; }
void Dialect20(CDIN& d, Expect&) {
    d.WzlEinAus(1);
    d.WkzW(1, 1, nullptr);
    d.WkzW(1, 2, nullptr);
}

// X replaced by the rotary axis A on a cylinder of 50 mm: degrees, direction words, the free
// axis brought to 0 after a tool change.
void RotaryX50(CDIN& d, Expect&) {
    d.Richtungsueberwachung = 1;
    d.InitTeilk(1, 'X', 0, 50, 1, 1000);
    d.SetzeVorschuebe(1000, 100);
    d.Move3(10, 0, 2);
    d.Draw(5, 0);
    d.Draw(8, 0);
    d.Kreis(8, 1, 1, -kPi / 2, kPi, 8, 2, 2, 0);
    d.WkzW(1, 1, nullptr);
    d.Move(4, 4);
}

void MirroredX(MaschEinstellung& s) {
    s.Massstab[0] = -1;
    s.Massstab[1] = 1;
    s.Massstab[2] = 1;
}
// 120 mm: four decimals; X mirrored: direction words exchanged, arcs turned round.
void RotaryX120(CDIN& d, Expect&) {
    d.Richtungsueberwachung = 1;
    d.InitTeilk(1, 'X', 0, 120, 1, 1000);
    d.SetzeVorschuebe(1000, 100);
    d.Move(10, 0);
    d.Draw(20, 0);
    d.Kreis(20, 1, 1, -kPi / 2, kPi / 2, 21, 1, 0, 0);
}

void FiveAxisSettings(MaschEinstellung& s) { s.Nachkommastellen = 2; }
void FiveAxis(CDIN& d, Expect&) {
    d.SetzeVorschuebe(700, 100);
    d.Move5(0, 1, 2, 3, 45, 90);
    d.Draw5(0, 4, 5, 6, 10.5, -20.25);
    d.Zustellachse('W', 2.5f);
}

}  // namespace

const std::vector<Scenario>& Scenarios() {
    static const std::vector<Scenario> all = {
        {"plain.ngc", NoChange, Plain, true, false},
        {"numbered.ngc", NumberedSettings, Numbered, true, false},
        {"modal.ngc", ModalSettings, Modal, true, false},
        {"radius.ngc", RadiusSettings, Radius, true, false},
        {"mirrored_offsets.ngc", MirroredSettings, Mirrored, true, true},
        {"tools.ngc", ToolsSettings, Tools, true, false},
        {"bit32768.ngc", Bit32768Settings, Bit32768, true, false},
        {"bit8192.ngc", Bit8192Settings, Bit8192, false, false},
        {"bit16384.ngc", Bit16384Settings, Bit16384, false, false},
        {"bit2048_128.ngc", Bit2048Settings, Bit2048, false, false},
        {"dialect13.ngc", Dialect13Settings, Dialect13, false, false},
        {"dialect15.ngc", Dialect15Settings, Dialect15, false, false},
        {"dialect19.ngc", Dialect19Settings, Dialect19, false, false},
        {"dialect20.ngc", Dialect20Settings, Dialect20, false, false},
        {"rotary_x50.ngc", NoChange, RotaryX50, false, false},
        {"rotary_x120.ngc", MirroredX, RotaryX120, false, false},
        {"five_axis.ngc", FiveAxisSettings, FiveAxis, false, false},
    };
    return all;
}

MaschEinstellung DefaultSettings() {
    MaschEinstellung s{};
    std::strcpy(s.Dateiendung, "ngc");
    return s;
}

Written Write(const Scenario& s) {
    Written w;
    TempDir dir;
    MaschEinstellung settings = DefaultSettings();
    s.settings(settings);
    cx268io.pclose(2, 1);
    CDIN writer;
    int openedBefore = 0;
    EXPECT_EQ(writer.Open(0, &settings, 0, dir.File("werkst").c_str(), &openedBefore, "PROG"), 0);
    s.calls(writer, w.expect);
    writer.Close(1, 1);
    EXPECT_EQ(cx268io.Fehlernummer, 0) << cx268io.Fehlertext1;
    cx268io.pclose(2, 1);
    w.bytes = ReadFile(dir.File("werkst.ngc"));
    return w;
}

}  // namespace korvat::test::din

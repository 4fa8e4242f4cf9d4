// Writer adapters: each puts one library writer class behind the Sink interface (the library
// classes have no virtual members, so each gets a small adapter) and adds the program's life
// cycle: Open with the machine's records, Close.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "channel/cx268io.h"

#include "tools/korvat/profile.h"
#include "tools/korvat/sink.h"

namespace korvat::tool {

class Writer : public Sink {
  public:
    // Init and Open with the machine's records, then the profile's magazine and the class's own
    // settings. basePath is the program file without its extension (the writer appends "." +
    // Dateiendung), or null to write to the port only. Returns the writer's Open result: 0 when
    // the program is open.
    virtual int Open(const Machine& machine, const char* basePath, const char* programName) = 0;
    // Writes the program tail and closes the file and the port.
    virtual void Close() = 0;
    // True when the class writes tool numbers as magazine places (it has WZWPplusB).
    virtual bool RecodesTools() const = 0;
    // True when the class takes the workpiece (it has SetzePosInfos).
    virtual bool TakesWorkpiece() const = 0;
    // True once the writer has stopped: its own error record (the writers that keep one) or the
    // channel's holds an error. Cheap enough to ask after every call.
    virtual bool Failed() const = 0;
    // Why it stopped, for a message after the output's path ("no space left on device"); empty
    // while nothing failed.
    virtual std::string Failure() const = 0;
    // The blocks of a finished program for the summary, from its size and the line ends written
    // into it: a text program's lines, the last one counted without its line end.
    virtual uint64_t Blocks(uint64_t bytes, uint64_t lineEnds, char lastByte) const {
        return lineEnds + (bytes > 0 && lastByte != '\n' ? 1 : 0);
    }
};

// The cause of a writer error for the machinist: a failed write by its system reason, else the
// error number and the record's texts.
std::string DescribeWriterError(int code, const char* text1, const char* text2);
// A line to the machine that could not be opened or hung up, from a line's error record
// (1001, 1022, 1023 with the numbers and texts the line records): one phrase naming the device
// path ("/dev/ttyS1 is busy: another program has it open (error 1023)"); empty for other codes.
std::string DescribeLineError(int code, int number1, const char* text1, const char* text2);

struct WriterClass {
    const char* name;       // the class name a profile gives as [machine] class
    const char* feedUnit;   // the unit in which the class takes feeds, unless the profile says
    const char* extension;  // Dateiendung when the profile leaves it empty
    std::unique_ptr<Writer> (*make)();
    // The largest coordinate (in mm, either sign) the dialect writes as it is meant. Text
    // formats without a field width get a machine's sane range, kMachineRange; a class that
    // writes step counts (steps = true: 32-bit integers of mm times the profile's resolution)
    // also stays within those.
    double limit = kMachineRange;
    bool steps = false;

    static constexpr double kMachineRange = 99999.999;
};

// The largest coordinate the machine's writer class takes, in mm (for a class that writes step
// counts, within 32 bits at the profile's resolution).
double CoordinateLimit(const WriterClass& w, const Machine& machine);

// The registered class of that name, or null.
const WriterClass* FindWriter(std::string_view name);
// Every registered class, ending with a null name.
extern const WriterClass* const kWriters[];

[[noreturn]] void MissingOverride(const char* call);

// Calls the writer member when the class has it in that form, else refuses (see ForwardingWriter).
#define KORVAT_FORWARD(call)                   \
    do {                                       \
        if constexpr (requires { w_.call; }) { \
            w_.call;                           \
        } else {                               \
            MissingOverride(#call);            \
        }                                      \
    } while (0)

// What every adapter keeps: the writer object, the machine, and the host's copies of the records
// that the library reads through pointers while the program is open.
template <class C>
class WriterBase : public Writer {
  public:
    int Open(const Machine& machine, const char* basePath, const char* programName) final {
        machine_ = &machine;
        settings_ = machine.settings;
        init_ = machine.init;
        w_.Init(&init_, 0, 0);
        int result = OpenWriter(basePath, programName);
        if (result != 0) return result;
        if (machine.magazine.Anzahl > 0) {
            magazine_ = machine.magazine;
            KORVAT_FORWARD(WZWPplusB(&magazine_, magazine_.Anzahl));
        }
        if (machine.workpiece.given) Werkstueck(machine.workpiece);
        const WriterSettings& s = machine.writer;
        if constexpr (requires { w_.SetzeRueckzugHoehe(1.0); })
            if (s.RueckzugHoehe) w_.SetzeRueckzugHoehe(*s.RueckzugHoehe);
        if constexpr (requires { w_.SetzeZSchwelle(1.0f); })
            if (s.ZSchwelle) w_.SetzeZSchwelle(static_cast<float>(*s.ZSchwelle));
        if constexpr (requires { w_.SetzeGruppenwert(1.0f); })
            if (s.Gruppenwert) w_.SetzeGruppenwert(static_cast<float>(*s.Gruppenwert));
        return 0;
    }
    void Close() override { KORVAT_FORWARD(Close(1, 1)); }
    // The job's M2/M30 (ProgramEnd) is left to the Sink's default, nothing: the plot-style,
    // Datron and record writers have no M word and end the program at Close. The DIN and
    // Heidenhain adapters write it where their dialect has no end of its own.
    bool RecodesTools() const override {
        return requires(C w, WZW_PB_STRUCT t) { w.WZWPplusB(&t, short{1}); };
    }
    bool TakesWorkpiece() const override {
        return requires { &C::SetzePosInfos; };
    }
    bool Failed() const override {
        if constexpr (requires { w_.FehlerCode; })
            if (w_.FehlerCode != 0 || w_.Escape1 != 0) return true;
        return cx268io.Fehlerflag != 0 || cx268io.Fehlernummer != 0;
    }
    std::string Failure() const override {
        if constexpr (requires { w_.FehlerCode; })
            if (w_.FehlerCode != 0 || w_.Escape1 != 0)
                return DescribeWriterError(w_.FehlerCode, w_.FehlerText1, w_.FehlerText2);
        if (cx268io.Fehlerflag != 0 || cx268io.Fehlernummer != 0)
            return DescribeWriterError(cx268io.Fehlernummer, cx268io.Fehlertext1,
                                       cx268io.Fehlertext2);
        return {};
    }

  protected:
    // The writer's own Open, with the records taken (settings_, init_, given to Init).
    virtual int OpenWriter(const char* basePath, const char* programName) = 0;
    // The workpiece to SetzePosInfos, in the form of the plotter-style writers: width and
    // height (also as the alternative pair), no axis exchange, no multiple plate, the vice.
    virtual void Werkstueck(const Workpiece& p) {
        float w = static_cast<float>(p.width), l = static_cast<float>(p.length);
        KORVAT_FORWARD(SetzePosInfos(w, l, w, l, 0, 0, static_cast<float>(p.viceX),
                                     static_cast<float>(p.viceY), p.vice ? 1 : 0));
    }

    C w_{};
    const Machine* machine_ = nullptr;
    MaschEinstellung settings_{};
    InitStruct init_{};
    WZW_PB_STRUCT magazine_{};
    int openedBefore_ = 0;
};

// Adapters that simply forward a call to the member of the same name fill in this template;
// a class whose member takes other arguments overrides that call in its adapter (see chdh.cpp).
// Virtual members of a template are always compiled, so a forward that does not fit the class
// compiles to a refusal instead, which the override replaces. Open is the one of the DIN family
// (CDIN, CHDH): the program name goes to the head, and tool_changer switches the changer on.
template <class C>
class ForwardingWriter : public WriterBase<C> {
  protected:
    int OpenWriter(const char* basePath, const char* programName) override {
        int result = 1;
        short port = machine_->port ? 1 : 0;
        if constexpr (requires { w_.Open(0, &settings_, 0, basePath, &openedBefore_, ""); }) {
            result = w_.Open(port, &settings_, 0, basePath, &openedBefore_, programName);
        } else {
            MissingOverride("Open");
        }
        if (machine_->toolChanger) KORVAT_FORWARD(WzlEinAus(1));
        return result;
    }

  public:
    void SetzeVorschuebe(float xy, float z) override { KORVAT_FORWARD(SetzeVorschuebe(xy, z)); }
    void SetzeVorschub(float feed) override { KORVAT_FORWARD(SetzeVorschub(feed)); }
    void Spinddreh(int32_t rpm) override { KORVAT_FORWARD(Spinddreh(rpm)); }
    void Spindea(int on, float dwell) override { KORVAT_FORWARD(Spindea(on, dwell)); }
    void WkzW(int flags, int tool) override {
        // A tool the profile does not describe gets no size comment: its number alone.
        KORVAT_FORWARD(WkzW(flags, tool, ToolData(*machine_, tool)));
    }
    void Move(double x, double y) override { KORVAT_FORWARD(Move(x, y)); }
    void Move3(double x, double y, double z) override { KORVAT_FORWARD(Move3(x, y, z)); }
    void MoveZ(double z) override { KORVAT_FORWARD(MoveZ(z)); }
    void Draw(double x, double y) override { KORVAT_FORWARD(Draw(x, y)); }
    void Draw3(double x, double y, double z) override { KORVAT_FORWARD(Draw3(x, y, z)); }
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double ez, int kind) override {
        KORVAT_FORWARD(Kreis(cx, cy, r, start, sweep, ex, ey, ez, kind));
    }
    void Wait(float seconds) override { KORVAT_FORWARD(Wait(seconds)); }
    void Stop() override { KORVAT_FORWARD(Stop()); }
    void SStringln(int numbered, const char* text) override {
        KORVAT_FORWARD(SStringln(static_cast<short>(numbered), text));
    }

  protected:
    using WriterBase<C>::w_;
    using WriterBase<C>::machine_;
    using WriterBase<C>::settings_;
    using WriterBase<C>::openedBefore_;
};

}  // namespace korvat::tool

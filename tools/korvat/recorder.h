// The path calls as data: a table of every call a job may make (name and argument kinds), one
// recorded call, a sink that hands each call on as such a record, and the call recorder, a sink
// that keeps the calls so that they can be replayed into another sink or printed as a
// transcript.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/korvat/sink.h"

namespace korvat::tool {

enum class Op {
    SetzeVorschuebe,
    SetzeVorschub,
    Spinddreh,
    Spindea,
    WkzW,
    Move,
    Move3,
    MoveZ,
    Draw,
    Draw3,
    Kreis,
    Wait,
    Stop,
    SStringln,
};

// One call of the Sink vocabulary. Argument kinds: 'd' double, 'f' float, 'i' int, 'l' 32-bit
// integer (a Windows long), 't' text (the rest of a call-script line).
struct CallInfo {
    const char* name;
    Op op;
    const char* args;
};

// Every call in Sink order; FindCall looks one up by its exact (case-sensitive) member name.
extern const CallInfo kCalls[];
extern const size_t kCallCount;
const CallInfo* FindCall(std::string_view name);
const CallInfo& InfoOf(Op op);

struct Call {
    Op op;
    double v[9] = {};  // numeric arguments in order; integers are held exactly
    std::string text;  // the text argument of SStringln
    int line = 0;      // the job's source line that made the call (0: not known)
};

// Calls the sink member that `call` names.
void Dispatch(const Call& call, Sink& sink);
// "Name(a, b, ...)": doubles and floats with four decimals, integers plain, text quoted.
std::string Format(const Call& call);

// A sink that hands every call on as a Call (with the source line it came from) to Take: the
// one place where the Sink vocabulary becomes data.
class CallSink : public Sink {
  public:
    void SetzeVorschuebe(float xy, float z) override;
    void SetzeVorschub(float feed) override;
    void Spinddreh(int32_t rpm) override;
    void Spindea(int on, float dwell) override;
    void WkzW(int flags, int tool) override;
    void Move(double x, double y) override;
    void Move3(double x, double y, double z) override;
    void MoveZ(double z) override;
    void Draw(double x, double y) override;
    void Draw3(double x, double y, double z) override;
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double ez, int kind) override;
    void Wait(float seconds) override;
    void Stop() override;
    void SStringln(int numbered, const char* text) override;
    void SourceLine(int line) override { line_ = line; }

  protected:
    virtual void Take(Call&& call) = 0;

  private:
    void Add(Op op, std::initializer_list<double> values, const char* text = nullptr);
    int line_ = 0;
};

class CallRecorder : public CallSink {
  public:
    const std::vector<Call>& calls() const { return calls_; }
    // Replays every call into sink; progress(done, total) is called after each call.
    void Replay(Sink& sink, const std::function<void(size_t, size_t)>& progress = {}) const;
    // One formatted call a line, LF line ends.
    std::string Transcript() const;

  protected:
    void Take(Call&& call) override { calls_.push_back(std::move(call)); }

  private:
    std::vector<Call> calls_;
};

}  // namespace korvat::tool

#include "tools/korvat/recorder.h"

#include <cstdio>
#include <cstring>

namespace korvat::tool {

const CallInfo kCalls[] = {
    {"SetzeVorschuebe", Op::SetzeVorschuebe, "ff"},
    {"SetzeVorschub", Op::SetzeVorschub, "f"},
    {"Spinddreh", Op::Spinddreh, "l"},
    {"Spindea", Op::Spindea, "if"},
    {"WkzW", Op::WkzW, "ii"},
    {"Move", Op::Move, "dd"},
    {"Move3", Op::Move3, "ddd"},
    {"MoveZ", Op::MoveZ, "d"},
    {"Draw", Op::Draw, "dd"},
    {"Draw3", Op::Draw3, "ddd"},
    {"Kreis", Op::Kreis, "ddddddddi"},
    {"Wait", Op::Wait, "f"},
    {"Stop", Op::Stop, ""},
    {"SStringln", Op::SStringln, "it"},
};
const size_t kCallCount = sizeof(kCalls) / sizeof(kCalls[0]);

const CallInfo* FindCall(std::string_view name) {
    for (const CallInfo& c : kCalls) {
        if (name == c.name) return &c;
    }
    return nullptr;
}

const CallInfo& InfoOf(Op op) { return kCalls[static_cast<size_t>(op)]; }

void Dispatch(const Call& c, Sink& s) {
    const double* v = c.v;
    switch (c.op) {
        case Op::SetzeVorschuebe:
            return s.SetzeVorschuebe(static_cast<float>(v[0]), static_cast<float>(v[1]));
        case Op::SetzeVorschub:
            return s.SetzeVorschub(static_cast<float>(v[0]));
        case Op::Spinddreh:
            return s.Spinddreh(static_cast<int32_t>(v[0]));
        case Op::Spindea:
            return s.Spindea(static_cast<int>(v[0]), static_cast<float>(v[1]));
        case Op::WkzW:
            return s.WkzW(static_cast<int>(v[0]), static_cast<int>(v[1]));
        case Op::Move:
            return s.Move(v[0], v[1]);
        case Op::Move3:
            return s.Move3(v[0], v[1], v[2]);
        case Op::MoveZ:
            return s.MoveZ(v[0]);
        case Op::Draw:
            return s.Draw(v[0], v[1]);
        case Op::Draw3:
            return s.Draw3(v[0], v[1], v[2]);
        case Op::Kreis:
            return s.Kreis(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], static_cast<int>(v[8]));
        case Op::Wait:
            return s.Wait(static_cast<float>(v[0]));
        case Op::Stop:
            return s.Stop();
        case Op::SStringln:
            return s.SStringln(static_cast<int>(v[0]), c.text.c_str());
    }
}

std::string Format(const Call& c) {
    const CallInfo& info = InfoOf(c.op);
    std::string out = info.name;
    out += '(';
    char number[64];
    for (size_t i = 0; info.args[i] != 0; ++i) {
        if (i > 0) out += ", ";
        switch (info.args[i]) {
            case 'd':
            case 'f':
                std::snprintf(number, sizeof number, "%.4f", c.v[i]);
                break;
            case 't':
                break;
            default:
                std::snprintf(number, sizeof number, "%.0f", c.v[i]);
                break;
        }
        if (info.args[i] == 't') {
            out += '"' + c.text + '"';
        } else {
            // A value that rounds to zero is written without a sign.
            out += std::strcmp(number, "-0.0000") == 0 ? "0.0000" : number;
        }
    }
    out += ')';
    return out;
}

void CallSink::Add(Op op, std::initializer_list<double> values, const char* text) {
    Call c;
    c.op = op;
    size_t i = 0;
    for (double v : values) c.v[i++] = v;
    if (text != nullptr) c.text = text;
    c.line = line_;
    Take(std::move(c));
}

void CallSink::SetzeVorschuebe(float xy, float z) { Add(Op::SetzeVorschuebe, {xy, z}); }
void CallSink::SetzeVorschub(float feed) { Add(Op::SetzeVorschub, {feed}); }
void CallSink::Spinddreh(int32_t rpm) { Add(Op::Spinddreh, {static_cast<double>(rpm)}); }
void CallSink::Spindea(int on, float dwell) { Add(Op::Spindea, {double(on), dwell}); }
void CallSink::WkzW(int flags, int tool) { Add(Op::WkzW, {double(flags), double(tool)}); }
void CallSink::Move(double x, double y) { Add(Op::Move, {x, y}); }
void CallSink::Move3(double x, double y, double z) { Add(Op::Move3, {x, y, z}); }
void CallSink::MoveZ(double z) { Add(Op::MoveZ, {z}); }
void CallSink::Draw(double x, double y) { Add(Op::Draw, {x, y}); }
void CallSink::Draw3(double x, double y, double z) { Add(Op::Draw3, {x, y, z}); }
void CallSink::Kreis(double cx, double cy, double r, double start, double sweep, double ex,
                     double ey, double ez, int kind) {
    Add(Op::Kreis, {cx, cy, r, start, sweep, ex, ey, ez, double(kind)});
}
void CallSink::Wait(float seconds) { Add(Op::Wait, {seconds}); }
void CallSink::Stop() { Add(Op::Stop, {}); }
void CallSink::SStringln(int numbered, const char* text) {
    Add(Op::SStringln, {double(numbered)}, text);
}

void CallRecorder::Replay(Sink& sink, const std::function<void(size_t, size_t)>& progress) const {
    for (size_t i = 0; i < calls_.size(); ++i) {
        Dispatch(calls_[i], sink);
        if (progress) progress(i + 1, calls_.size());
    }
}

std::string CallRecorder::Transcript() const {
    std::string out;
    for (const Call& c : calls_) out += Format(c) + '\n';
    return out;
}

}  // namespace korvat::tool

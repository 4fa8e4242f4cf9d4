// The call-script front end: one library call a line, for exact control of what the writer
// receives. Values pass through untouched (millimetres, radians, the writer's feed unit).
#include <charconv>
#include <cmath>
#include <string>

#include "tools/korvat/errors.h"
#include "tools/korvat/frontends.h"
#include "tools/korvat/recorder.h"

namespace korvat::tool {
namespace {

bool Separator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\r'; }

struct Token {
    std::string_view text;
    int column;
};

// The next token from pos on, or an empty token at the end of the line.
Token Next(std::string_view line, size_t& pos) {
    while (pos < line.size() && Separator(line[pos])) ++pos;
    size_t start = pos;
    while (pos < line.size() && !Separator(line[pos])) ++pos;
    return {line.substr(start, pos - start), static_cast<int>(start) + 1};
}

}  // namespace

void RunCallScript(std::string_view text, const std::string& file, Sink& sink) {
    JobInput job(text, file);
    RunCallScript(job, sink);
}

void RunCallScript(JobInput& job, Sink& sink) {
    const std::string& file = job.file();
    std::string_view line;
    Call call;                // one for every line, so its text keeps its room
    bool positioned = false;  // a move to a point in the plane came
    while (job.NextLine(line)) {
        int number = job.line();
        sink.SourceLine(number);

        size_t at = 0;
        Token name = Next(line, at);
        if (name.text.empty() || name.text[0] == '#') continue;
        const CallInfo* info = FindCall(name.text);
        if (info == nullptr)
            throw JobError(file, number, name.column,
                           "unknown call '" + std::string(name.text) + "'");
        call.op = info->op;
        size_t count = 0;
        for (const char* kind = info->args; *kind != 0; ++kind, ++count) {
            if (*kind == 't') {
                // The text runs to the end of the line, after one separating blank.
                if (at < line.size() && Separator(line[at])) ++at;
                std::string_view rest = line.substr(at);
                if (!rest.empty() && rest.back() == '\r') rest.remove_suffix(1);
                call.text.assign(rest);
                at = line.size();
                continue;
            }
            Token arg = Next(line, at);
            if (arg.text.empty() || arg.text[0] == '#')
                throw JobError(file, number, arg.column,
                               std::string(info->name) + " takes " +
                                   std::to_string(std::string_view(info->args).size()) +
                                   " arguments, found " + std::to_string(count));
            std::string_view value = arg.text;
            const char* from = value.data() + (value.size() > 1 && value[0] == '+' ? 1 : 0);
            const char* end = value.data() + value.size();
            double v = 0;
            auto [stop, error] = std::from_chars(from, end, v);
            if (stop != end || error != std::errc() || !std::isfinite(v))
                throw JobError(file, number, arg.column,
                               "malformed number '" + std::string(value) + "'");
            bool integer = *kind == 'i' || *kind == 'l';
            if (integer && (v != std::floor(v) || std::fabs(v) > 2147483647.0))
                throw JobError(file, number, arg.column,
                               "'" + std::string(value) + "' must be a whole number");
            // Feeds and dwells are 32-bit floats in the library's calls.
            if (*kind == 'f' && std::fabs(v) > 3.4e38)
                throw JobError(file, number, arg.column,
                               "'" + std::string(value) + "' does not fit a 32-bit float");
            call.v[count] = v;
        }
        Token extra = Next(line, at);
        if (!extra.text.empty() && extra.text[0] != '#')
            throw JobError(file, number, extra.column,
                           std::string(info->name) + " takes " + std::to_string(count) +
                               " arguments; '" + std::string(extra.text) + "' is one too many");
        if (call.op == Op::Kreis && !positioned)
            throw JobError(file, number, name.column,
                           "Kreis before the first positioning: its start is not known");
        positioned |= call.op == Op::Move || call.op == Op::Move3 || call.op == Op::Draw ||
                      call.op == Op::Draw3;
        Dispatch(call, sink);
    }
}

}  // namespace korvat::tool

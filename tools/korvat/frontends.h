// The job front ends: each reads a job and emits its calls into a sink, in order, call by call as
// it reads. Each throws JobError naming the file and the line and column (or record) of the
// first problem; calls already emitted stay emitted, so a caller whose sink cannot take them back
// writes where a failed job leaves nothing (a work folder), or records first.
#pragma once

#include <string>
#include <string_view>

#include "tools/korvat/job_input.h"
#include "tools/korvat/sink.h"

namespace korvat::tool {

struct GcodeOptions {
    // Feed units of the writer per mm/min (1 for mm/min, 0.001 for m/min, 1/60 for mm/s).
    double feedFactor = 1.0;
};

// An RS274 program as CAM writes it (the subset the README lists). Lengths become millimetres,
// feeds the writer's unit, arcs centre/radius/start/sweep/end. Words outside the subset are
// errors, never dropped.
void RunGcode(JobInput& job, const GcodeOptions& options, Sink& sink);
void RunGcode(std::string_view text, const std::string& file, const GcodeOptions& options,
              Sink& sink);

// A call script: one call a line, the member's name and its arguments in order (blanks or commas
// between them), '#' starts a comment. SStringln takes the rest of its line as its text.
void RunCallScript(JobInput& job, Sink& sink);
void RunCallScript(std::string_view text, const std::string& file, Sink& sink);

// The host's tool-path element file (32-byte records): positionings become rapid moves
// (Move3), lines feed moves (Draw in the plane, Draw3 in space), arcs Kreis at the height
// reached; the header and markers carry no motion. Z in the file is a depth, positive into the
// material, so the calls' Z is its negation.
void RunElementFile(JobInput& job, Sink& sink);
void RunElementFile(std::string_view bytes, const std::string& file, Sink& sink);

// True when the file name marks a call script (".calls"); every other job is G-code unless it
// is an element file.
bool IsCallScript(const std::string& file);
// True for an element file: its name ends in ".eaw", or it starts with the header record that
// holds "FRXBINWZB".
bool IsElementFile(const std::string& file, std::string_view bytes);
// True when the file name ends in suffix, letters compared without regard to case.
bool EndsWithNoCase(const std::string& file, const char* suffix);

}  // namespace korvat::tool

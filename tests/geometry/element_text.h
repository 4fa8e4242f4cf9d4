// Element files as readable text for the geometry tests: hand-written cases (parameters, input
// records, expected output records) and a one-line-per-record rendering for failure messages.
//
// Case file syntax, one item a line, '#' starts a comment:
//   params tan=0.05 start=0 final=1 safe=5 chord=0.01 points=0.001 head=7,9
//   input                       the records after this line form the input file
//   output                      the records after this line form the expected output
//   U 7 9                       header record with its two values
//   <type>[letter] X Y Z [v=N] [a=B,B,B,B]   an element record, e.g. "13g 20 0 0", "2 10 0 0 v=3"
//   A start sweep radius [v=N] [a=...]        the arc record that follows a centre record (type 4)
// Every number may be an expression: + - * / ( ), pi, sin, cos, tan, atan, sqrt (radians).
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/element.h"

namespace korvat::test {

struct ElementCase {
    double tangens = 0.05, start = 0, final = 1, safe = 5, chord = 0.01, points = 0.001;
    int head1 = 0, head2 = 0;
    std::vector<ELE_EAW> input, output;
};

// Evaluates one number expression; fails the test (and returns NaN) on a syntax error.
double Evaluate(const std::string& text);
// Parses a case file beside the test (golden/<name>).
ElementCase LoadCase(const std::string& name);
// Parses record lines only (no params/input/output switches).
std::vector<ELE_EAW> ParseRecords(const std::string& text);

// One record as text; `arc` renders the three doubles as start, sweep, radius.
std::string RecordText(const ELE_EAW& r, bool arc);
// All records, one a line, arcs recognised by pairing.
std::string RecordsText(const std::vector<ELE_EAW>& records);

// Passes when both lists have the same records: type, sub-kind, value and attributes equal, the
// doubles within tol (absolute, or relative above 1); a header record is compared byte for byte.
::testing::AssertionResult SameRecords(const std::vector<ELE_EAW>& expected,
                                       const std::vector<ELE_EAW>& actual, double tol = 1e-9);

// One run of the approach: the case's input written to dir/in.eaw, its parameters set, the
// output read from dir/out.eaw.
struct ApproachRun {
    int32_t meldung = 0;  // the returned message number
    int32_t code = 0;     // the error code and text from HoleAnfahrFehlerInfo
    std::string text;
    std::vector<ELE_EAW> out;
    bool inputKept = false;
    bool outputExists = false;
};
ApproachRun RunApproach(const ElementCase& c, const std::string& dir);
// Runs on an input file that is already in place (raw bytes, or missing).
ApproachRun RunApproachOn(const ElementCase& c, const std::string& in, const std::string& out);

// Element files on disk.
std::vector<ELE_EAW> ReadElements(const std::string& path);
void WriteElements(const std::string& path, const std::vector<ELE_EAW>& records);

}  // namespace korvat::test

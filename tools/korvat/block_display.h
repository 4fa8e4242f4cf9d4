// The live block display of `korvat send`: the terminal stands in for the host's block display
// dialog. The job supervisor (CSATZ) sets the dialog's items; this class is told of every change
// and shows them:
//   107, 117, 127  the last three blocks (127 the newest),
//   137            the status (single step waiting, automatic running, ...),
//   147 to 177     the position X, Y, Z, A.
// On a terminal it keeps a panel of six lines in place at the bottom (the three blocks, the
// position, the status and the job's progress), redrawn on every new block or status. Without
// a terminal it writes a log instead: each block's line as the supervisor shows it (item 127,
// byte for byte but in UTF-8) and each new status as "-- status".
#pragma once

#include <cstdio>
#include <string>

namespace korvat::tool {

class BlockDisplay {
  public:
    // panel: a terminal of `width` columns (lines are cut to fit, tabs expanded); otherwise
    // the log.
    BlockDisplay(std::FILE* out, bool panel, int width = 80);

    // A dialog item's text changed (code page 1252).
    void Item(int item, const char* text);
    // The panel's last line: blocks sent, time, the controller's state (the log ignores it).
    void Progress(const std::string& line);
    // A line of its own (UTF-8) written above the panel, which moves down below it; without a
    // terminal the line joins the log.
    void Above(const std::string& line);
    // Something else is about to write to the terminal (a question, the closing message): the
    // panel stays where it is and is drawn afresh below at the next change.
    void Release();

  private:
    void Draw();
    std::string Fit(const std::string& text) const;  // tabs expanded, cut to the width

    std::FILE* out_;
    bool panel_;
    int width_;
    std::string lines_[3], status_, position_[4], progress_;
    std::string logged_;  // the status the log wrote last
    bool drawn_ = false;
};

}  // namespace korvat::tool

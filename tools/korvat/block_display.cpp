#include "tools/korvat/block_display.h"

#include "tools/korvat/terminal_dialogs.h"

namespace korvat::tool {

namespace {
constexpr int kZeile1 = 107, kZeile2 = 117, kZeile3 = 127, kStatus = 137;
constexpr int kPosition = 147;  // X; Y, Z and A follow in steps of 10
constexpr int kPanelLines = 6;
}  // namespace

BlockDisplay::BlockDisplay(std::FILE* out, bool panel, int width)
    : out_(out), panel_(panel), width_(width < 20 ? 20 : width) {}

void BlockDisplay::Item(int item, const char* text) {
    const std::string t = ToUtf8(text ? text : "");
    if (item >= kZeile1 && item <= kZeile3 && (item - kZeile1) % 10 == 0) {
        std::string& line = lines_[(item - kZeile1) / 10];
        if (!panel_ && item == kZeile2 && t != lines_[2] && !t.empty()) {
            // A line the supervisor scrolled in without showing it (a tool change): it was
            // never written as line 3.
            std::fprintf(out_, "%s\n", t.c_str());
        }
        line = t;
        if (item != kZeile3) return;
        if (panel_) {
            Draw();
        } else {
            std::fprintf(out_, "%s\n", t.c_str());
            std::fflush(out_);
        }
    } else if (item == kStatus) {
        status_ = t;
        if (panel_) {
            Draw();
        } else if (t != logged_) {
            logged_ = t;
            std::fprintf(out_, "-- %s\n", t.c_str());
            std::fflush(out_);
        }
    } else if (item >= kPosition && item <= kPosition + 30 && (item - kPosition) % 10 == 0) {
        position_[(item - kPosition) / 10] = t;  // shown with the block that follows
    }
}

void BlockDisplay::Progress(const std::string& line) {
    if (!panel_) return;
    progress_ = line;
    Draw();
}

void BlockDisplay::Above(const std::string& line) {
    if (!panel_ || !drawn_) {
        std::fprintf(out_, "%s\n", line.c_str());
        std::fflush(out_);
        return;
    }
    // Up to the panel's first line, the panel cleared, the line in its place.
    std::fprintf(out_, "\r\x1b[%dA\x1b[J%s\n", kPanelLines - 1, line.c_str());
    drawn_ = false;
    Draw();
}

void BlockDisplay::Release() {
    if (panel_ && drawn_) std::fputc('\n', out_);
    drawn_ = false;
    std::fflush(out_);
}

std::string BlockDisplay::Fit(const std::string& text) const {
    std::string out;
    int column = 0;
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if ((c & 0xC0) == 0x80) {  // the rest of a character already begun
            out += ch;
            continue;
        }
        if (column >= width_ - 1) break;
        if (c == '\t') {
            do {
                out += ' ';
                ++column;
            } while (column % 8 != 0 && column < width_ - 1);
            continue;
        }
        out += ch;
        ++column;
    }
    return out;
}

void BlockDisplay::Draw() {
    std::string p = "  X " + position_[0] + "  Y " + position_[1] + "  Z " + position_[2];
    if (!position_[3].empty()) p += "  A " + position_[3];
    const std::string zeilen[kPanelLines] = {
        "  " + lines_[0], "  " + lines_[1], "> " + lines_[2], p, "  " + status_, progress_};
    // The cursor stays on the panel's last line; back to its first to draw it again.
    std::string text = drawn_ ? "\r\x1b[" + std::to_string(kPanelLines - 1) + "A" : "";
    for (int i = 0; i < kPanelLines; ++i) {
        text += "\x1b[2K" + Fit(zeilen[i]);
        if (i + 1 < kPanelLines) text += '\n';
    }
    std::fputs(text.c_str(), out_);
    std::fflush(out_);
    drawn_ = true;
}

}  // namespace korvat::tool

#include "support/golden.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace korvat::test {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    EXPECT_TRUE(out.good()) << "cannot write " << path;
}

std::string Crlf(const std::string& lf_text) {
    std::string out;
    out.reserve(lf_text.size() + lf_text.size() / 16);
    for (char c : lf_text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

namespace {
std::string Escaped(const std::string& line) {
    std::string out;
    for (unsigned char c : line) {
        if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string LineAt(const std::string& s, size_t offset, size_t* start_out) {
    size_t start = s.rfind('\n', offset == 0 ? 0 : offset - 1);
    start = (start == std::string::npos || offset == 0) ? 0 : start + 1;
    if (offset > 0 && s[offset - 1] == '\n') start = offset;
    size_t end = s.find('\n', start);
    *start_out = start;
    return s.substr(start, end == std::string::npos ? std::string::npos : end - start);
}
}  // namespace

::testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual) {
    if (expected == actual) return ::testing::AssertionSuccess();
    size_t i = 0;
    while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
    size_t line_no = 1;
    for (size_t k = 0; k < i; ++k)
        if (expected[k] == '\n') ++line_no;
    size_t es = 0, as = 0;
    std::string el = i < expected.size() || !expected.empty() ? LineAt(expected, i, &es) : "";
    std::string al = i < actual.size() || !actual.empty() ? LineAt(actual, i, &as) : "";
    return ::testing::AssertionFailure()
           << "outputs differ at byte " << i << " (line " << line_no << ", column " << (i - es + 1)
           << "); sizes " << expected.size() << " expected, " << actual.size() << " actual\n"
           << "  expected: " << Escaped(el) << "\n"
           << "  actual:   " << Escaped(al);
}

TempDir::TempDir() {
    std::string base = std::filesystem::temp_directory_path().string() + "/korvat-test-XXXXXX";
    std::vector<char> buf(base.begin(), base.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    path_ = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

ScriptedDialogs::ScriptedDialogs() { platform::SetDialogHandler(this); }
ScriptedDialogs::~ScriptedDialogs() { platform::SetDialogHandler(nullptr); }

int ScriptedDialogs::MessageBox(HWND, const char* text, const char* caption, unsigned style) {
    boxes_.push_back({"message", caption ? caption : "", text ? text : "", style});
    if (answers_.empty()) return platform::DefaultAnswer(style);
    int id = answers_.front();
    answers_.pop_front();
    return id;
}

void ScriptedDialogs::InfoBox(HWND, const char* title, const char* text) {
    boxes_.push_back({"info", title ? title : "", text ? text : "", 0});
}

int ScriptedDialogs::TextInput(HWND, const char* title, const char* prompt, char* text,
                               int maxLength) {
    boxes_.push_back({"input", title ? title : "", prompt ? prompt : "", 0});
    if (inputs_.empty()) return 1;
    std::string answer = inputs_.front();
    inputs_.pop_front();
    if (answer == "\x1b") return 2;
    std::snprintf(text, static_cast<size_t>(maxLength) + 1, "%s", answer.c_str());
    return 1;
}

}  // namespace korvat::test

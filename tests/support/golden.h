// Test helpers: whole-output comparison with a readable diff, temporary folders, a scripted
// dialog handler that records every box and answers from a queue.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/dialogs.h"

namespace korvat::test {

// The whole file as bytes; fails the test when it cannot be read.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// A golden file beside the test: KORVAT_TEST_DIR/golden/<name>. Golden files are written with
// LF line ends for readability; Crlf() turns them into the CR LF the library writes.
// Defined here, not in the support library: KORVAT_TEST_DIR is set for each test program.
#ifdef KORVAT_TEST_DIR
inline std::string Golden(const std::string& name) {
    return ReadFile(std::string(KORVAT_TEST_DIR) + "/golden/" + name);
}
#endif
std::string Crlf(const std::string& lf_text);

// Passes when both are equal byte for byte; otherwise names the first differing line and byte
// and shows both lines with control characters escaped.
::testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual);

// A fresh, empty folder under the build's temporary folder, removed by the destructor.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Records every box and answers from a queue (the default button once the queue is empty).
// Installed for its lifetime.
class ScriptedDialogs : public platform::DialogHandler {
  public:
    struct Box {
        std::string kind;  // "message", "info", "input"
        std::string caption;
        std::string text;
        unsigned style;
    };
    ScriptedDialogs();
    ~ScriptedDialogs() override;

    void Answer(int id) { answers_.push_back(id); }
    void InputText(const std::string& text) { inputs_.push_back(text); }
    const std::vector<Box>& boxes() const { return boxes_; }

    int MessageBox(HWND owner, const char* text, const char* caption, unsigned style) override;
    void InfoBox(HWND owner, const char* title, const char* text) override;
    int TextInput(HWND owner, const char* title, const char* prompt, char* text,
                  int maxLength) override;

  private:
    std::deque<int> answers_;
    std::deque<std::string> inputs_;  // "\x1b" as an input means: cancel
    std::vector<Box> boxes_;
};

}  // namespace korvat::test

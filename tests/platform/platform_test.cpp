// Platform services: profile files, files with fault countdowns, the clock, dialogs and events.
#include <signal.h>
#include <sys/time.h>

#include <chrono>
#include <string>

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "support/golden.h"

namespace korvat::test {
namespace {

using platform::GetProfileString;

std::string Profile(const char* section, const char* key, const char* def, uint32_t size = 64,
                    uint32_t* n = nullptr) {
    static const std::string file = std::string(KORVAT_TEST_DIR) + "/golden/machine.ini";
    char out[64];
    uint32_t r = GetProfileString(section, key, def, out, size, file.c_str());
    if (n) *n = r;
    return std::string(out, r);
}

TEST(Profile, ReadsKeysAsGetPrivateProfileStringDoes) {
    EXPECT_EQ(Profile("datron", "RUECKFAHRMODUS", "0"), "2");  // first section wins
    EXPECT_EQ(Profile("maschinentyp", "zumgekehrt", "0"), "1");
    EXPECT_EQ(Profile("DATRON", "Leer", "d"), "");
    EXPECT_EQ(Profile("DATRON", "Zitat", ""), "  mit Blanks  ");
    EXPECT_EQ(Profile("DATRON", "Einfach", ""), "x");
    EXPECT_EQ(Profile("DATRON", "fehlt", "vorgabe  "), "vorgabe");
    EXPECT_EQ(Profile("fehlt", "Rueckfahrmodus", nullptr), "");
    EXPECT_EQ(Profile("maschinentyp", "kein Gleichheitszeichen", "d"), "");

    uint32_t n;
    EXPECT_EQ(Profile("DATRON", "Zitat", "", 5, &n), "  mi");
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(Profile(nullptr, nullptr, "", 64, &n),
              std::string("DATRON\0maschinentyp\0Datron\0", 27));
    EXPECT_EQ(Profile("maschinentyp", nullptr, ""),
              std::string("zumgekehrt\0kein Gleichheitszeichen\0", 35));

    char out[16];
    EXPECT_EQ(GetProfileString("a", "b", "def", out, sizeof out, "/nonexistent.ini"), 3u);
    EXPECT_STREQ(out, "def");
}

TEST(Files, HostPathsAndFaultCountdowns) {
    TempDir dir;
    char p[16];
    EXPECT_TRUE(platform::HostPath("C:\\a\\b.nc", p, sizeof p));
    EXPECT_STREQ(p, "C:/a/b.nc");
    EXPECT_FALSE(platform::HostPath("0123456789abcdef", p, sizeof p));

    std::string path = dir.path() + "\\f.bin";  // the host's separator
    int32_t h = platform::FileCreate(path.c_str());
    ASSERT_GE(h, 0);
    EXPECT_EQ(platform::FileWrite(h, "abcdef", 6), 6);
    platform::FailWriteAfter(2);
    EXPECT_EQ(platform::FileWrite(h, "gh", 2), 2);
    EXPECT_EQ(platform::FileWrite(h, "ij", 2), 0);  // the injected failure writes nothing
    EXPECT_EQ(platform::FileWrite(h, "kl", 2), 2);
    EXPECT_EQ(platform::FileSeek(h, 2, 0), 2);
    char buf[16] = {};
    platform::FailReadAfter(1);
    EXPECT_EQ(platform::FileRead(h, buf, 3), -1);
    EXPECT_EQ(platform::FileRead(h, buf, 3), 3);
    EXPECT_EQ(std::string(buf, 3), "cde");
    EXPECT_EQ(platform::FileSeek(h, 0, 2), 10);
    EXPECT_EQ(platform::FileRead(h, buf, 3), 0);
    EXPECT_EQ(platform::FileClose(h), 0);
    EXPECT_EQ(ReadFile(dir.File("f.bin")), "abcdefghkl");

    h = platform::FileCreate(path.c_str());  // creating again empties the file
    platform::FileClose(h);
    EXPECT_EQ(ReadFile(dir.File("f.bin")), "");
    EXPECT_EQ(platform::FileOpen(dir.File("none").c_str(), 0), -1);
    EXPECT_EQ(platform::FileDelete(path.c_str()), 0);
    EXPECT_EQ(platform::FileOpen(path.c_str(), 0), -1);
}

void Ignore(int) {}

TEST(Clock, SleepLastsItsTimeThroughSignals) {
    struct sigaction sa = {};
    sa.sa_handler = Ignore;  // no SA_RESTART: the sleep is interrupted
    struct sigaction old;
    sigaction(SIGALRM, &sa, &old);
    itimerval every10ms = {{0, 10000}, {0, 10000}};
    setitimer(ITIMER_REAL, &every10ms, nullptr);
    auto start = std::chrono::steady_clock::now();
    uint32_t before = platform::NowMs();
    platform::Sleep(120);
    auto took = std::chrono::steady_clock::now() - start;
    itimerval off = {};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &old, nullptr);
    EXPECT_GE(took, std::chrono::milliseconds(120));
    EXPECT_GE(platform::NowMs() - before, 119u);
}

TEST(Dialogs, DefaultHandlerAnswersWithTheDefaultButton) {
    EXPECT_EQ(platform::DefaultAnswer(MB_OK), IDOK);
    EXPECT_EQ(platform::DefaultAnswer(MB_YESNO | MB_ICONSTOP), IDYES);
    EXPECT_EQ(platform::DefaultAnswer(MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(platform::DefaultAnswer(MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
    EXPECT_EQ(platform::DefaultAnswer(MB_ABORTRETRYIGNORE | MB_DEFBUTTON2), IDRETRY);
    EXPECT_EQ(platform::DefaultAnswer(MB_OKCANCEL | MB_DEFBUTTON3), IDOK);  // no third button

    // The box goes to stderr, its code page 1252 texts shown as UTF-8.
    platform::SetDialogHandler(nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(platform::Dialogs().MessageBox(nullptr, "Fr\xe4ser \x80", "Werkzeug",
                                             MB_YESNO | MB_DEFBUTTON2),
              IDNO);
    EXPECT_TRUE(SameBytes("[Werkzeug] Fr\xc3\xa4ser \xe2\x82\xac\n  [Yes / No] -> No\n",
                          testing::internal::GetCapturedStderr()));
    char text[16] = "Vorschlag";
    EXPECT_EQ(platform::Dialogs().TextInput(nullptr, "T", "P", text, 15), IDOK);
    EXPECT_STREQ(text, "Vorschlag");
}

TEST(Dialogs, ItemStoreKeepsTextsPerDialogAndItem) {
    struct Watch : ScriptedDialogs {
        void ItemChanged(HWND, int item, const char* text) override {
            seen += std::to_string(item) + "=" + text + ";";
        }
        std::string seen;
    } watch;
    int d1, d2;
    platform::ClearItems();
    platform::SetItemText(&d1, 107, "N10 G0 X1");
    platform::SetItemText(&d2, 107, "andere");
    platform::SetItemText(&d1, 107, "N20 G1 X2");
    platform::SetItemText(&d1, 117, std::string(300, 'x').c_str());
    EXPECT_STREQ(platform::ItemText(&d1, 107), "N20 G1 X2");
    EXPECT_STREQ(platform::ItemText(&d2, 107), "andere");
    EXPECT_EQ(std::string(platform::ItemText(&d1, 117)), std::string(255, 'x'));
    EXPECT_STREQ(platform::ItemText(&d1, 127), "");
    EXPECT_EQ(watch.seen.substr(0, 34), "107=N10 G0 X1;107=andere;107=N20 G");
    platform::ClearItems();
    EXPECT_STREQ(platform::ItemText(&d1, 107), "");
}

TEST(Events, QueueKeepsOrderAndDropsBeyond256) {
    using platform::Event;
    platform::ClearEvents();
    EXPECT_FALSE(platform::HasEvent());
    platform::PostEvent({Event::Paint, 0, nullptr});
    EXPECT_TRUE(platform::HasEvent());
    EXPECT_FALSE(platform::HasKeyEvent());
    for (int i = 1; i < 300; ++i) platform::PostEvent({Event::KeyDown, i, nullptr});
    EXPECT_TRUE(platform::HasKeyEvent());
    Event e;
    ASSERT_TRUE(platform::TakeEvent(&e));
    EXPECT_EQ(e.kind, Event::Paint);
    int count = 0, last = 0;
    while (platform::TakeEvent(&e)) {
        EXPECT_EQ(e.key, last + 1);
        last = e.key;
        ++count;
    }
    EXPECT_EQ(count, 255);
}

}  // namespace
}  // namespace korvat::test

// Feeds arbitrary controller replies to the B268 driver's status, buffer and position queries
// over a pseudo-terminal. The first byte picks the order of queries; the rest is split at line
// feeds into the replies, one per query. Besides the sanitizers (a reply longer than the
// 100-character answer buffer must be cut, never overrun) it checks that a position read never
// claims more than the four values the mask can name, and that every call returns.
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "channel/cx268io.h"
#include "online/b268/b268.h"

namespace {

int master = -1;

void Open() {
    if (master >= 0) return;
    int slave;
    char name[256];
    termios raw;
    cfmakeraw(&raw);
    if (openpty(&master, &slave, name, &raw, nullptr) != 0) std::abort();
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    setenv("KORVAT_COM3", name, 1);  // the slave stays open: the line keeps its settings
}

void Drain() {
    char buffer[4096];
    while (read(master, buffer, sizeof buffer) > 0) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    Open();
    Drain();
    cx268io = CCX268IO{};
    MaschEinstellung settings{};
    settings.Schnittstelle = 3;
    settings.Handshake = 1;
    settings.Baudrate = 9600;
    settings.Datenbits = 8;
    int opened = 0;
    if (cx268io.popen(1, 1, &settings, nullptr, &opened, 1) != 0) std::abort();
    // A reply without its line end ends the read after 5 ms, without a question.
    cx268io.SetzeTimeout(1, 5);

    B268 b;
    b.Drehachse = (data[0] & 0x80) ? 'X' : 'Y';
    b.Drehmodus = (data[0] & 0x40) ? 1 : 0;
    unsigned order = data[0];
    size_t pos = 1;
    for (int step = 0; step < 6 && pos < size; ++step, order = order * 5 + 3) {
        size_t end = pos;
        while (end < size && data[end] != '\n') ++end;
        if (end < size) ++end;  // the reply with its line end
        if (write(master, data + pos, end - pos) < 0) break;
        pos = end;
        FLAGPOS where;
        std::memset(&where, 0, sizeof where);
        int n = 0;
        switch (order % 6) {
            case 0:
                b.MFStatus();
                break;
            case 1:
                b.FRestBuffer();
                break;
            case 2:
                b.FRFahrt(order & 1);
                break;
            case 3:
                n = b.LeseIst((order >> 3) & 1, (order >> 4) & 1, &where);
                break;
            case 4:
                n = b.LeseWBK(&where);
                break;
            case 5:
                b.LetzteAbfrage = -5000;
                b.UpdateStatus(1);
                break;
        }
        int valid = 0;
        for (int k = 0; k < 8; ++k) valid += where.Gueltig[k];
        if (n < 0 || n > 4 || valid != n || where.Gueltig[4] || where.Gueltig[7]) std::abort();
        Drain();
    }
    cx268io.pclose(2, 0);
    return 0;
}

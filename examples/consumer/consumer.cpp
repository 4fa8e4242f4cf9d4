// Writes one program line through Korvat's output channel into a file, as a host does when it
// posts a program: open the channel on a file, write the line, close.
//
//   consumer <base path> [line]
// writes <base path>.NC holding the line (default "G0 X10 Y20") ended by CR LF.
#include <cstdio>

#include <korvat/channel/cx268io.h>
#include <korvat/common/records.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: consumer <base path> [line]\n");
        return 2;
    }
    const char* zeile = argc > 2 ? argv[2] : "G0 X10 Y20";

    MaschEinstellung einstellung{};
    std::snprintf(einstellung.Dateiendung, sizeof einstellung.Dateiendung, "NC");
    int geoeffnet = 0;
    // No port, only the file: base path + "." + extension.
    if (cx268io.popen(1, 0, &einstellung, argv[1], &geoeffnet, 0) != 0) {
        std::fprintf(stderr, "consumer: cannot create %s.NC (error %d)\n", argv[1],
                     static_cast<int>(cx268io.Fehlernummer));
        return 1;
    }
    cx268io.poutstrln(zeile);
    cx268io.pclose(1, 1);
    if (cx268io.Fehlerflag != 0) {
        std::fprintf(stderr, "consumer: writing %s failed (error %d)\n", cx268io.Dateipfad,
                     static_cast<int>(cx268io.Fehlernummer));
        return 1;
    }
    std::printf("%s.NC\n", argv[1]);
    return 0;
}

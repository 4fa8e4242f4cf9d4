// The Heidenhain, Datron and CZORB writers as `korvat post` drives them. One G-code job goes to
// the plain ISO machine and to the three others; each program is read back with a small reader
// of its own format (written here, not taken from the writers) and must hold the same moves:
// the same X-Y points in the same order and the same Z levels, within each format's precision.
// CZORB has no Z and cuts arcs as chords, so the ISO points must appear in its records in order.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/process.h"

namespace {

using korvat::test::ReadFile;

struct Punkt {
    double x, y, z;
    int art = 0;  // ISO: the G number; LG1: the record type
};

constexpr double kPi = 3.14159265358979323846;

// Runs korvat with the arguments; returns its exit code and what it printed on stdout.
int Korvat(const std::string& args, std::string* out = nullptr) {
    int code = -1;
    std::string text = korvat::test::Shell("'" KORVAT_PROGRAM "' " + args + " 2>/dev/null", &code);
    if (out != nullptr) *out = text;
    return code;
}

std::string Machine(const char* name) {
    return std::string(KORVAT_SOURCE_DIR) + "/examples/machines/" + name + ".ini";
}

std::string Job(const char* name) { return std::string(KORVAT_TEST_DIR) + "/jobs/" + name; }

// The value behind `letter` in a word list such as "G1 X5.000 Y0.000", if any.
bool Wort(const std::string& line, char letter, double* value) {
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != letter || (i > 0 && line[i - 1] != ' ')) continue;
        char* end;
        double v = std::strtod(line.c_str() + i + 1, &end);
        if (end == line.c_str() + i + 1) continue;
        *value = v;
        return true;
    }
    return false;
}

std::vector<std::string> Zeilen(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// DIN/ISO: every G0 to G3 block ends at its X, Y, Z words (modal).
std::vector<Punkt> LeseDin(const std::string& text) {
    std::vector<Punkt> path;
    Punkt p{0, 0, NAN};  // no Z before the first Z word
    for (std::string line : Zeilen(text)) {
        if (size_t c = line.find('('); c != std::string::npos) line.erase(c);
        double g;
        line = " " + line;
        if (!Wort(line, 'G', &g) || g > 3) continue;
        Wort(line, 'X', &p.x);
        Wort(line, 'Y', &p.y);
        Wort(line, 'Z', &p.z);
        p.art = static_cast<int>(g);
        path.push_back(p);
    }
    return path;
}

// Heidenhain: "L" and "C" blocks end at their axis words; "CC" is the centre.
std::vector<Punkt> LeseHeidenhain(const std::string& text) {
    std::vector<Punkt> path;
    Punkt p{0, 0, NAN};  // no Z before the first Z word
    for (std::string line : Zeilen(text)) {
        size_t start = line.find_first_not_of("0123456789 ");
        line = line.substr(start == std::string::npos ? line.size() : start);
        if (line.rfind("L ", 0) != 0 && line.rfind("C ", 0) != 0) continue;
        line = " " + line;
        Wort(line, 'X', &p.x);
        Wort(line, 'Y', &p.y);
        Wort(line, 'Z', &p.z);
        path.push_back(p);
    }
    return path;
}

// Datron: "Axyz k, x, y, z" (z may be "Zp": unchanged); "Kreis d, 0, 0, s, a0, a1, ..." ends on
// the circle of diameter d at angle a1, found from the start point at angle a0.
std::vector<Punkt> LeseDatron(const std::string& text) {
    std::vector<Punkt> path;
    Punkt p{0, 0, NAN};  // no Z before the first Z word
    for (const std::string& line : Zeilen(text)) {
        std::vector<std::string> f;
        std::string rest = line.substr(0, line.find(';'));
        size_t blank = rest.find(' ');
        if (blank == std::string::npos) continue;
        std::string word = rest.substr(0, blank);
        std::istringstream in(rest.substr(blank + 1));
        for (std::string v; std::getline(in, v, ',');) f.push_back(v);
        if (word == "Axyz" && f.size() >= 4) {
            p.x = std::atof(f[1].c_str());
            p.y = std::atof(f[2].c_str());
            if (f[3].find("Zp") == std::string::npos) p.z = std::atof(f[3].c_str());
            path.push_back(p);
        } else if (word == "Kreis" && f.size() >= 6) {
            double r = std::atof(f[0].c_str()) / 2.0;
            double a0 = std::atof(f[4].c_str()) * kPi / 180.0;
            double a1 = std::atof(f[5].c_str()) * kPi / 180.0;
            double cx = p.x - r * std::cos(a0), cy = p.y - r * std::sin(a0);
            p.x = cx + r * std::cos(a1);
            p.y = cy + r * std::sin(a1);
            path.push_back(p);
        }
    }
    return path;
}

// CZORB: records 11 (rapid) and 10 (cut) carry X and Y as little-endian floats.
std::vector<Punkt> LeseLg1(const std::string& bytes) {
    std::vector<Punkt> path;
    for (size_t at = 0; at + 13 <= bytes.size(); at += 13) {
        const auto* r = reinterpret_cast<const unsigned char*>(bytes.data() + at);
        if (r[0] != 10 && r[0] != 11) continue;
        float v[2];
        for (int i = 0; i < 2; ++i) {
            uint32_t u = 0;
            for (int k = 3; k >= 0; --k) u = u << 8 | r[1 + 4 * i + k];
            std::memcpy(&v[i], &u, 4);
        }
        path.push_back({v[0], v[1], 0, r[0]});
    }
    return path;
}

bool Nah(double a, double b, double tolerance) { return std::fabs(a - b) <= tolerance; }

// The X-Y points without repeats (a Z-only move stays on its point).
std::vector<Punkt> Ebene(const std::vector<Punkt>& path) {
    std::vector<Punkt> out;
    for (const Punkt& p : path) {
        if (out.empty() || !Nah(out.back().x, p.x, 0.002) || !Nah(out.back().y, p.y, 0.002))
            out.push_back(p);
    }
    return out;
}

std::vector<double> Hoehen(const std::vector<Punkt>& path) {
    std::vector<double> out;
    for (const Punkt& p : path) {
        if (std::isnan(p.z)) continue;
        if (out.empty() || !Nah(out.back(), p.z, 0.002)) out.push_back(p.z);
    }
    return out;
}

::testing::AssertionResult GleicheEbene(const std::vector<Punkt>& a, const std::vector<Punkt>& b) {
    std::vector<Punkt> pa = Ebene(a), pb = Ebene(b);
    if (pa.size() != pb.size())
        return ::testing::AssertionFailure() << pa.size() << " points against " << pb.size();
    for (size_t i = 0; i < pa.size(); ++i) {
        if (!Nah(pa[i].x, pb[i].x, 0.002) || !Nah(pa[i].y, pb[i].y, 0.002))
            return ::testing::AssertionFailure()
                   << "point " << i << ": " << pa[i].x << " " << pa[i].y << " against " << pb[i].x
                   << " " << pb[i].y;
    }
    return ::testing::AssertionSuccess();
}

class KorvatWriters : public ::testing::Test {
  protected:
    std::string Post(const char* machine, const char* job, const char* file) {
        std::string out = dir.File(file);
        EXPECT_EQ(0, Korvat("post " + Job(job) + " --machine " + Machine(machine) + " -o " + out));
        return ReadFile(out);
    }
    korvat::test::TempDir dir;
};

TEST_F(KorvatWriters, TheSameJobHoldsTheSameMovesInEveryFormat) {
    std::vector<Punkt> din = LeseDin(Post("iso", "cross.ngc", "cross.nc"));
    std::vector<Punkt> hdh = LeseHeidenhain(Post("heidenhain", "cross.ngc", "cross.H"));
    std::vector<Punkt> datron = LeseDatron(Post("datron", "cross.ngc", "cross.mcr"));
    std::vector<Punkt> lg1 = LeseLg1(Post("czorb", "cross.ngc", "cross.LG1"));
    ASSERT_EQ(8u, Ebene(din).size());

    EXPECT_TRUE(GleicheEbene(din, hdh));
    EXPECT_TRUE(GleicheEbene(din, datron));
    std::vector<double> z = Hoehen(din);
    EXPECT_EQ(z, Hoehen(hdh));
    EXPECT_EQ(z, Hoehen(datron));

    // Every ISO point appears in the LG1 records, in order, between the chords of the arcs.
    std::vector<Punkt> chords = Ebene(lg1);
    size_t next = 0;
    for (const Punkt& p : Ebene(din)) {
        while (next < chords.size() &&
               !(Nah(chords[next].x, p.x, 0.002) && Nah(chords[next].y, p.y, 0.002)))
            ++next;
        ASSERT_LT(next, chords.size()) << "point " << p.x << " " << p.y << " missing";
    }
    // Every feed move that changes X or Y below the surface ends on a cut record.
    next = 0;
    for (size_t i = 1; i < din.size(); ++i) {
        const Punkt& p = din[i];
        if (p.art == 0 || p.z >= 0 ||
            (Nah(p.x, din[i - 1].x, 0.002) && Nah(p.y, din[i - 1].y, 0.002)))
            continue;
        while (next < lg1.size() && !(lg1[next].art == 10 && Nah(lg1[next].x, p.x, 0.002) &&
                                      Nah(lg1[next].y, p.y, 0.002)))
            ++next;
        ASSERT_LT(next, lg1.size()) << "cut to " << p.x << " " << p.y << " missing";
    }
    // The drill point without a cut is a dot: 0.01 mm in X.
    bool dot = false;
    for (const Punkt& p : lg1) dot = dot || (Nah(p.x, 70.01, 1e-4) && Nah(p.y, 40, 1e-4));
    EXPECT_TRUE(dot);
}

TEST_F(KorvatWriters, DumpListsTheRecordsOfAnLg1File) {
    Post("czorb", "slot.ngc", "slot.LG1");
    std::string listing;
    EXPECT_EQ(0, Korvat("dump " + dir.File("slot.LG1"), &listing));
    EXPECT_TRUE(korvat::test::SameBytes(korvat::test::Golden("slot_dump.txt"), listing));
    korvat::test::WriteFile(dir.File("cut.LG1"), std::string(20, '\0'));
    EXPECT_EQ(1, Korvat("dump " + dir.File("cut.LG1")));
}

TEST_F(KorvatWriters, TheSummaryCountsAnLg1FilesRecordsAsItsBlocks) {
    // slot.ngc makes the 15 records of slot_dump.txt: 15 blocks of 13 bytes, whatever bytes
    // inside them happen to be line feeds.
    std::string command = std::string(KORVAT_PROGRAM) + " post " + Job("slot.ngc") + " --machine " +
                          Machine("czorb") + " -o " + dir.File("slot.LG1") + " 2>&1 >/dev/null";
    int code = -1;
    std::string summary = korvat::test::Shell(command, &code);
    EXPECT_EQ(0, code);
    EXPECT_NE(std::string::npos, summary.find("(CZORB): 15 blocks, 195 bytes, ")) << summary;
}

}  // namespace

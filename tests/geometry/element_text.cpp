#include "element_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "geometry/anfahren.h"
#include "support/golden.h"

namespace korvat::test {

namespace {

// Recursive-descent evaluator: expr = term {(+|-) term}; term = factor {(*|/) factor};
// factor = [-] (number | name | name(expr) | (expr)).
class Ausdruck {
  public:
    explicit Ausdruck(const std::string& s) : s_(s) {}
    double Alles() {
        double v = Summe();
        Leer();
        if (i_ != s_.size()) ok_ = false;
        return v;
    }
    bool ok() const { return ok_; }

  private:
    void Leer() {
        while (i_ < s_.size() && s_[i_] == ' ') ++i_;
    }
    double Summe() {
        double v = Produkt();
        for (;;) {
            Leer();
            if (i_ < s_.size() && s_[i_] == '+') {
                ++i_;
                v += Produkt();
            } else if (i_ < s_.size() && s_[i_] == '-') {
                ++i_;
                v -= Produkt();
            } else {
                return v;
            }
        }
    }
    double Produkt() {
        double v = Faktor();
        for (;;) {
            Leer();
            if (i_ < s_.size() && s_[i_] == '*') {
                ++i_;
                v *= Faktor();
            } else if (i_ < s_.size() && s_[i_] == '/') {
                ++i_;
                v /= Faktor();
            } else {
                return v;
            }
        }
    }
    double Faktor() {
        Leer();
        if (i_ >= s_.size()) {
            ok_ = false;
            return 0;
        }
        if (s_[i_] == '-') {
            ++i_;
            return -Faktor();
        }
        if (s_[i_] == '(') {
            ++i_;
            double v = Summe();
            Leer();
            if (i_ < s_.size() && s_[i_] == ')') {
                ++i_;
            } else {
                ok_ = false;
            }
            return v;
        }
        if (std::isalpha(static_cast<unsigned char>(s_[i_]))) {
            size_t b = i_;
            while (i_ < s_.size() && std::isalpha(static_cast<unsigned char>(s_[i_]))) ++i_;
            std::string name = s_.substr(b, i_ - b);
            if (name == "pi") return M_PI;
            if (name == "nan") return NAN;
            if (name == "inf") return INFINITY;
            double a = Faktor();
            if (name == "sin") return std::sin(a);
            if (name == "cos") return std::cos(a);
            if (name == "tan") return std::tan(a);
            if (name == "atan") return std::atan(a);
            if (name == "sqrt") return std::sqrt(a);
            ok_ = false;
            return 0;
        }
        const char* start = s_.c_str() + i_;
        char* end = nullptr;
        double v = std::strtod(start, &end);
        if (end == start) ok_ = false;
        i_ += static_cast<size_t>(end - start);
        return v;
    }

    std::string s_;
    size_t i_ = 0;
    bool ok_ = true;
};

// Splits on blanks outside parentheses, so "10*cos(pi / 4)" stays one token.
std::vector<std::string> Woerter(const std::string& line) {
    std::vector<std::string> out;
    std::string cur;
    int tiefe = 0;
    for (char c : line) {
        if (c == '(') ++tiefe;
        if (c == ')') --tiefe;
        if ((c == ' ' || c == '\t') && tiefe == 0) {
            if (!cur.empty()) out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

ELE_EAW RecordAus(const std::vector<std::string>& w, const std::string& line) {
    ELE_EAW r{};
    if (w[0] == "U") {
        unsigned char raw[32] = {};
        raw[0] = 'U';
        raw[1] = 2;
        int16_t v1 = w.size() > 1 ? static_cast<int16_t>(std::stoi(w[1])) : 0;
        int16_t v2 = w.size() > 2 ? static_cast<int16_t>(std::stoi(w[2])) : 0;
        std::memcpy(raw + 2, &v1, 2);
        std::memcpy(raw + 4, &v2, 2);
        std::memcpy(raw + 6, "FRXBINWZB", 10);
        std::memcpy(&r, raw, 32);
        return r;
    }
    if (w.size() < 4) {
        ADD_FAILURE() << "record needs a type and three numbers: " << line;
        return r;
    }
    if (w[0] == "A") {
        r.Typ = kEleBogen;
    } else {
        size_t n = 0;
        r.Typ = static_cast<uint8_t>(std::stoi(w[0], &n));
        if (n < w[0].size()) r.Art = w[0][n];
    }
    r.X = Evaluate(w[1]);
    r.Y = Evaluate(w[2]);
    r.Z = Evaluate(w[3]);
    for (size_t i = 4; i < w.size(); ++i) {
        if (w[i].rfind("v=", 0) == 0) {
            r.Wert = static_cast<int16_t>(std::stoi(w[i].substr(2)));
        } else if (w[i].rfind("a=", 0) == 0) {
            int b[4] = {};
            if (std::sscanf(w[i].c_str() + 2, "%d,%d,%d,%d", &b[0], &b[1], &b[2], &b[3]) != 4)
                ADD_FAILURE() << "a= needs four bytes: " << line;
            for (int k = 0; k < 4; ++k) r.Attribute[k] = static_cast<uint8_t>(b[k]);
        } else {
            ADD_FAILURE() << "unknown field " << w[i] << " in: " << line;
        }
    }
    return r;
}

std::string Ohne(const std::string& line) {
    std::string s = line.substr(0, line.find('#'));
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r')) s.pop_back();
    return s;
}

}  // namespace

double Evaluate(const std::string& text) {
    Ausdruck a(text);
    double v = a.Alles();
    if (!a.ok()) ADD_FAILURE() << "not a number expression: " << text;
    return v;
}

std::vector<ELE_EAW> ParseRecords(const std::string& text) {
    std::vector<ELE_EAW> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> w = Woerter(Ohne(line));
        if (!w.empty()) out.push_back(RecordAus(w, line));
    }
    return out;
}

ElementCase LoadCase(const std::string& name) {
    ElementCase c;
    std::istringstream in(Golden(name));
    std::string line;
    std::vector<ELE_EAW>* ziel = nullptr;
    while (std::getline(in, line)) {
        std::vector<std::string> w = Woerter(Ohne(line));
        if (w.empty()) continue;
        if (w[0] == "params") {
            for (size_t i = 1; i < w.size(); ++i) {
                size_t eq = w[i].find('=');
                std::string k = w[i].substr(0, eq), v = w[i].substr(eq + 1);
                if (k == "head") {
                    std::sscanf(v.c_str(), "%d,%d", &c.head1, &c.head2);
                    continue;
                }
                double d = Evaluate(v);
                if (k == "tan")
                    c.tangens = d;
                else if (k == "start")
                    c.start = d;
                else if (k == "final")
                    c.final = d;
                else if (k == "safe")
                    c.safe = d;
                else if (k == "chord")
                    c.chord = d;
                else if (k == "points")
                    c.points = d;
                else
                    ADD_FAILURE() << "unknown parameter " << k << " in " << name;
            }
        } else if (w[0] == "input") {
            ziel = &c.input;
        } else if (w[0] == "output") {
            ziel = &c.output;
        } else if (ziel == nullptr) {
            ADD_FAILURE() << name << ": record before 'input': " << line;
        } else {
            ziel->push_back(RecordAus(w, line));
        }
    }
    return c;
}

std::string RecordText(const ELE_EAW& r, bool arc) {
    char buf[200];
    if (r.Typ == kEleKopf) {
        int16_t v1, v2;
        std::memcpy(&v1, reinterpret_cast<const char*>(&r) + 2, 2);
        std::memcpy(&v2, reinterpret_cast<const char*>(&r) + 4, 2);
        std::snprintf(buf, sizeof buf, "U %d %d", v1, v2);
        return buf;
    }
    char art[4] = {};
    if (r.Art != 0) art[0] = r.Art;
    std::snprintf(buf, sizeof buf, "%s%s %.12g %.12g %.12g v=%d a=%d,%d,%d,%d",
                  arc ? "A" : std::to_string(r.Typ).c_str(), art, r.X, r.Y, r.Z, r.Wert,
                  r.Attribute[0], r.Attribute[1], r.Attribute[2], r.Attribute[3]);
    return buf;
}

std::string RecordsText(const std::vector<ELE_EAW>& records) {
    std::string out;
    bool naechsterBogen = false;
    for (const ELE_EAW& r : records) {
        out += RecordText(r, naechsterBogen) + "\n";
        naechsterBogen = !naechsterBogen && r.Typ == kEleBogen;
    }
    return out;
}

::testing::AssertionResult SameRecords(const std::vector<ELE_EAW>& expected,
                                       const std::vector<ELE_EAW>& actual, double tol) {
    auto nah = [tol](double a, double b) {
        return std::fabs(a - b) <= tol * std::max(1.0, std::fabs(a));
    };
    size_t n = std::min(expected.size(), actual.size());
    bool bogen = false;
    for (size_t i = 0; i < n; ++i) {
        const ELE_EAW& e = expected[i];
        const ELE_EAW& a = actual[i];
        bool gleich;
        if (e.Typ == kEleKopf) {
            gleich = std::memcmp(&e, &a, sizeof e) == 0;
        } else {
            gleich = e.Typ == a.Typ && e.Art == a.Art && e.Wert == a.Wert &&
                     std::memcmp(e.Attribute, a.Attribute, 4) == 0 && nah(e.X, a.X) &&
                     nah(e.Y, a.Y) && nah(e.Z, a.Z);
        }
        if (!gleich) {
            return ::testing::AssertionFailure()
                   << "record " << i << " differs\n  expected: " << RecordText(e, bogen)
                   << "\n  actual:   " << RecordText(a, bogen) << "\nwhole output:\n"
                   << RecordsText(actual);
        }
        bogen = !bogen && e.Typ == kEleBogen;
    }
    if (expected.size() != actual.size()) {
        return ::testing::AssertionFailure() << expected.size() << " records expected, "
                                             << actual.size() << " written\nwhole output:\n"
                                             << RecordsText(actual);
    }
    return ::testing::AssertionSuccess();
}

std::vector<ELE_EAW> ReadElements(const std::string& path) {
    std::string bytes = ReadFile(path);
    EXPECT_EQ(bytes.size() % 32, 0u) << path;
    std::vector<ELE_EAW> out(bytes.size() / 32);
    if (!out.empty()) std::memcpy(out.data(), bytes.data(), out.size() * 32);
    return out;
}

void WriteElements(const std::string& path, const std::vector<ELE_EAW>& records) {
    WriteFile(path, std::string(reinterpret_cast<const char*>(records.data()),
                                records.size() * sizeof(ELE_EAW)));
}

ApproachRun RunApproachOn(const ElementCase& c, const std::string& in, const std::string& out) {
    CAnfahrenKontur a;
    a.Rampenwinkel = std::atan(c.tangens);
    a.Sehnentoleranz = c.chord;
    a.Sicherheitshoehe = c.safe;
    a.Starttiefe = c.start;
    a.Endtiefe = c.final;
    a.Kopfwert[0] = static_cast<int16_t>(c.head1);
    a.Kopfwert[1] = static_cast<int16_t>(c.head2);
    a.Punkttoleranz = c.points;
    ApproachRun r;
    r.meldung = a.Anfahren_EAW_Kontur_Schraeg(in.c_str(), out.c_str());
    char text[260];
    EXPECT_EQ(a.HoleAnfahrFehlerInfo(&r.code, text), r.meldung);
    r.text = text;
    r.inputKept = std::filesystem::exists(in);
    r.outputExists = std::filesystem::exists(out);
    if (r.outputExists) r.out = ReadElements(out);
    return r;
}

ApproachRun RunApproach(const ElementCase& c, const std::string& dir) {
    WriteElements(dir + "/in.eaw", c.input);
    return RunApproachOn(c, dir + "/in.eaw", dir + "/out.eaw");
}

}  // namespace korvat::test

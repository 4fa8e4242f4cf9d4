// The element-file front end: the host's tool-path element file (32-byte records) as path calls.
#include <cmath>
#include <cstring>
#include <string>

#include "common/element.h"
#include "tools/korvat/errors.h"
#include "tools/korvat/frontends.h"

namespace korvat::tool {
namespace {}  // namespace

bool EndsWithNoCase(const std::string& s, const char* suffix) {
    size_t n = std::strlen(suffix);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i) {
        char a = s[s.size() - n + i], b = suffix[i];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
        if (a != b) return false;
    }
    return true;
}

bool IsElementFile(const std::string& file, std::string_view bytes) {
    return EndsWithNoCase(file, ".EAW") || (bytes.size() >= 32 && bytes[0] == kEleKopf &&
                                            std::memcmp(bytes.data() + 6, "FRXBINWZB", 10) == 0);
}

void RunElementFile(std::string_view bytes, const std::string& file, Sink& sink) {
    JobInput job(bytes, file);
    RunElementFile(job, sink);
}

void RunElementFile(JobInput& job, Sink& sink) {
    const std::string& file = job.file();
    auto where = [&](size_t k) { return "record " + std::to_string(k) + ": "; };
    // The next record into e; false at the end of the file.
    auto next = [&](ELE_EAW& e, size_t index) {
        size_t got = job.Read(&e, sizeof e);
        if (got != 0 && got != sizeof e)
            throw JobError(file, 0, 0,
                           "ends with an incomplete record of " + std::to_string(got) +
                               " bytes at byte " + std::to_string(index * sizeof e));
        return got != 0;
    };
    double z = 0.0;  // the height reached, as the calls give it
    ELE_EAW e;
    for (size_t i = 0; next(e, i); ++i) {
        if (e.Typ == kEleKopf) continue;
        if (!std::isfinite(e.X) || !std::isfinite(e.Y) || !std::isfinite(e.Z))
            throw JobError(file, 0, 0, where(i) + "a coordinate is not a number");
        // Depths in the file grow into the material; the calls' Z grows upwards.
        switch (e.Typ) {
            case kElePositionierung:
            case kElePositionierung2:
                z = -e.Z;
                sink.Move3(e.X, e.Y, z);
                break;
            case kEleLinie:
                sink.Draw(e.X, e.Y);
                break;
            case kEleLinie3D:
                z = -e.Z;
                sink.Draw3(e.X, e.Y, z);
                break;
            case kEleBogen: {
                ELE_EAW a;
                if (!next(a, ++i))
                    throw JobError(file, 0, 0, where(i - 1) + "the arc's second record is missing");
                double start = a.X, sweep = a.Y, r = a.Z;
                if (!std::isfinite(start) || !std::isfinite(sweep) || !std::isfinite(r) || r < 0)
                    throw JobError(file, 0, 0,
                                   where(i) + "the arc's angles or radius are not valid");
                double end = start + sweep;
                sink.Kreis(e.X, e.Y, r, start, sweep, e.X + r * std::cos(end),
                           e.Y + r * std::sin(end), z, 0);
                break;
            }
            default:
                break;  // markers and other records carry no motion
        }
    }
}

}  // namespace korvat::tool

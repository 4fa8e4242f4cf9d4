#include "tools/korvat/program.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tools/korvat/adapters/adapter.h"
#include "tools/korvat/errors.h"
#include "tools/korvat/frontends.h"

namespace korvat::tool {

std::string MachinesDir() {
    const char* env = std::getenv("KORVAT_MACHINES");
    if (env != nullptr && *env != 0) return env;
    return KORVAT_EXAMPLE_MACHINES;
}

Machine ResolveMachine(const std::string& argument) {
    Machine m;
    if (argument.empty()) {
        m = LoadMachineText(kExampleProfile, kExampleProfileName);
    } else {
        std::string path = argument;
        struct stat st;
        bool bare =
            argument.find('/') == std::string::npos && argument.find('.') == std::string::npos;
        if (bare && stat(argument.c_str(), &st) != 0)
            path = MachinesDir() + "/" + argument + ".ini";
        m = LoadMachine(path);
    }
    const WriterClass* writer = FindWriter(m.className);
    if (writer == nullptr) {
        std::string known;
        for (const WriterClass* const* w = kWriters; *w != nullptr; ++w)
            known += std::string(known.empty() ? "" : ", ") + (*w)->name;
        throw JobError(
            m.file, 0, 0,
            "class '" + m.className + "' has no writer in korvat (known: " + known + ")");
    }
    if (m.magazine.Anzahl > 0 && !writer->make()->RecodesTools())
        throw JobError(m.file, m.magazineLine, 0,
                       "[magazine]: class " + m.className +
                           " writes tool numbers as they are; it has no magazine places");
    if (m.workpiece.given && !writer->make()->TakesWorkpiece())
        throw JobError(m.file, m.workpiece.line, 0,
                       "[workpiece]: class " + m.className + " takes no workpiece");
    if (!m.feedUnitGiven) FeedFactor(m.feedUnit = writer->feedUnit, &m.feedFactor);
    if (m.settings.Dateiendung[0] == 0)
        std::snprintf(m.settings.Dateiendung, sizeof m.settings.Dateiendung, "%s",
                      writer->extension);
    return m;
}

Job LoadJob(const std::string& path) {
    if (path.empty()) return {kExampleJobName, kExampleJob};
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw JobError(path, 0, 0, "is a folder, not a job file");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw JobError(path, 0, 0, std::string("cannot read job: ") + std::strerror(errno));
    std::ostringstream s;
    s << in.rdbuf();
    return {path, s.str()};
}

CallRecorder ReadJob(const Job& job, const Machine& machine) {
    CallRecorder calls;
    if (IsElementFile(job.file, job.text)) {
        RunElementFile(job.text, job.file, calls);
    } else if (IsCallScript(job.file)) {
        RunCallScript(job.text, job.file, calls);
    } else {
        GcodeOptions options;
        options.feedFactor = machine.feedFactor;
        RunGcode(job.text, job.file, options, calls);
    }
    return calls;
}

}  // namespace korvat::tool

namespace korvat::tool {

void MissingOverride(const char* call) {
    throw std::logic_error(std::string("writer adapter does not override ") + call);
}

}  // namespace korvat::tool

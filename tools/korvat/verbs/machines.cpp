// korvat machines: lists the example machine profiles.
#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/korvat/errors.h"
#include "tools/korvat/program.h"
#include "tools/korvat/verbs/verb.h"

namespace korvat::tool {
namespace {

int Run() {
    std::string dir = MachinesDir();
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n.size() > 4 && n.compare(n.size() - 4, 4, ".ini") == 0) names.push_back(n);
        }
        closedir(d);
    } else {
        throw JobError(dir, 0, 0, "cannot list the machine profiles");
    }
    std::sort(names.begin(), names.end());
    // Read first, printed after, so that the columns fit the longest name and class.
    struct Row {
        std::string name, className, description;
    };
    std::vector<Row> rows;
    int result = kExitOk;
    size_t nameWidth = 0, classWidth = 0;
    for (const std::string& n : names) {
        try {
            Machine m = ResolveMachine(dir + "/" + n, true);
            rows.push_back({n.substr(0, n.size() - 4), m.className, m.description});
            nameWidth = std::max(nameWidth, rows.back().name.size());
            classWidth = std::max(classWidth, m.className.size());
        } catch (const JobError& e) {
            std::fprintf(stderr, "korvat: %s\n", e.what());
            result = kExitJob;
        }
    }
    for (const Row& r : rows)
        std::printf("%-*s  %-*s  %s\n", static_cast<int>(nameWidth), r.name.c_str(),
                    static_cast<int>(classWidth), r.className.c_str(), r.description.c_str());
    return result;
}

std::function<int()> Setup(CLI::App& c) {
    c.footer(
        "Profiles are read from $KORVAT_MACHINES, else from the installed examples\n"
        "(share/korvat/machines beside the program's bin folder), else from the\n"
        "checkout's examples/machines.\n"
        "Example:\n"
        "  korvat machines");
    return [] { return Run(); };
}

}  // namespace

extern const Verb kMachines = {"machines", "list the example machine profiles", Setup};

}  // namespace korvat::tool

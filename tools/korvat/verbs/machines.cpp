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
    int result = kExitOk;
    for (const std::string& n : names) {
        std::string name = n.substr(0, n.size() - 4);
        try {
            Machine m = ResolveMachine(dir + "/" + n, true);
            std::printf("%-12s %-8s %s\n", name.c_str(), m.className.c_str(),
                        m.description.c_str());
        } catch (const JobError& e) {
            std::fprintf(stderr, "korvat: %s\n", e.what());
            result = kExitJob;
        }
    }
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

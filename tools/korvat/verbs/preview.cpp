// korvat preview: draws a job's tool path as an SVG picture.
#include <cstdio>
#include <memory>
#include <string>

#include "tools/korvat/output.h"
#include "tools/korvat/preview.h"
#include "tools/korvat/program.h"
#include "tools/korvat/verbs/job_options.h"
#include "tools/korvat/verbs/verb.h"

namespace korvat::tool {
namespace {

int Run(const JobOptions& o) {
    auto [machine, job] = OpenJobFor(o);
    // The picture is spooled beside its output (which must be able to take it anyway) and
    // written out at the end through a temporary there, so it appears whole or not at all.
    std::string path = o.output == "-" ? "-" : OutputTarget(o.output);
    CheckOutputFolder(path);
    size_t slash = path.rfind('/');
    std::string folder = path == "-"                  ? ""
                         : slash == std::string::npos ? "."
                                                      : path.substr(0, slash + 1);
    Preview preview(path, folder);
    // The job is drawn as it is read: the bar counts its bytes, as post's does.
    ProgressBar progress;
    job->OnProgress([&](uint64_t done, uint64_t total) { progress.Update(done, total); });
    try {
        RunJob(*job, machine, preview);
    } catch (...) {
        progress.Finish();
        throw;
    }
    progress.Finish();
    WriteStreamed(path, [&](std::FILE* out) { return preview.WriteSvg(out); });
    const Preview::Box& e = preview.extents();
    if (e.Empty()) {
        std::fprintf(stderr, "korvat: %s drawn: no cutting moves\n", o.output.c_str());
    } else {
        std::fprintf(stderr, "korvat: %s drawn: extents X %.3f to %.3f, Y %.3f to %.3f mm\n",
                     o.output.c_str(), e.x0, e.x1, e.y0, e.y1);
    }
    return kExitOk;
}

std::function<int()> Setup(CLI::App& c) {
    auto o = std::make_shared<JobOptions>();
    AddJobOptions(c, *o,
                  "machine profile (its feed unit and tools); default: the plain ISO machine",
                  "SVG file to write")
        ->required();
    c.footer(
        "Rapid moves dashed, feed moves solid, arcs as arcs, one colour per tool; the workpiece\n"
        "extents framed, with a scale bar. An element file is drawn the same way: positionings\n"
        "as rapid moves, lines and arcs as feed moves.\n"
        "Examples:\n"
        "  korvat preview examples/jobs/plate.ngc -o plate.svg\n"
        "  korvat approach pocket.ngc pocket.eaw --final-depth 2\n"
        "  korvat preview pocket.eaw -o pocket.svg");
    return [o] { return Run(*o); };
}

}  // namespace

extern const Verb kPreview = {"preview", "draw a job's tool path as an SVG picture", Setup};

}  // namespace korvat::tool

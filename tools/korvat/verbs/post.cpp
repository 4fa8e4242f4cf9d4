// korvat post: runs a job through the machine's writer and writes the program.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "channel/cx268io.h"
#include "platform/files.h"
#include "tools/korvat/adapters/adapter.h"
#include "tools/korvat/errors.h"
#include "tools/korvat/estimate.h"
#include "tools/korvat/output.h"
#include "tools/korvat/program.h"
#include "tools/korvat/verbs/job_options.h"
#include "tools/korvat/verbs/verb.h"
#include "tools/korvat/verbs/wait_notice.h"

namespace korvat::tool {
namespace {

std::string Stem(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string WithoutExtension(const std::string& path) {
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1)
        return path;
    return path.substr(0, dot);
}

// Where the program goes: -o, else the profile's output base, else beside the job with the
// machine's extension (the built-in example: the current folder).
std::string OutputPath(const JobOptions& o, const Machine& m) {
    std::string ext = std::string(".") + m.settings.Dateiendung;
    if (!o.output.empty()) return o.output;
    if (!m.output.empty()) return m.output + ext;
    if (o.job.empty()) return "korvat-example" + ext;
    if (o.job == "-") return "-";  // from standard input to standard output
    std::string path = WithoutExtension(o.job) + ext;
    if (path == o.job)
        throw JobError(o.job, 0, 0, "the program would overwrite the job; name it with -o");
    return path;
}

// The channel keeps a path of at most 99 characters: the temporary base plus "." and the
// extension must fit.
constexpr size_t kChannelPath = 99;

// Passes every call to the writer and to the time estimate.
class Beide : public Sink {
  public:
    Beide(Sink& a, Sink& b) : a_(a), b_(b) {}
    void SourceLine(int line) override { a_.SourceLine(line), b_.SourceLine(line); }
    void ProgramEnd(int m) override { a_.ProgramEnd(m), b_.ProgramEnd(m); }
    void SetzeVorschuebe(float xy, float z) override {
        a_.SetzeVorschuebe(xy, z), b_.SetzeVorschuebe(xy, z);
    }
    void SetzeVorschub(float f) override { a_.SetzeVorschub(f), b_.SetzeVorschub(f); }
    void Spinddreh(int32_t rpm) override { a_.Spinddreh(rpm), b_.Spinddreh(rpm); }
    void Spindea(int on, float dwell) override { a_.Spindea(on, dwell), b_.Spindea(on, dwell); }
    void WkzW(int flags, int tool) override { a_.WkzW(flags, tool), b_.WkzW(flags, tool); }
    void Move(double x, double y) override { a_.Move(x, y), b_.Move(x, y); }
    void Move3(double x, double y, double z) override { a_.Move3(x, y, z), b_.Move3(x, y, z); }
    void MoveZ(double z) override { a_.MoveZ(z), b_.MoveZ(z); }
    void Draw(double x, double y) override { a_.Draw(x, y), b_.Draw(x, y); }
    void Draw3(double x, double y, double z) override { a_.Draw3(x, y, z), b_.Draw3(x, y, z); }
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double ez, int kind) override {
        a_.Kreis(cx, cy, r, start, sweep, ex, ey, ez, kind);
        b_.Kreis(cx, cy, r, start, sweep, ex, ey, ez, kind);
    }
    void Wait(float s) override { a_.Wait(s), b_.Wait(s); }
    void Stop() override { a_.Stop(), b_.Stop(); }
    void SStringln(int numbered, const char* text) override {
        a_.SStringln(numbered, text), b_.SStringln(numbered, text);
    }

  private:
    Sink &a_, &b_;
};

}  // namespace

int PostJob(const JobOptions& o, bool check) {
    if (!o.job.empty() && o.machine.empty()) {
        std::fprintf(stderr, "korvat post: a job needs --machine (see korvat machines)\n");
        return kExitUsage;
    }
    auto [machine, job] = OpenJobFor(o);
    std::string path = OutputTarget(OutputPath(o, machine));
    CheckOutputFolder(path);
    // A machine on a line takes each block as it comes: the job is read through once first, so
    // that a mistake in its last line stops the run before the first block leaves.
    // With --check that first pass also tests the path against the machine's travel.
    if (check) {
        Estimate travel(machine, "", false, job->file());
        RunJob(*job, machine, travel);
        if (!job->Rewind()) throw JobError(job->file(), 0, 0, "cannot be read a second time");
        for (const Violation& v : travel.violations())
            if (!v.workpiece) throw JobError(travel.Describe(v) + "; nothing written");
    } else if (machine.port) {
        CheckJob(*job, machine);
    }
    // The writer names its file base + "." + Dateiendung and some dialects print the base's
    // name in the program head, so the program is written under its own name into a hidden
    // folder beside the output and moved into place at the end.
    std::string ext = std::string(".") + machine.settings.Dateiendung;
    std::string program = Stem(path != "-"                     ? path
                               : o.job.empty() || o.job == "-" ? "program"
                                                               : o.job);
    WorkFolder folder(path);  // removed with what it holds on every way out
    // The writer gets the folder by its short name, so the output may lie as deep as the
    // system allows; only the program's own name counts against the writer's room.
    std::string base = folder.Short() + "/" + program;
    if (base.size() + ext.size() > kChannelPath) {
        size_t room = kChannelPath - std::min(kChannelPath, folder.Short().size() + 1);
        throw JobError(path, 0, 0,
                       folder.Short() != folder.path()
                           ? "the program's name " + program + ext +
                                 " is too long for the writer: its " + "paths hold at most " +
                                 std::to_string(kChannelPath) + " characters, which leaves " +
                                 std::to_string(room) + " for the name with its extension"
                           : "the output path is too long for the writer: its paths hold at most " +
                                 std::to_string(kChannelPath) +
                                 " characters, and the work folder " + folder.path() + " takes " +
                                 std::to_string(folder.path().size()));
    }

    std::unique_ptr<Writer> writer = FindWriter(machine.className)->make();
    // A machine on a line may keep the run waiting: a terminal shows for what.
    std::optional<WaitNotice> notice;
    if (machine.port) notice.emplace();
    if (writer->Open(machine, base.c_str(), program.c_str()) != 0) {
        // A port the channel could not open is named in its record by its device path.
        std::string port = machine.port
                               ? DescribeLineError(cx268io.Fehlernummer, cx268io.Fehlerzahl1,
                                                   cx268io.Fehlertext1, cx268io.Fehlertext2)
                               : "";
        std::string why = !port.empty()
                              ? "the machine's port " + port
                              : "cannot be created (" + folder.ForUser(writer->Failure()) + ")";
        cx268io.pclose(2, 1);
        throw JobError(path, 0, 0, why);
    }
    // A writer that stopped (a full disk, a value it refuses) writes nothing more: the job
    // ends there and nothing is published.
    auto stopped = [&] {
        std::string why = folder.ForUser(writer->Failure());
        cx268io.pclose(2, 1);
        return JobError(path, 0, 0, "not written: " + why);
    };
    // The job goes to the writer call by call as it is read, the progress counted in bytes of
    // the job; the program's bytes and lines are counted as they are written.
    ProgressBar progress;
    job->OnProgress([&](uint64_t done, uint64_t total) {
        if (writer->Failed()) throw stopped();
        progress.Update(done, total);
    });
    platform::WriteTally written;
    platform::TallyWrites(&written);
    JobTally tally;
    // The time estimate goes along (without range checks, so the writer's dialogs stay its own).
    const std::string& shown = o.shownAs.empty() ? job->file() : o.shownAs;
    Estimate estimate(machine, "", false, shown, false);
    Beide beide(*writer, estimate);
    try {
        tally = RunJob(*job, machine, beide);
        writer->Close();
    } catch (...) {
        platform::TallyWrites(nullptr);
        progress.Finish();
        cx268io.pclose(2, 1);
        throw;
    }
    platform::TallyWrites(nullptr);
    progress.Finish();
    if (writer->Failed()) throw stopped();
    // The program is the one file the writer made: base + "." + Dateiendung as a rule, though
    // a writer that reads a dot in the name as the start of an extension names it otherwise.
    std::vector<std::string> files = folder.Files();
    if (files.size() != 1)
        throw JobError(path, 0, 0,
                       "not written: the writer made " + std::to_string(files.size()) +
                           " files instead of one");
    struct stat st;
    uint64_t bytes = stat(folder.File(files[0]).c_str(), &st) == 0 ? st.st_size : 0;
    Publish(folder.File(files[0]), path);

    // The summary: blocks are the program's lines (or records, for a binary program).
    uint64_t blocks = writer->Blocks(bytes, written.lines, written.last);
    estimate.Finish();
    std::fputs(estimate.ToolWarnings().c_str(), stderr);
    std::fprintf(stderr,
                 "korvat: %s posted for %s (%s): %llu blocks, %llu bytes, %zu tool %s, estimated "
                 "time %s\n",
                 shown.c_str(), machine.file.c_str(), machine.className.c_str(),
                 static_cast<unsigned long long>(blocks), static_cast<unsigned long long>(bytes),
                 tally.toolChanges, tally.toolChanges == 1 ? "change" : "changes",
                 HoursMinutesSeconds(estimate.Minutes()).c_str());
    if (path != "-") std::printf("%s\n", path.c_str());
    return kExitOk;
}

namespace {

std::function<int()> Setup(CLI::App& c) {
    auto o = std::make_shared<JobOptions>();
    auto check = std::make_shared<bool>(false);
    AddJobOptions(c, *o, "machine profile: a path, or an example name from `korvat machines`",
                  "program file to write (default: beside the job, with the machine's extension)");
    c.add_flag("--check", *check,
               "refuse a job whose path leaves the machine's [travel], naming the first point");
    c.footer(
        "The program appears only when the whole job went through; a summary goes to stderr,\n"
        "the program's path to stdout.\n"
        "Examples:\n"
        "  korvat post                                   built-in example, plain ISO machine\n"
        "  korvat post examples/jobs/plate.ngc --machine iso -o plate.nc\n"
        "  korvat post examples/jobs/plate.ngc --machine din-8192 -o plate-8192.nc");
    return [o, check] { return PostJob(*o, *check); };
}

}  // namespace

extern const Verb kPost = {"post", "write a machine program from a job", Setup};

}  // namespace korvat::tool

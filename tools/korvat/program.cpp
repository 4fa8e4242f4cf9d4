#include "tools/korvat/program.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "tools/korvat/adapters/adapter.h"
#include "tools/korvat/drivers/driver.h"
#include "tools/korvat/errors.h"
#include "tools/korvat/frontends.h"
#include "tools/korvat/output.h"

namespace korvat::tool {

std::string MachinesDir() {
    const char* env = std::getenv("KORVAT_MACHINES");
    if (env != nullptr && *env != 0) return env;
    // An installed korvat finds its data folder beside its own folder (bin/../share/korvat),
    // wherever the prefix is; a korvat in a build tree has none there and reads the checkout's.
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string program(self, static_cast<size_t>(n));
        std::string installed =
            program.substr(0, program.rfind('/') + 1) + KORVAT_INSTALLED_DATA "/machines";
        char resolved[PATH_MAX];
        struct stat st;
        if (realpath(installed.c_str(), resolved) != nullptr && stat(resolved, &st) == 0 &&
            S_ISDIR(st.st_mode))
            return resolved;
    }
    return KORVAT_EXAMPLE_MACHINES;
}

Machine ResolveMachine(const std::string& argument, bool online) {
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
    if (const DriverClass* driver = FindDriver(m.className); writer == nullptr && driver) {
        if (!online)
            throw JobError(m.file, 0, 0,
                           "class " + m.className +
                               " drives the machine online: send the job with korvat send");
        if (!m.feedUnitGiven) FeedFactor(m.feedUnit = driver->feedUnit, &m.feedFactor);
        return m;
    }
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

std::unique_ptr<JobInput> OpenJob(const std::string& path) {
    if (path.empty()) return std::make_unique<JobInput>(kExampleJob, kExampleJobName);
    NoteInput(path);
    return std::make_unique<JobInput>(path);
}

namespace {

// Passes every call on, counting the moves, tool changes and commands, after checking its
// coordinates against the largest one the machine's writer writes as it is meant: beyond it a
// dialect prints an exponent ("1e+20"), loses its decimals or overflows its fields, so such a
// job is refused with its line before anything is written. A driver that sends the tool's size
// with the change has every tool looked up in the profile here too, so that send refuses an
// undescribed one before the machine moves. (One sink for both: every call of a job passes here.)
class Tally : public Relay {
  public:
    // `writes`: what the class does with a coordinate, for the message ("writes", "sends");
    // `tools`: the profile, when every tool must be described in it, else null.
    Tally(Sink& to, const std::string& file, const std::string& className, const char* writes,
          double limit, const Machine* tools)
        : Relay(to),
          file_(file),
          className_(className),
          writes_(writes),
          limit_(limit),
          tools_(tools) {}
    void Spindea(int on, float dwell) override { ++t.commands, Relay::Spindea(on, dwell); }
    void WkzW(int flags, int tool) override {
        if (tools_ != nullptr) DescribedTool(*tools_, tool);
        ++t.toolChanges, Relay::WkzW(flags, tool);
    }
    void Move(double x, double y) override { At(x, y), ++t.moves, Relay::Move(x, y); }
    void Move3(double x, double y, double z) override {
        At(x, y, z), ++t.moves, Relay::Move3(x, y, z);
    }
    void MoveZ(double z) override { Check("Z", z), ++t.moves, Relay::MoveZ(z); }
    void Draw(double x, double y) override { At(x, y), ++t.moves, Relay::Draw(x, y); }
    void Draw3(double x, double y, double z) override {
        At(x, y, z), ++t.moves, Relay::Draw3(x, y, z);
    }
    void Kreis(double cx, double cy, double r, double start, double sweep, double ex, double ey,
               double ez, int kind) override {
        At(ex, ey, ez);
        Check("arc centre X", cx), Check("arc centre Y", cy), Check("arc radius", r);
        ++t.moves, Relay::Kreis(cx, cy, r, start, sweep, ex, ey, ez, kind);
    }
    void Wait(float seconds) override { ++t.commands, Relay::Wait(seconds); }
    void Stop() override { ++t.commands, Relay::Stop(); }
    void SStringln(int numbered, const char* text) override {
        ++t.commands, Relay::SStringln(numbered, text);
    }
    void SourceLine(int line) override { line_ = line, Relay::SourceLine(line); }

    JobTally t;

  private:
    void At(double x, double y) const { Check("X", x), Check("Y", y); }
    void At(double x, double y, double z) const { At(x, y), Check("Z", z); }
    void Check(const char* what, double v) const {
        if (std::fabs(v) <= limit_) return;  // NaN is the front end's to refuse
        char text[160];
        std::snprintf(text, sizeof text,
                      "%s %.10g mm is beyond what %s %s (at most %.3f mm either way)", what, v,
                      className_.c_str(), writes_, limit_);
        throw JobError(file_, line_, 0, text);
    }
    const std::string& file_;
    const std::string& className_;
    const char* writes_;
    double limit_;
    const Machine* tools_;
    int line_ = 0;
};

}  // namespace

JobTally RunJob(JobInput& job, const Machine& machine, Sink& sink) {
    const WriterClass* writer = FindWriter(machine.className);
    const DriverClass* driver = writer ? nullptr : FindDriver(machine.className);
    const std::string file = job.file();
    Tally tally(sink, file, machine.className, writer ? "writes" : "sends",
                writer   ? CoordinateLimit(*writer, machine)
                : driver ? CoordinateLimit(*driver, machine)
                         : HUGE_VAL,
                driver && driver->sendsToolSize ? &machine : nullptr);
    if (IsElementFile(job.file(), job.Head(32))) {
        RunElementFile(job, tally);
    } else if (IsCallScript(job.file())) {
        RunCallScript(job, tally);
    } else {
        GcodeOptions options;
        options.feedFactor = machine.feedFactor;
        RunGcode(job, options, tally);
    }
    // Feeds and speeds alone make no program: an empty job, one of comments or one that only
    // ends would give an empty file that looks like a program.
    if (tally.t.moves + tally.t.toolChanges + tally.t.commands == 0)
        throw JobError(job.file(), 0, 0, "holds no move and no machine command; nothing to write");
    return tally.t;
}

void CheckJob(JobInput& job, const Machine& machine) {
    NullSink none;
    RunJob(job, machine, none);
    if (!job.Rewind()) throw JobError(job.file(), 0, 0, "cannot be read a second time");
}

}  // namespace korvat::tool

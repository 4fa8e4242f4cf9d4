// Output files appear whole or not at all: they are written under a hidden name beside the
// final one and renamed when everything went well, so a failed run never leaves a truncated
// program that looks complete.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace korvat::tool {

// Notes a file the run reads (a job, a profile), so that no output can replace it.
void NoteInput(const std::string& path);
// Where an output really goes: a symbolic link's target (the link stays as it is), "-" (standard
// output) as it is, any other path as given. Throws JobError for a path that exists but is not a
// regular file (a device such as /dev/null, a pipe) and for one that is a file the run reads
// (the same device and inode, under whatever name).
std::string OutputTarget(const std::string& path);
// Throws JobError (naming the output) unless the folder of `path` exists and can be written,
// and `path` itself is not a folder. "-" (standard output) passes.
void CheckOutputFolder(const std::string& path);
// The hidden temporary name beside `path` for this process ("dir/.name.korvat<pid>"); for "-"
// (standard output) in $TMPDIR, else /tmp.
std::string TemporaryBeside(const std::string& path);
// Renames the finished temporary file to `path` (for "-": copies it to standard output and
// removes it); removes it and throws JobError on failure.
void Publish(const std::string& temporary, const std::string& path);
// Writes bytes to OutputTarget(path) through a temporary beside it, or to standard output for
// "-". Throws JobError.
void WriteWhole(const std::string& path, const std::string& bytes);
// The same for a text that `write` puts into the stream it is given (true when it could).
void WriteStreamed(const std::string& path, const std::function<bool(std::FILE*)>& write);

// A hidden folder beside an output ("dir/.name.korvat<pid>", then the tag, so that two verbs
// of one run can each have one), the writer's alone. The
// destructor removes it with whatever it still holds; so do SIGINT, SIGTERM and SIGHUP, after
// which the program ends with 128 + the signal's number. Throws JobError when it cannot be made.
class WorkFolder {
  public:
    explicit WorkFolder(const std::string& output, const char* tag = "");
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    // A short absolute name of the folder for writers that keep only short paths: the folder
    // opened once and reached through /proc/self/fd, however deep it lies; the full path where
    // /proc cannot be used.
    const std::string& Short() const { return short_; }
    // The names of the files in it.
    std::vector<std::string> Files() const;
    // text with every path inside the folder replaced by the output's path, so that messages
    // name what the user asked for and never the work folder.
    std::string ForUser(const std::string& text) const;

  private:
    std::string output_, path_, short_;
    int slot_ = -1;
    int fd_ = -1;
};

// Installs the signal handling of the program: the work folders go on SIGINT, SIGTERM and
// SIGHUP, and a write beyond the file-size limit fails with "file too large" instead of
// killing the program (SIGXFSZ is ignored). Called once, first thing in main.
void InstallSignalCleanup();

// A progress bar on stderr, drawn only on a terminal and only once a job has run for a
// second (KORVAT_PROGRESS_AFTER_MS: another time, for tests); Finish() clears it.
class ProgressBar {
  public:
    ProgressBar();
    void Update(size_t done, size_t total);
    void Finish();

  private:
    bool terminal_;
    bool drawn_ = false;
    long long startMs_;
    long long delayMs_;
    long long lastMs_ = 0;
};

}  // namespace korvat::tool

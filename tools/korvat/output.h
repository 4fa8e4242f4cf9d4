// Output files appear whole or not at all: they are written under a hidden name beside the
// final one and renamed when everything went well, so a failed run never leaves a truncated
// program that looks complete.
#pragma once

#include <string>

namespace korvat::tool {

// Throws JobError (naming the output) unless the folder of `path` exists and can be written,
// and `path` itself is not a folder.
void CheckOutputFolder(const std::string& path);
// The hidden temporary name beside `path` for this process ("dir/.name.korvat<pid>").
std::string TemporaryBeside(const std::string& path);
// Renames the finished temporary file to `path`; removes it and throws JobError on failure.
void Publish(const std::string& temporary, const std::string& path);
// Writes bytes to `path` through a temporary beside it. Throws JobError.
void WriteWhole(const std::string& path, const std::string& bytes);

// A progress bar on stderr, drawn only on a terminal and only once a job has run for a
// second; Finish() clears it.
class ProgressBar {
  public:
    ProgressBar();
    void Update(size_t done, size_t total);
    void Finish();

  private:
    bool terminal_;
    bool drawn_ = false;
    long long startMs_;
    long long lastMs_ = 0;
};

}  // namespace korvat::tool

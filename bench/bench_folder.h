// A temporary folder for a benchmark's files, removed with what it holds when the object goes,
// so that benchmark runs leave nothing in /tmp.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

class BenchFolder {
  public:
    BenchFolder() {
        char templ[] = "/tmp/korvat-bench-XXXXXX";
        const char* made = mkdtemp(templ);
        path_ = made != nullptr ? made : "";
    }
    ~BenchFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    // The folder, or "" when none could be made (then the benchmark's files cannot be written,
    // which it reports).
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// One folder for the whole run of the benchmark program, removed at its end.
inline const std::string& SharedBenchFolder() {
    static const BenchFolder folder;
    return folder.path();
}

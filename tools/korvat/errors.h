// The one error type of the korvat program: a job, profile or output problem, reported as one
// line "file:line:column: message" (line and column left out where they do not apply).
#pragma once

#include <stdexcept>
#include <string>

namespace korvat::tool {

class JobError : public std::runtime_error {
  public:
    JobError(const std::string& file, int line, int column, const std::string& message)
        : std::runtime_error(Where(file, line, column) + message) {}
    explicit JobError(const std::string& message) : std::runtime_error(message) {}

  private:
    static std::string Where(const std::string& file, int line, int column) {
        std::string w = file;
        if (line > 0) w += ":" + std::to_string(line);
        if (line > 0 && column > 0) w += ":" + std::to_string(column);
        return w + ": ";
    }
};

}  // namespace korvat::tool

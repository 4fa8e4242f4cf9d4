// A job as the front ends read it: line by line (or record by record) from a file read in
// chunks, so a job of any size is read in the same small memory, or from a text the caller holds.
// Line ends are LF, CR LF or a CR alone; a UTF-8 byte-order mark at the start is skipped; a line
// longer than kMaxLine is refused, so a file without line ends (/dev/zero) ends in an error
// instead of filling the memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace korvat::tool {

class JobInput {
  public:
    static constexpr size_t kMaxLine = 65536;

    // The file at path, read in chunks. Throws JobError when it cannot be opened or is a folder.
    explicit JobInput(const std::string& path);
    // A text the caller keeps alive while the job is read; name stands for the file in messages.
    JobInput(std::string_view text, std::string name);
    ~JobInput();
    JobInput(const JobInput&) = delete;
    JobInput& operator=(const JobInput&) = delete;

    const std::string& file() const { return name_; }

    // The next line, without its line end, into line; false at the end of the job. The view
    // stays valid until the next call. Throws JobError for an overlong line or a read error.
    bool NextLine(std::string_view& line);
    // The number of the line NextLine returned last (1 for the first).
    int line() const { return line_; }

    // The first n bytes of the job (fewer when it is shorter), without consuming them; only
    // before anything was read.
    std::string_view Head(size_t n);
    // Up to n bytes into out; fewer only at the end of the job. Throws JobError on a read error.
    size_t Read(void* out, size_t n);

    // Back to the start, for a second reading; false when the input cannot be read again.
    bool Rewind();
    // False when the file was written to since it was opened (its size or modification time
    // changed), so a second reading would not read what the first one did. A text held in
    // memory and an input that is no regular file count as unchanged.
    bool Unchanged() const;

    // Bytes consumed so far and the job's size (0 when not known in advance, as for a pipe).
    uint64_t consumed() const { return consumed_; }
    uint64_t size() const { return size_; }
    // Called with (consumed, size) after each chunk is read.
    void OnProgress(std::function<void(uint64_t, uint64_t)> progress) {
        progress_ = std::move(progress);
    }

  private:
    // Reads more of the file behind the bytes not yet consumed; false at the end.
    bool Fill();

    std::string name_;
    int fd_ = -1;
    std::unique_ptr<char[]> buffer_;  // the chunk buffer of a file; null for a held text
    const char* data_ = nullptr;      // the bytes read and not yet consumed: data_[pos_, end_)
    size_t pos_ = 0, end_ = 0;
    bool eof_ = false;
    bool started_ = false;  // the byte-order mark was looked for
    int line_ = 0;
    uint64_t consumed_ = 0, size_ = 0;
    bool regular_ = false;
    int64_t modifiedNs_ = 0;  // the regular file's modification time when it was opened
    std::function<void(uint64_t, uint64_t)> progress_;
};

}  // namespace korvat::tool

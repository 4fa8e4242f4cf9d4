// Where korvat writes: only regular files, never a file the run reads, through a symbolic link
// to its target, to standard output for "-"; a job may come from standard input.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/process.h"

namespace korvat::test {
namespace {

const std::string kDialects = std::string(KORVAT_TEST_DIR) + "/jobs/dialects.ngc";

TEST(OutputPaths, ADeviceOrPipeIsNeverReplaced) {
    TempDir dir;
    ASSERT_EQ(0, mkfifo(dir.File("pipe").c_str(), 0600));
    const std::string notRegular =
        ": is not a regular file; name a program file (or - for standard output)";
    ExpectRefused(dir.path(), "post " + kDialects + " --machine iso -o /dev/null",
                  "/dev/null" + notRegular);
    ExpectRefused(dir.path(), "post " + kDialects + " --machine iso -o pipe", "pipe" + notRegular);
    ExpectRefused(dir.path(), "preview " + kDialects + " -o /dev/null", "/dev/null" + notRegular);
    // /dev/stdout leads through /proc to whatever standard output is, here a file of the test's.
    ExpectRefused(dir.path(), "post " + kDialects + " --machine iso -o /dev/stdout",
                  "/dev/stdout: is an open file of a process, not a program file; use - for "
                  "standard output");
    struct stat st;
    ASSERT_EQ(0, stat("/dev/null", &st));
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST(OutputPaths, AFileTheRunReadsIsNeverReplaced) {
    TempDir dir;
    WriteFile(dir.File("same.ngc"), ReadFile(kDialects));
    ASSERT_EQ(0, link(dir.File("same.ngc").c_str(), dir.File("other-name.nc").c_str()));
    WriteFile(dir.File("machine.ini"), ReadFile(KORVAT_SOURCE_DIR "/examples/machines/iso.ini"));
    const std::string reads = ": is a file this run reads; name another output";
    ExpectRefused(dir.path(), "post same.ngc --machine iso -o same.ngc", "same.ngc" + reads);
    ExpectRefused(dir.path(), "post same.ngc --machine iso -o other-name.nc",
                  "other-name.nc" + reads);
    ExpectRefused(dir.path(), "post same.ngc --machine machine.ini -o machine.ini",
                  "machine.ini" + reads);
    ExpectRefused(dir.path(), "preview same.ngc -o same.ngc", "same.ngc" + reads);
    ExpectRefused(dir.path(), "approach same.ngc same.ngc", "same.ngc" + reads);
    EXPECT_EQ(ReadFile(kDialects), ReadFile(dir.File("same.ngc")));
}

TEST(OutputPaths, ALinkIsWrittenThroughAndStays) {
    TempDir dir;
    ASSERT_EQ(0, symlink("real.nc", dir.File("link.nc").c_str()));
    ASSERT_EQ(0, symlink("link.nc", dir.File("link-to-link.nc").c_str()));
    Outcome r = RunKorvat(dir.path(), "post " + kDialects + " --machine iso -o link-to-link.nc");
    ASSERT_EQ(0, r.exit) << r.err;
    EXPECT_EQ("link-to-link.nc\nlink.nc\nreal.nc\n", AllFiles(dir.path()));
    struct stat st;
    ASSERT_EQ(0, lstat(dir.File("link.nc").c_str(), &st));
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_TRUE(SameBytes(Crlf(Golden("iso.nc")), ReadFile(dir.File("real.nc"))));
}

TEST(StandardStreams, DashWritesTheProgramToStandardOutputAndReadsTheJobFromStandardInput) {
    TempDir dir;
    Outcome r = RunKorvat(dir.path(), "post " + kDialects + " --machine iso -o -");
    ASSERT_EQ(0, r.exit) << r.err;
    EXPECT_TRUE(SameBytes(Crlf(Golden("iso.nc")), r.out));
    EXPECT_EQ("", AllFiles(dir.path()));

    r = RunKorvat(dir.path(), "post - --machine iso -o out.nc < " + kDialects);
    ASSERT_EQ(0, r.exit) << r.err;
    EXPECT_EQ("out.nc\n", r.out);
    EXPECT_TRUE(SameBytes(Crlf(Golden("iso.nc")), ReadFile(dir.File("out.nc"))));

    r = RunKorvat(dir.path(), "post - --machine iso < " + kDialects);
    ASSERT_EQ(0, r.exit) << r.err;
    EXPECT_TRUE(SameBytes(Crlf(Golden("iso.nc")), r.out));
    EXPECT_EQ("out.nc\n", AllFiles(dir.path()));
}

// Starts korvat post of the dialects job with -o - in folder `cwd`, its temporary files in
// `tmp`, and its standard output on descriptor `out`; waits for it and returns its exit code.
int PostToStandardOutput(const std::string& cwd, const std::string& tmp, int out) {
    pid_t pid = Spawn({"/bin/sh", "-c",
                       "cd '" + cwd + "' && TMPDIR='" + tmp + "' KORVAT_MACHINES='" +
                           KORVAT_SOURCE_DIR "/examples/machines' exec '" KORVAT_PROGRAM "' post " +
                           kDialects + " --machine iso -o -"},
                      {{STDOUT_FILENO, out}});
    close(out);
    int code = -1;
    EXPECT_TRUE(WaitChild(pid, 30000, &code));
    return code;
}

TEST(StandardStreams, AReaderOfTheProgramThatGoesAwayLeavesNoWorkFolderBehind) {
    TempDir dir;
    int fds[2];
    ASSERT_EQ(0, pipe(fds));
    close(fds[0]);  // the reader is gone before the program comes
    EXPECT_EQ(128 + SIGPIPE, PostToStandardOutput(dir.path(), dir.path(), fds[1]));
    EXPECT_EQ("", AllFiles(dir.path()));
}

// The work folder of standard output lies in the temporary files' folder, not in the current
// one, which may be one no one writes to (/sys here, even for root).
TEST(StandardStreams, AProgramToStandardOutputNeedsNoWritableCurrentFolder) {
    TempDir dir;
    const std::string out = dir.File("out.nc");
    int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(0, PostToStandardOutput("/sys", dir.path(), fd));
    EXPECT_TRUE(SameBytes(Crlf(Golden("iso.nc")), ReadFile(out)));
    EXPECT_EQ("out.nc\n", AllFiles(dir.path()));
}

// The writer keeps paths of at most 99 characters; the output's folder does not count against
// them, only the program's own name does.
TEST(OutputPaths, ADeepOutputFolderIsWrittenAndOnlyTooLongANameIsRefused) {
    TempDir dir;
    std::string deep = dir.path();
    while (deep.size() < 180) deep += "/folder-" + std::string(20, 'd');
    ASSERT_EQ(0, std::system(("mkdir -p '" + deep + "'").c_str()));
    std::string out = deep + "/" + std::string(200 - deep.size() - 4, 'p') + ".nc";
    ASSERT_EQ(200u, out.size());
    Outcome r = RunKorvat(dir.path(), "post " + kDialects + " --machine iso -o " + out);
    ASSERT_EQ(0, r.exit) << r.err;
    EXPECT_EQ(out + "\n", r.out);
    EXPECT_TRUE(SameBytes(Crlf(Golden("iso.nc")), ReadFile(out)));
    EXPECT_EQ(out.substr(deep.size() + 1) + "\n", AllFiles(deep));

    // A name the writer cannot hold is named, with the room it has; nothing is left behind.
    std::string name = std::string(90, 'n') + ".nc";
    ExpectRefused(dir.path(), "post " + kDialects + " --machine iso -o " + name,
                  name + ": the program's name " + name +
                      " is too long for the writer: its paths hold at most 99 characters, "
                      "which leaves 83 for the name with its extension");
}

TEST(Profiles, AProfileWithoutEndIsRefusedAfterItsLimit) {
    TempDir dir;
    ExpectRefused(dir.path(), "post " + kDialects + " --machine /dev/zero -o out.nc",
                  "/dev/zero: is longer than a profile may be (1024 KiB)");
}

}  // namespace
}  // namespace korvat::test

// mwc-check's files, the real program: a saved graph read only as far as it
// may hold, and the files it writes written whole or not at all.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "run_tool.h"

TEST(Files, ACompareReadsOnlyWhatASavedFileMayHold)
{
    char path[] = "/tmp/mwc-check-saved-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_EQ(Exit_Status(Run_Tool(MWC_CHECK_PATH, {"--save", path})), 0);
    const std::string saved = Read_File(path);
    EXPECT_LT(saved.size(), 32U << 20U) << "at most 32 MB for this oven";

    // A build against its own file, and through a pipe.
    const Mwc_Run same = Run_Tool(MWC_CHECK_PATH, {"--compare", path});
    EXPECT_EQ(Exit_Status(same), 0) << same.errors;
    EXPECT_NE(same.output.find("same: every key script gives the same trace lines in both"),
              std::string::npos);
    const Mwc_Run piped = Run_Command_On_Pipes(
        {"/bin/sh", "-c", "\"$0\" --save - | \"$0\" --compare -", MWC_CHECK_PATH}, "",
        NO_WALL_CLOCK_S);
    EXPECT_EQ(Exit_Status(piped), 0) << piped.errors;

    // Files that are no saved graph: refused, named, never compared. Some
    // are sealed again with a checksum that holds, as a crafted file is.
    // Field `field` of the last trace line, which ends before the checksum.
    const auto with_value = [&saved](std::size_t field, double value) {
        constexpr std::size_t FIELDS = 15;
        std::string bytes = saved;
        const std::size_t at = bytes.size() - 8 - (FIELDS - field) * sizeof value;
        std::memcpy(&bytes[at], &value, sizeof value);
        return bytes;
    };
    std::string renamed = saved;
    renamed.replace(renamed.find("\x04tick"), 5, "\x04\x1b]0;");
    std::string other_version = saved;
    other_version[8] = 2; // the version, after the magic
    std::string flipped = saved;
    flipped[saved.size() / 2] = static_cast<char>(flipped[saved.size() / 2] ^ 1);
    const struct {
        std::string bytes;
        std::string message;
    } bad[] = {
        {"", "it is empty"},
        {"GIF89a", "it is not a file of mwc-check --save"},
        {saved.substr(0, saved.size() / 3), "it is truncated"},
        {saved + "x",
         "it runs past the " + std::to_string(saved.size()) + " bytes its header says"},
        {other_version, "it is of version 2; this mwc-check reads version 1"},
        {flipped, "it is damaged: its checksum does not match"},
        // The header's text is read out only once the checksum holds, escaped.
        {renamed, "it is damaged: its checksum does not match"},
        {Sealed(renamed), "it was saved with other trace fields than this mwc-check's (\\x1B]0; "
                          "where this one has tick)"},
        // Every value is one its field can have.
        {Sealed(with_value(6, 2.5)),
         "it is damaged: a trace line holds a value that no state can have"},
        {Sealed(with_value(4, 0.5)),
         "it is damaged: a trace line holds a value that no door can have"},
        {Sealed(with_value(1, 300)),
         "it is damaged: a trace line holds a value that no key can have"},
    };
    for (const auto& row : bad) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << row.bytes;
        const Mwc_Run run = Run_Tool(MWC_CHECK_PATH, {"--compare", path});
        EXPECT_EQ(Exit_Status(run), 2) << row.message;
        EXPECT_EQ(run.output, "");
        EXPECT_NE(
            run.errors.find(std::string("'") + path + "' cannot be compared with: " + row.message),
            std::string::npos)
            << run.errors;
        EXPECT_EQ(run.errors.find('\x1b'), std::string::npos) << run.errors;
    }

    // Files that never end are refused as soon as they run past what their
    // first bytes say, holding no more memory than that.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << saved;
    const struct {
        const char* command;
        std::string message;
    } endless[] = {
        {"\"$0\" --compare /dev/zero", "it is not a file of mwc-check --save"},
        {"\"$0\" --compare - < /dev/urandom", "it is not a file of mwc-check --save"},
        {"(head -c 1000 \"$1\"; cat /dev/zero) | \"$0\" --compare -",
         "it runs past the " + std::to_string(saved.size()) + " bytes its header says"},
    };
    for (const auto& row : endless) {
        const Mwc_Run run = Run_Command_On_Pipes(
            {"/bin/sh", "-c", std::string(MEMORY_LIMIT) + row.command, MWC_CHECK_PATH, path}, "",
            NO_WALL_CLOCK_S);
        EXPECT_EQ(Exit_Status(run), 2) << row.command << run.errors;
        EXPECT_NE(run.errors.find(row.message), std::string::npos) << run.errors;
    }
    unlink(path);
}

TEST(Files, FilesAreWrittenWholeOrNotAtAllAndStandardOutputByItsNames)
{
    char path[] = "/tmp/mwc-check-written-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    const auto run = [&path](const std::string& command) {
        return Run_Command_On_Pipes(
            {"/bin/sh", "-c", std::string(MEMORY_LIMIT) + command, MWC_CHECK_PATH, path}, "",
            NO_WALL_CLOCK_S);
    };
    // Standard output by any of its names takes the graph, or the script
    // after the answers, even though the program points its own elsewhere.
    ASSERT_EQ(Exit_Status(run("\"$0\" --save \"$1\"")), 0);
    const std::string saved = Read_File(path);
    const std::string copy = std::string(path) + ".copy";
    for (const char* name : {"-", "/dev/stdout", "/dev/fd/1"}) {
        const Mwc_Run save = run(std::string("\"$0\" --save ") + name + " > \"$1.copy\"");
        EXPECT_EQ(Exit_Status(save), 0) << name << save.errors;
        EXPECT_TRUE(Read_File(copy) == saved) << name << ": " << Read_File(copy).size() << " bytes";
        const Mwc_Run script = run(std::string("\"$0\" --reach door --script ") + name);
        EXPECT_EQ(Exit_Status(script), 0) << name << script.errors;
        EXPECT_TRUE(script.output.ends_with("}\nf")) << name << ": " << script.output;
    }
    // A write that fails part way, here at a file size limit, is said,
    // naming the file, and leaves the old file as it was.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << "old";
    const Mwc_Run limited = run("ulimit -f 1024; \"$0\" --save \"$1\"");
    EXPECT_EQ(Exit_Status(limited), 1);
    EXPECT_NE(limited.errors.find(std::string("cannot write '") + path + "': File too large"),
              std::string::npos)
        << limited.errors;
    const Mwc_Run script = run("ulimit -f 0; \"$0\" --reach door --script \"$1\"");
    EXPECT_EQ(Exit_Status(script), 1);
    EXPECT_NE(script.errors.find("File too large"), std::string::npos) << script.errors;
    EXPECT_EQ(Read_File(path), "old");
    // A file written keeps its mode; a link is followed, not replaced.
    const std::string link = std::string(path) + ".link";
    ASSERT_EQ(chmod(path, 0640), 0);
    ASSERT_EQ(symlink(path, link.c_str()), 0);
    EXPECT_EQ(Exit_Status(run("\"$0\" --reach door --script \"$1.link\"")), 0);
    EXPECT_EQ(Read_File(path), "f");
    struct stat status {
    };
    ASSERT_EQ(stat(path, &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640U);
    ASSERT_EQ(lstat(link.c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    unlink(link.c_str());
    unlink(copy.c_str());
    unlink(path);
}

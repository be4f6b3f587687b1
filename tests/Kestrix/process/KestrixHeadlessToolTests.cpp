#include "Kestrix/model/Base64.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct ToolResult {
    int status;
    std::string output;
};

// Runs the tool with the arguments (single-quoted for the shell) and collects its standard output.
ToolResult runTool(const std::vector<std::string> &arguments)
{
    std::string command = KESTRIX_HEADLESS;
    for (const auto &argument : arguments) {
        std::string quoted = "'";
        for (char c : argument) {
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        command += " " + quoted + "'";
    }
    FILE *pipe = ::popen(command.c_str(), "r");
    std::string output;
    char buffer[4096];
    while (size_t count = std::fread(buffer, 1, sizeof buffer, pipe)) {
        output.append(buffer, count);
    }
    int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::string readFile(const fs::path &path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

class KestrixHeadlessTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory = fs::temp_directory_path() / ("kestrix-headless-" + std::to_string(::getpid()));
        fs::create_directories(directory);
    }
    void TearDown() override { fs::remove_all(directory); }

    std::string recording(const std::string &bytes)
    {
        auto path = directory / "stream";
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    fs::path directory;
};

TEST_F(KestrixHeadlessTool, FeedPrintsExactlyTheScreenRowsTrimmed)
{
    // The UTF-8 character is split across one-byte chunks.
    std::string stream = recording("abc   \r\nd\xc3\xa9"
                                   "f");
    for (const char *chunk : {"4096", "1"}) {
        auto result = runTool({"--size", "10x3", "--chunk", chunk, "--feed", stream});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output, "abc\nd\xc3\xa9"
                                 "f\n\n")
            << "chunk " << chunk;
    }
}

TEST_F(KestrixHeadlessTool, HistoryPrintsTheScrollbackBeforeTheScreen)
{
    std::string stream = recording("1\r\n2\r\n3\r\n4\r\n5");
    EXPECT_EQ(runTool({"--size", "10x3", "--feed", stream}).output, "3\n4\n5\n");
    EXPECT_EQ(runTool({"--size", "10x3", "--history", "--feed", stream}).output, "1\n2\n3\n4\n5\n");
    EXPECT_EQ(runTool({"--size", "10x3", "--scrollback", "1", "--history", "--feed", stream}).output,
              "2\n3\n4\n5\n");
}

TEST_F(KestrixHeadlessTool, StateHoldsCursorScreenAndTitle)
{
    std::string stream = recording("\x1b]2;say \"hi\"\x07line\r\nab");
    auto state = directory / "state.json";
    auto result = runTool({"--size", "20x4", "--state", state.string(), "--feed", stream});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(readFile(state), "{\"cursorColumn\": 2, \"cursorRow\": 1, \"alternateScreen\": false, "
                               "\"title\": \"say \\\"hi\\\"\"}\n");
}

TEST_F(KestrixHeadlessTool, RepliesFileHoldsEveryByteSentToTheHost)
{
    std::string stream = recording("ab\x1b[6n\x1b[c");
    auto replies = directory / "replies";
    EXPECT_EQ(runTool({"--replies", replies.string(), "--feed", stream}).status, 0);
    std::string sent = readFile(replies);
    EXPECT_EQ(sent.rfind("\x1b[1;3R\x1b[?", 0), 0u) << sent;
    EXPECT_EQ(sent.back(), 'c');
}

TEST_F(KestrixHeadlessTool, AFedRecordingNeitherReadsNorDeletesLocalFiles)
{
    // A temporary-file image names its file in base64 and asks for it to be deleted once read.
    const fs::path image = directory / "kestrix-image";
    std::ofstream(image, std::ios::binary) << std::string("\x01\x02\x03\x04", 4);
    const std::string path = image.string();
    const std::string named = kestrix::Base64::encode(
        {reinterpret_cast<const uint8_t *>(path.data()), path.size()});
    auto replies = directory / "replies";
    std::string stream = recording("\x1b_Ga=T,i=7,t=t,s=1,v=1;" + named + "\x1b\\");
    EXPECT_EQ(runTool({"--replies", replies.string(), "--feed", stream}).status, 0);
    EXPECT_NE(readFile(replies).find("EPERM"), std::string::npos) << readFile(replies);
    EXPECT_TRUE(fs::exists(image));
}

TEST_F(KestrixHeadlessTool, RunsACommandUntilItExits)
{
    auto replies = directory / "replies";
    auto result = runTool({"--size", "20x4", "--replies", replies.string(), "--", "sh", "-c",
                           "printf 'a\\tb\\r\\n'; stty size; printf '%s' \"$0\""});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, "a       b\n4 20\nsh\n\n");
    EXPECT_TRUE(fs::exists(replies));
}

TEST_F(KestrixHeadlessTool, ResizesReWrapTheProgramsLongLine)
{
    const std::vector<std::string> program = {"--", "sh", "-c",
                                              "printf 'abcdefghijklmnopqrstuvwxyz0123456789\\r\\n$'"};
    auto sized = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), program.begin(), program.end());
        return runTool(arguments).output;
    };
    EXPECT_EQ(sized({"--size", "10x6"}), "abcdefghij\nklmnopqrst\nuvwxyz0123\n456789\n$\n\n");
    EXPECT_EQ(sized({"--size", "10x6", "--resize", "20x6"}),
              "abcdefghijklmnopqrst\nuvwxyz0123456789\n$\n\n\n\n");
    EXPECT_EQ(sized({"--size", "10x6", "--resize", "40x3"}), "abcdefghijklmnopqrstuvwxyz0123456789\n$\n\n");
    EXPECT_EQ(sized({"--size", "20x4", "--resize", "8x4", "--history"}),
              "abcdefgh\nijklmnop\nqrstuvwx\nyz012345\n6789\n$\n");
}

TEST_F(KestrixHeadlessTool, RefusesUnclearArguments)
{
    for (const auto &arguments : std::vector<std::vector<std::string>>{
             {},
             {"--size", "80by25", "--", "true"},
             {"--size", "0x25", "--", "true"},
             {"--resize", "1x25", "--", "true"},
             {"--chunk", "0", "--feed", "x"},
             {"--feed", "x", "--", "true"},
             {"--bogus"},
         }) {
        EXPECT_EQ(runTool(arguments).status, 2);
    }
    EXPECT_EQ(runTool({"--feed", (directory / "missing").string()}).status, 1);
}

} // namespace

// The script checker run as a program over a corpus of broken scripts
// (tests/check), natively or under Wine: CHECKER is the command that starts
// it. Each script names the findings it must produce, each in a comment line
// right after the line it is about:
//   ;^ error: TEXT        or   ;^ warning: TEXT
// and the options it is checked with in a line ";@ OPTION...". Its output must
// be exactly those findings, sorted by line, and its exit status 2 with an
// error, 1 with warnings only, 0 when clean. The examples must check clean.
#include <gtest/gtest.h>
#include <dirent.h>
#include <iconv.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Checker() {
    const char* command = getenv("CHECKER");
    return command != nullptr ? command : "";
}

std::string ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

// Lines as the checker counts them: each CR, LF or CRLF ends one.
std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n') {
            line += bytes[i];
            continue;
        }
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        lines.push_back(line);
        line.clear();
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

std::string ToUtf8(const std::string& text, const std::string& code_page) {
    iconv_t convert = iconv_open("UTF-8", ("CP" + code_page).c_str());
    std::string out(text.size() * 4 + 4, '\0');
    char* from = const_cast<char*>(text.data());
    char* to = &out[0];
    size_t left = text.size(), room = out.size();
    const size_t done = iconv(convert, &from, &left, &to, &room);
    iconv_close(convert);
    EXPECT_NE(done, static_cast<size_t>(-1)) << "annotation not in code page " << code_page;
    out.resize(out.size() - room);
    return out;
}

struct Script {
    std::string name;
    std::vector<std::string> options;
    std::vector<std::string> expected;  // "NAME:LINE: error: TEXT", in line order
    int status = 0;
};

Script ReadScript(const std::string& folder, const std::string& name) {
    Script script;
    script.name = name;
    const std::vector<std::string> lines = Lines(ReadBytes(folder + "/" + name));
    for (const std::string& line : lines) {
        if (line.compare(0, 3, ";@ ") != 0)
            continue;
        std::istringstream words(line.substr(3));
        for (std::string word; words >> word;) script.options.push_back(word);
    }
    std::string code_page = "932";
    for (size_t i = 0; i + 1 < script.options.size(); ++i) {
        if (script.options[i] == "--codepage")
            code_page = script.options[i + 1];
    }
    int about = 0;  // the line the next annotation is about
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].compare(0, 3, ";^ ") != 0) {
            about = static_cast<int>(i) + 1;
            continue;
        }
        const std::string finding = ToUtf8(lines[i].substr(3), code_page);
        script.expected.push_back(name + ":" + std::to_string(about) + ": " + finding);
        const int status = finding.compare(0, 6, "error:") == 0 ? 2 : 1;
        script.status = std::max(script.status, status);
    }
    return script;
}

std::vector<std::string> Files(const std::string& folder, const std::string& suffix) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > suffix.size() &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct Outcome {
    int status = -1;
    std::vector<std::string> lines;
};

// Runs the checker in folder; its output lines without their line ends.
// streams: which of its outputs are read.
Outcome RunChecker(const std::string& folder, const std::vector<std::string>& arguments,
                   const std::string& checker = Checker(), const char* streams = "2>/dev/null") {
    // A checker that never ends fails the test instead of holding it up.
    std::string command = "cd '" + folder + "' && timeout 120 " + checker;
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    command += std::string(" ") + streams;
    Outcome run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return run;
    std::string output;
    char block[4096];
    for (size_t n; (n = fread(block, 1, sizeof block, pipe)) > 0;) output.append(block, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.lines = Lines(output);
    return run;
}

int LineOf(const std::string& finding) {
    const size_t colon = finding.find(':');
    return atoi(finding.c_str() + colon + 1);
}

class CheckerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (Checker().empty())
            GTEST_SKIP() << "CHECKER names no checker to run";
    }
};

TEST_F(CheckerTest, EachScriptGivesItsFindings) {
    const std::vector<std::string> names = Files(CORPUS_DIR, ".ini");
    ASSERT_GE(names.size(), 10u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const Script script = ReadScript(CORPUS_DIR, name);
        EXPECT_FALSE(script.expected.empty()) << "a corpus script must name its findings";
        std::vector<std::string> arguments = script.options;
        arguments.push_back(name);
        const Outcome run = RunChecker(CORPUS_DIR, arguments);
        EXPECT_EQ(run.status, script.status);
        EXPECT_TRUE(std::is_sorted(
            run.lines.begin(), run.lines.end(),
            [](const std::string& a, const std::string& b) { return LineOf(a) < LineOf(b); }))
            << "not sorted by line";
        // Within one line the order is not part of the contract.
        std::vector<std::string> got = run.lines, expected = script.expected;
        std::sort(got.begin(), got.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(got, expected);
    }
}

TEST_F(CheckerTest, SeveralScriptsInOneRun) {
    std::vector<std::string> arguments;
    std::vector<std::string> expected;
    for (const std::string& name : Files(CORPUS_DIR, ".ini")) {
        const Script script = ReadScript(CORPUS_DIR, name);
        if (!script.options.empty())
            continue;
        arguments.push_back(name);
        std::vector<std::string> lines = script.expected;
        std::stable_sort(
            lines.begin(), lines.end(),
            [](const std::string& a, const std::string& b) { return LineOf(a) < LineOf(b); });
        expected.insert(expected.end(), lines.begin(), lines.end());
    }
    const Outcome run = RunChecker(CORPUS_DIR, arguments);
    EXPECT_EQ(run.status, 2);
    // Script by script, in the order given.
    ASSERT_EQ(run.lines.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(run.lines[i].substr(0, run.lines[i].find(':')),
                  expected[i].substr(0, expected[i].find(':')));
}

TEST_F(CheckerTest, ExamplesAreClean) {
    std::vector<std::string> arguments;
    for (const char* example : {"ask-close", "ci-job", "crc-check", "demo", "full-update",
                                "minimal", "replace-folder", "wait-for-app"}) {
        for (const std::string& name : Files(std::string(EXAMPLES_DIR) + "/" + example, ".ini"))
            arguments.push_back(std::string(example) + "/" + name);
    }
    ASSERT_GE(arguments.size(), 8u);
    const Outcome run = RunChecker(EXAMPLES_DIR, arguments);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.lines, std::vector<std::string>());
}

TEST_F(CheckerTest, WhatCannotBeChecked) {
    const struct {
        std::vector<std::string> arguments;
        int status;
        const char* output;  // the first line
    } cases[] = {
        {{}, 2, ""},                                // no script
        {{"no-such-script.ini"}, 2, ""},            // cannot be read
        {{"--codepage", "x", "modes.ini"}, 2, ""},  // not a code page
        {{"--frobnicate", "modes.ini"}, 2, ""},     // not an option
        {{"utf16.txt"},
         2,
         "utf16.txt:1: error: the file is UTF-16; save the script in code page 932 (nothing "
         "else was checked)"},
        {{"--help"}, 0, "usage: updcheck [--param WORD]... [--codepage N] SCRIPT.ini..."},
    };
    for (const auto& c : cases) {
        const Outcome run = RunChecker(CORPUS_DIR, c.arguments);
        SCOPED_TRACE(c.arguments.empty() ? "" : c.arguments[0]);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.lines.empty() ? "" : run.lines[0], c.output);
    }
}

// A checker that fails must never look like one that found nothing: a test
// build with a planted fault (CHECKER_FAULT) ends with status 3 and says so.
TEST_F(CheckerTest, AFaultEndsWithStatusThree) {
    const char* faulty = getenv("CHECKER_FAULT");
    if (faulty == nullptr)
        GTEST_SKIP() << "CHECKER_FAULT names no test build with a fault";
    const Outcome run = RunChecker(CORPUS_DIR, {"modes.ini"}, faulty, "2>&1 >/dev/null");
    EXPECT_EQ(run.status, 3);
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.back(),
              "updcheck: internal error: the checker failed; the script is not checked");
}

}  // namespace

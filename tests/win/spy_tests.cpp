// The box spy against box_target.exe, which is built next to this program.
#include "box_spy.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const unsigned long kTimeoutMs = 10000;

class Handle {
public:
    explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    HANDLE* out() { return &handle_; }
    void Close() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    HANDLE handle_;
};

// Makes folder the current one for its lifetime.
class CurrentFolder {
public:
    explicit CurrentFolder(const char* folder) {
        char previous[MAX_PATH];
        const DWORD size = GetCurrentDirectoryA(MAX_PATH, previous);
        previous_.assign(previous, size < MAX_PATH ? size : 0);
        SetCurrentDirectoryA(folder);
    }
    ~CurrentFolder() {
        if (!previous_.empty())
            SetCurrentDirectoryA(previous_.c_str());
    }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::string previous_;
};

// This program's folder, with a trailing backslash.
std::string OwnFolder() {
    char path[MAX_PATH];
    const DWORD size = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, size);
    return folder.substr(0, folder.rfind('\\') + 1);
}

std::string Target() {
    return OwnFolder() + "box_target.exe";
}

std::string ReadText(const std::string& path) {
    std::string text;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr)
        return "(missing)";
    char chunk[4096];
    size_t size;
    while ((size = fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, size);
    fclose(file);
    return text;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string Repeat(const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) all += text;
    return all;
}

// What box_target shows in its "boxes" scenario.
void ExpectTheBoxes(const SpyResult& result) {
    ASSERT_EQ(4u, result.boxes.size());
    const ShownBox& error = result.boxes[0];
    EXPECT_EQ(0u, error.owner);
    EXPECT_EQ("ファイルをコピーできませんでした。\nC:\\表\\ソフト.txt", error.text);
    EXPECT_EQ("スパイ試験", error.caption);
    EXPECT_EQ(0x00010010u, error.flags);

    const ShownBox& question = result.boxes[1];
    EXPECT_EQ(0x00012340u, question.owner);
    EXPECT_EQ("続けますか?", question.text);
    EXPECT_EQ("Question", question.caption);
    EXPECT_EQ(0x00000124u, question.flags);

    const ShownBox& long_one = result.boxes[2];
    EXPECT_EQ(0u, long_one.owner);
    EXPECT_EQ(Repeat("あ", 3000) + "end", long_one.text);
    EXPECT_EQ("", long_one.caption);
    EXPECT_EQ(0x00000041u, long_one.flags);

    const ShownBox& last = result.boxes[3];
    EXPECT_EQ("last", last.text);
    EXPECT_EQ("", last.caption);  // a null caption
    EXPECT_EQ(0u, last.flags);
}

TEST(BoxSpy, CapturesEveryBoxExactlyInOrderAndDeliversTheAnswers) {
    const std::string answers = OwnFolder() + "spy answers.txt";
    const SpyResult result = RunWithBoxSpy(Target(), "boxes " + Quoted(answers) + " 42", "",
                                           {IDABORT, IDNO, IDCANCEL}, kTimeoutMs);
    ASSERT_TRUE(result.started) << result.problem;
    EXPECT_EQ("", result.problem);
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(42u, result.exit_code);
    ExpectTheBoxes(result);
    // Three answers given; the fourth box, past them, gets IDOK.
    EXPECT_EQ("3\n7\n2\n1\n", ReadText(answers));
    DeleteFileA(answers.c_str());
}

// The other message-box functions are named, answered IDOK and returned from
// with their own number of arguments.
TEST(BoxSpy, NamesTheOtherMessageBoxFunctions) {
    const std::string answers = OwnFolder() + "spy answers others.txt";
    const SpyResult result =
        RunWithBoxSpy(Target(), "others " + Quoted(answers) + " 7", "", {IDNO}, kTimeoutMs);
    ASSERT_TRUE(result.started) << result.problem;
    EXPECT_EQ(7u, result.exit_code);
    EXPECT_TRUE(result.boxes.empty());
    EXPECT_EQ(result.other_boxes,
              (std::vector<std::string>{"MessageBoxW", "MessageBoxExA", "MessageBoxIndirectW"}));
    EXPECT_EQ("1\n1\n1\n", ReadText(answers));
    DeleteFileA(answers.c_str());
}

TEST(BoxSpy, RunWithoutBoxes) {
    const std::string answers = OwnFolder() + "spy answers none.txt";
    const SpyResult result =
        RunWithBoxSpy(Target(), "none " + Quoted(answers) + " 0", "", {IDYES}, kTimeoutMs);
    ASSERT_TRUE(result.started) << result.problem;
    EXPECT_EQ("", result.problem);
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(0u, result.exit_code);
    EXPECT_TRUE(result.boxes.empty());
    EXPECT_EQ("", ReadText(answers));
    DeleteFileA(answers.c_str());
}

TEST(BoxSpy, ProgramsOwnExceptionsGoToItsHandler) {
    const std::string answers = OwnFolder() + "spy answers exceptions.txt";
    const SpyResult result =
        RunWithBoxSpy(Target(), "exceptions " + Quoted(answers) + " 5", "", {}, kTimeoutMs);
    ASSERT_TRUE(result.started) << result.problem;
    EXPECT_EQ("", result.problem);
    EXPECT_EQ(5u, result.exit_code);
    ASSERT_EQ(1u, result.boxes.size());
    EXPECT_EQ("after the exceptions", result.boxes[0].text);
    EXPECT_EQ("breakpoints 1, raised 1\n1\n", ReadText(answers));
    DeleteFileA(answers.c_str());
}

TEST(BoxSpy, TimeoutEndsTheProgramAndKeepsItsBoxes) {
    const std::string answers = OwnFolder() + "spy answers hang.txt";
    const DWORD start = GetTickCount();
    const SpyResult result =
        RunWithBoxSpy(Target(), "hang " + Quoted(answers) + " 0", "", {IDRETRY}, 1500);
    const DWORD elapsed = GetTickCount() - start;
    ASSERT_TRUE(result.started) << result.problem;
    EXPECT_EQ("", result.problem);
    EXPECT_TRUE(result.timed_out);
    EXPECT_EQ(kSpyTimeoutExitCode, result.exit_code);
    ASSERT_EQ(1u, result.boxes.size());
    EXPECT_EQ("before hanging", result.boxes[0].text);
    EXPECT_EQ("4\n", ReadText(answers));
    EXPECT_GE(elapsed, 1400u);
    EXPECT_LT(elapsed, 5000u);
    DeleteFileA(answers.c_str());
}

TEST(BoxSpy, ProgramThatCannotStart) {
    const SpyResult result =
        RunWithBoxSpy(OwnFolder() + "no such program.exe", "", "", {}, kTimeoutMs);
    EXPECT_FALSE(result.started);
    EXPECT_FALSE(result.timed_out);
    EXPECT_NE("", result.problem);
    EXPECT_TRUE(result.boxes.empty());
}

// A copy of box_target in a folder and under a name with spaces, reached by
// its Z: path and by its Unix path, run in that folder.
TEST(BoxSpy, PathsWithSpacesWindowsAndUnixForm) {
    const std::string folder = OwnFolder() + "spy test folder";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string copy = folder + "\\box target.exe";
    ASSERT_TRUE(CopyFileA(Target().c_str(), copy.c_str(), FALSE));
    if (copy.compare(0, 3, "Z:\\") != 0)
        GTEST_SKIP() << "not on Wine's Z: drive: " << copy;

    std::string unix_copy = copy.substr(2);
    std::string unix_folder = folder.substr(2);
    for (char& c : unix_copy) c = c == '\\' ? '/' : c;
    for (char& c : unix_folder) c = c == '\\' ? '/' : c;
    // Unix paths must not depend on the current drive being Z:.
    CurrentFolder elsewhere("C:\\");
    const std::string forms[][2] = {{copy, folder}, {unix_copy, unix_folder}};
    for (const auto& form : forms) {
        SCOPED_TRACE(form[0]);
        // A relative answer file lands in the working folder.
        const SpyResult result =
            RunWithBoxSpy(form[0], "boxes answers.txt 9", form[1], {}, kTimeoutMs);
        ASSERT_TRUE(result.started) << result.problem;
        EXPECT_EQ(9u, result.exit_code);
        ExpectTheBoxes(result);
        EXPECT_EQ("1\n1\n1\n1\n", ReadText(folder + "\\answers.txt"));
        DeleteFileA((folder + "\\answers.txt").c_str());
    }
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST(BoxSpy, Cp932ToUtf8) {
    EXPECT_EQ(u8"C:\\表\\ソフト.txt", Cp932ToUtf8("C:\\表\\ソフト.txt"));
    EXPECT_EQ(u8"半角ｶﾅ and ASCII", Cp932ToUtf8("半角ｶﾅ and ASCII"));
    EXPECT_EQ("", Cp932ToUtf8(""));
}

// boxspy.exe, as make demo runs it: the printed report, in UTF-8 through a pipe.
TEST(BoxSpyTool, PrintsEveryBoxAndTheExitCode) {
    const std::string answers = OwnFolder() + "spy answers tool.txt";
    std::string command = Quoted(OwnFolder() + "boxspy.exe") + " --answer 6 --answer 7 " +
                          Quoted(Target()) + " boxes " + Quoted(answers) + " 3";

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    Handle read_end, write_end;
    ASSERT_TRUE(CreatePipe(read_end.out(), write_end.out(), &inherit, 0));
    SetHandleInformation(read_end.get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write_end.get();
    startup.hStdError = write_end.get();
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                               &startup, &info));
    Handle process(info.hProcess), thread(info.hThread);
    write_end.Close();  // else the pipe never reaches its end

    std::string output;
    char chunk[4096];
    DWORD size = 0;
    while (ReadFile(read_end.get(), chunk, sizeof chunk, &size, nullptr) && size > 0) {
        output.append(chunk, size);
    }
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.get(), kTimeoutMs));
    DWORD exit_code = 99;
    GetExitCodeProcess(process.get(), &exit_code);
    EXPECT_EQ(0u, exit_code);
    EXPECT_EQ(std::string(u8"box 1: caption=\"スパイ試験\" flags=0x00010010\n"
                          u8"    ファイルをコピーできませんでした。\n"
                          u8"    C:\\表\\ソフト.txt\n"
                          u8"box 2: caption=\"Question\" flags=0x00000124 owner=0x00012340\n"
                          u8"    続けますか?\n"
                          u8"box 3: caption=\"\" flags=0x00000041\n"
                          u8"    ") +
                  Repeat(u8"あ", 3000) +
                  u8"end\n"
                  u8"box 4: caption=\"\" flags=0x00000000\n"
                  u8"    last\n"
                  u8"exit code: 3\n",
              output);
    EXPECT_EQ("6\n7\n1\n1\n", ReadText(answers));
    DeleteFileA(answers.c_str());
}

}  // namespace

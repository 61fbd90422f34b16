#include "sandbox.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

// The catalogue as the program must show it (this file is compiled to code
// page 932, like the program's sources).
const char* FormatOf(int id) {
    switch (id) {
        case 1:
            return "ファイルが見つかりません。\n\nファイル:：\"%s\"";
        case 2:
            return "設定ファイルのフォーマットが正しくありません。\n\nセクション：\"%"
                   "s\"\nパラメータ：\"%s\"";
        case 3:
            return "メモリが不足しています。\n\nオブジェクト：\"%s\"";
        case 4:
            return "設定パラメータのアイテム数が正しくありません。\n\nセクション：\"%"
                   "s\"\nパラメータ：\"%s\"";
        case 5:
            return "パスの取得に失敗しました。\n\nファイル：\"%s\"";
        case 6:
            return "シンボルが正しくありません。\n\nシンボル：\"%s\"";
        case 8:
            return "ファイルのコピーに失敗しました。\n\n転送元：\"%s\"\n転送先：\"%s\"";
        case 9:
            return "アプリケーションの起動に失敗しました。\n\nファイル：\"%s\"\nパラメータ：\"%s\"";
        case 10:
            return "ファイルの削除に失敗しました。\n\nファイル：\"%s\"";
        case 11:
            return "プロシージャ数が正しくありません。";
        case 12:
            return "ファイル属性の変更に失敗しました。\n\nファイル：\"%s\"\n属性：0x%08X";
        case 13:
            return "ディレクトリの作成に失敗しました。\n\nディレクトリ：\"%s\"";
        case 14:
            return "ファイルの移動に失敗しました。\n\n転送元：\"%s\"\n転送先：\"%s\"";
        case 15:
            return "リンクファイルの作成に失敗しました。\n\n転送元：\"%s\"\n転送先：\"%s\"";
        case 16:
            return "リソースの更新に失敗しました。\n\n転送元：\"%s\"\n転送先：\"%s\"";
        case 17:
            return "ファイル操作を完了できませんでした。";
        case 18:
            return "更新前の状態に戻せませんでした。次回の起動時にもう一度戻します。\n\nファイル："
                   "\"%s\"";
        case 19:
            return "更新前の状態に戻せないファイルがありました。このファイルは今の状態のまま残しま"
                   "し"
                   "た。\n\nファイル：\"%s\"";
    }
    return "";
}

std::string TestRoot() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string root = std::string(temp) + "updater-tests";
    CreateDirectoryA(root.c_str(), nullptr);
    return root;
}

}  // namespace

const char* const kExpectedDefaultCaption = "フォルネア アップデータ";

std::string ShippedUpdaterPath() {
    const char* path = getenv("UPDATER_EXE");
    return WindowsPathOf(path != nullptr ? path : "");
}

std::string TestProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string own(path);
    return own.substr(0, own.rfind('\\') + 1);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ExpectedMessage(int id, std::initializer_list<std::string> arguments) {
    // Message 12 takes a number; every other placeholder is a text.
    const std::vector<std::string> args(arguments);
    auto arg = [&args](size_t i) { return i < args.size() ? args[i].c_str() : ""; };
    char text[4096];
    if (id == 12) {
        snprintf(text, sizeof text, FormatOf(id), arg(0),
                 static_cast<unsigned>(strtoul(arg(1), nullptr, 0)));
    } else {
        snprintf(text, sizeof text, FormatOf(id), arg(0), arg(1));
    }
    return text;
}

bool RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string full = path + "\\" + name;
            SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(path.c_str());
    return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool CopyTree(const std::string& from, const std::string& to) {
    CreateDirectoryA(to.c_str(), nullptr);
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((from + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    bool copied = true;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string source = from + "\\" + name, target = to + "\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            copied = CopyTree(source, target) && copied;
        } else {
            copied = CopyFileA(source.c_str(), target.c_str(), FALSE) && copied;
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return copied;
}

Sandbox::Sandbox(const std::string& name, const std::string& parent)
    : root_((parent.empty() ? TestRoot() : parent) + "\\" + name) {
    RemoveTree(root_);
    CreateDirectoryA(root_.c_str(), nullptr);
    CopyFileA(ShippedUpdaterPath().c_str(), Path("updater.exe").c_str(), FALSE);
}

Sandbox::~Sandbox() {
    RemoveTree(root_);
}

std::string Sandbox::Path(const std::string& relative) const {
    return relative.empty() ? root_ : root_ + "\\" + relative;
}

void Sandbox::WriteFile(const std::string& relative, const std::string& bytes) const {
    std::ofstream out(Path(relative), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Sandbox::ReadFile(const std::string& relative) const {
    return ReadWholeFile(Path(relative));
}

bool Sandbox::Exists(const std::string& relative) const {
    return GetFileAttributesA(Path(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void Sandbox::MakeFolder(const std::string& relative) const {
    std::string partial;
    for (size_t start = 0; start <= relative.size();) {
        size_t end = relative.find('\\', start);
        if (end == std::string::npos)
            end = relative.size();
        partial = relative.substr(0, end);
        CreateDirectoryA(Path(partial).c_str(), nullptr);
        start = end + 1;
    }
}

void Sandbox::WriteScript(const std::string& ini, const std::string& name) const {
    WriteFile(name, ini);
}

SpyResult Sandbox::Run(const std::string& arguments, const std::vector<int>& answers,
                       unsigned long timeout_ms) const {
    return RunProgram("updater.exe", root_, arguments, answers, timeout_ms);
}

SpyResult Sandbox::RunWith(const std::vector<std::string>& environment, unsigned long exit_code,
                           const std::vector<int>& answers, const std::string& arguments) const {
    return RunProgram("updater.exe", root_, arguments, answers, kHangCeilingMs, environment,
                      exit_code);
}

SpyResult Sandbox::RunProgram(const std::string& program, const std::string& working_folder,
                              const std::string& arguments, const std::vector<int>& answers,
                              unsigned long timeout_ms, const std::vector<std::string>& environment,
                              unsigned long exit_code) const {
    const SpyResult run =
        RunWithBoxSpy(Path(program), arguments, working_folder, answers, timeout_ms, environment);
    // Checked here, for every run, so that no test can pass on a run that
    // crashed or hung, whatever else it looks at.
    if (!run.started) {
        ADD_FAILURE() << program << " did not start: " << run.problem;
    } else if (run.timed_out) {
        ADD_FAILURE() << program << " did not end within " << timeout_ms << " ms";
    } else if (run.exit_code != exit_code) {
        char code[16];
        snprintf(code, sizeof code, "0x%08lX", run.exit_code);
        ADD_FAILURE() << program << " ended with exit code " << code
                      << (run.exit_code >= 0xC0000000 ? " (it crashed)" : "");
    } else if (!run.problem.empty()) {
        ADD_FAILURE() << "the box spy failed: " << run.problem;
    }
    return run;
}

void ExpectCleanEnd(const SpyResult& run) {
    ASSERT_TRUE(run.started) << run.problem;
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.exit_code, 0u);
}

void ExpectShownBoxes(const SpyResult& run, const std::vector<ExpectedBox>& expected,
                      const std::string& caption) {
    ExpectCleanEnd(run);
    std::vector<std::string> shown, wanted;
    for (const ShownBox& box : run.boxes) shown.push_back(Cp932ToUtf8(box.text));
    for (const ExpectedBox& box : expected) wanted.push_back(Cp932ToUtf8(box.text));
    ASSERT_EQ(shown, wanted);
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(run.boxes[i].flags, expected[i].flags) << "box " << i << ": " << shown[i];
        EXPECT_EQ(run.boxes[i].caption, caption) << "box " << i;
        EXPECT_EQ(run.boxes[i].owner, 0u) << "box " << i;
    }
}

std::vector<std::string> BoxTexts(const SpyResult& run) {
    std::vector<std::string> texts;
    for (const ShownBox& box : run.boxes) texts.push_back(box.text);
    return texts;
}

std::string Script(const std::string& proc, const std::string& sections,
                   const std::string& caption) {
    return "[UPDATER]\nNAME=" + caption + "\nPROC=" + proc + "\n" + sections;
}

std::string Section(const std::string& name, const std::string& lines) {
    return "[" + name + "]\n" + lines;
}

std::vector<std::string> LogLines(const std::string& path) {
    const std::string bytes = ReadWholeFile(path);
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < bytes.size(); start = end + 2) {
        end = bytes.find("\r\n", start);
        if (end == std::string::npos)
            break;
        const std::string utf8 = bytes.substr(start, end - start);
        std::wstring wide(utf8.size() + 1, L'\0');
        wide.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                        &wide[0], static_cast<int>(wide.size())));
        std::string text(wide.size() * 2 + 1, '\0');
        text.resize(WideCharToMultiByte(932, 0, wide.data(), static_cast<int>(wide.size()),
                                        &text[0], static_cast<int>(text.size()), nullptr, nullptr));
        lines.push_back(text);
    }
    return lines;
}

std::vector<std::string> Matching(const std::vector<std::string>& lines, const std::string& part) {
    std::vector<std::string> found;
    for (const std::string& line : lines) {
        const size_t at = line.find(part);
        if (at != std::string::npos)
            found.push_back(line.substr(at));
    }
    return found;
}

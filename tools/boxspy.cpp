// boxspy: runs a program under the box spy and prints every message box it
// showed, in UTF-8, then its exit code. No box appears; each gets the next
// --answer (IDOK once they run out).
//
//   boxspy.exe [--answer N]... [--timeout MS] program.exe [arguments...]
//
// The arguments are passed on exactly as written on boxspy's command line.
#include "box_spy.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const unsigned long kDefaultTimeoutMs = 60000;

// A console would read bytes in its own code page and garble UTF-8, so it
// gets UTF-16; a pipe or file gets the UTF-8 bytes.
void Write(DWORD stream, const std::string& utf8) {
    HANDLE handle = GetStdHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || utf8.empty())
        return;
    DWORD mode = 0;
    DWORD done = 0;
    if (GetConsoleMode(handle, &mode)) {
        const int size = static_cast<int>(utf8.size());
        const int wide_size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
        std::wstring wide(wide_size, L'\0');
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, &wide[0], wide_size);
        WriteConsoleW(handle, wide.data(), wide_size, &done, nullptr);
    } else {
        WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &done, nullptr);
    }
}

void Print(const std::string& utf8) {
    Write(STD_OUTPUT_HANDLE, utf8);
}
void PrintError(const std::string& utf8) {
    Write(STD_ERROR_HANDLE, utf8);
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t';
}

// Splits a command line into words the way programs split theirs: spaces end
// a word outside double quotes; a quote behind an odd number of backslashes
// is a literal one. Only the word boundaries matter here.
class CommandLine {
public:
    explicit CommandLine(const char* text) : text_(text) { SkipSpaces(); }

    bool AtEnd() const { return text_[at_] == '\0'; }
    const char* Rest() const { return text_ + at_; }

    // The next word with its double quotes removed.
    std::string Next() {
        std::string word;
        bool quoted = false;
        size_t backslashes = 0;
        for (; text_[at_] != '\0' && (quoted || !IsSpace(text_[at_])); ++at_) {
            const char c = text_[at_];
            if (c == '"' && backslashes % 2 == 0) {
                quoted = !quoted;
            } else {
                word += c;
            }
            backslashes = c == '\\' ? backslashes + 1 : 0;
        }
        SkipSpaces();
        return word;
    }

private:
    void SkipSpaces() {
        while (IsSpace(text_[at_])) ++at_;
    }

    const char* text_;
    size_t at_ = 0;
};

bool ParseNumber(const std::string& text, long* value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    *value = strtol(text.c_str(), &end, 0);
    return *end == '\0';
}

std::string Hex(unsigned long value) {
    char text[16];
    snprintf(text, sizeof text, "0x%08lX", value);
    return text;
}

void PrintBox(size_t number, const ShownBox& box) {
    std::string head = "box " + std::to_string(number) + ": caption=\"" + Cp932ToUtf8(box.caption) +
                       "\" flags=" + Hex(box.flags);
    // Programs here normally have no owner window; say so only when one is given.
    if (box.owner != 0)
        head += " owner=" + Hex(box.owner);
    Print(head + "\n");
    const std::string text = Cp932ToUtf8(box.text);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        Print("    " + line + "\n");
        start = end + 1;
    }
}

int Usage() {
    PrintError("usage: boxspy.exe [--answer N]... [--timeout MS] program.exe [arguments...]\n");
    return 2;
}

}  // namespace

int main() {
    CommandLine line(GetCommandLineA());
    line.Next();  // boxspy itself
    std::vector<int> answers;
    unsigned long timeout_ms = kDefaultTimeoutMs;
    std::string program;
    while (!line.AtEnd()) {
        const std::string word = line.Next();
        long value = 0;
        if (word == "--answer" || word == "--timeout") {
            if (line.AtEnd() || !ParseNumber(line.Next(), &value))
                return Usage();
            if (word == "--answer") {
                answers.push_back(static_cast<int>(value));
            } else if (value > 0) {
                timeout_ms = static_cast<unsigned long>(value);
            } else {
                return Usage();
            }
        } else if (word.compare(0, 2, "--") == 0) {
            return Usage();
        } else {
            program = word;
            break;
        }
    }
    if (program.empty())
        return Usage();

    const SpyResult result = RunWithBoxSpy(program, line.Rest(), "", answers, timeout_ms);
    if (!result.started) {
        PrintError("boxspy: " + result.problem + "\n");
        return 2;
    }
    for (size_t i = 0; i < result.boxes.size(); ++i) PrintBox(i + 1, result.boxes[i]);
    if (result.timed_out) {
        Print("timed out after " + std::to_string(timeout_ms) + " ms: the program was ended\n");
    }
    Print("exit code: " + std::to_string(result.exit_code) + "\n");
    if (!result.problem.empty())
        PrintError("boxspy: " + result.problem + "\n");
    return result.timed_out || !result.problem.empty() ? 1 : 0;
}

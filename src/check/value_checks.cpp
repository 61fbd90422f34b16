#include "check/nearest.h"
#include "check/script_check.h"
#include "text/code_page.h"

namespace {

const char* const kFunctions[] = {"?App", "?AppPath", "?SpFolder", "?Param"};

// What the expansion limit refuses: a value that grows beyond this.

// How the group search of expansion goes wrong in text: a close before its
// open makes it skip the groups after it, an open never closed ends it.
struct Bracketing {
    bool stray_close = false;
    bool unclosed = false;
};

Bracketing ScanBrackets(const char* text, char open, char close) {
    Bracketing found;
    int depth = 0;
    bool below = false;
    for (const char* p = text; *p != '\0';) {
        if (*p == open) {
            if (below)
                found.stray_close = true;
            ++depth;
        } else if (*p == close) {
            if (--depth < 0)
                below = true;
        }
        p += (IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') ? 2 : 1;
    }
    found.unclosed = depth > 0 && !below;
    return found;
}

// Whether text, trimmed of spaces, is wholly a number as "%d" or "%x" reads it.
bool IsWholeNumber(const TextBuffer& item, bool hex) {
    TextBuffer text = item;
    text.Trim(" ", " ");
    const char* p = text.c_str();
    if (*p == '+' || *p == '-')
        ++p;
    if (hex && p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
        p += 2;
    if (*p == '\0')
        return false;
    for (; *p != '\0'; ++p) {
        const bool digit = *p >= '0' && *p <= '9';
        const bool letter = (*p >= 'a' && *p <= 'f') || (*p >= 'A' && *p <= 'F');
        if (!digit && !(hex && letter))
            return false;
    }
    return true;
}

}  // namespace

bool ScriptCheck::ReadRaw(const ProfileSection& section, const char* key, bool number,
                          TextBuffer& raw, int* line) {
    const char* name = section.name.c_str();
    const ProfileEntry* entry = text_.FindEntry(name, key);
    *line = entry != nullptr ? entry->line : section.line;
    const size_t capacity = number ? kNumberCapacity : kValueCapacity;
    if (entry == nullptr || !source_.ReadValue(name, key, capacity, raw))
        return false;
    std::string whole;
    text_.GetString(name, key, "", static_cast<uint32_t>(entry->value.size() + 2), &whole);
    if (whole.size() > raw.Length())
        findings_.Error(*line, std::string(key) + " is " + Number(whole.size()) +
                                   " bytes long: the program reads only the first " +
                                   Number(capacity - 1));
    return true;
}

bool ScriptCheck::Expand(const TextBuffer& raw, int line, TextBuffer& value) {
    value = raw;
    if (symbols_.ExpandValue(value))
        return true;
    findings_.Error(line, "the value grows beyond " + Number(kMostExpandedLength) +
                              " bytes by expansion (message 2)");
    value = raw;
    return false;
}

bool ScriptCheck::IsSymbol(const TextBuffer& name) const {
    TextBuffer value;
    return symbols_.Lookup(name.c_str(), value);
}

void ScriptCheck::CheckWritten(const TextBuffer& raw, int line, bool prose) {
    CheckSymbols(raw, line, prose);
    CheckFunctions(raw, line, prose);
}

void ScriptCheck::CheckSymbols(const TextBuffer& raw, int line, bool prose) {
    List<TextRange> groups;
    FindEachGroup(raw, "<", ">", groups);
    for (const TextRange& group : groups) {
        const TextBuffer name = TextBuffer(raw.c_str() + group.first,
                                           static_cast<size_t>(group.last - group.first + 1));
        if (IsSymbol(name))
            continue;
        if (known_symbols_.empty()) {
            for (const Definition& definition : definitions_)
                known_symbols_.push_back(definition.name.c_str());
            for (const char* builtin :
                 {"<Win>", "<Sys>", "<Src>", "<Desktop>", "<Programs>", "<Temp>"})
                known_symbols_.push_back(builtin);
        }
        const std::string hint = Hint(name.c_str(), known_symbols_);
        // Prose may hold brackets of its own; only a near miss is a mistake there.
        if (prose && hint.empty())
            continue;
        findings_.Warning(line, "unknown symbol " + std::string(name.c_str()) +
                                    " stays as written" +
                                    (hint.empty() ? "" : "; did you mean " + hint + "?"));
    }
    const Bracketing brackets = ScanBrackets(raw.c_str(), '<', '>');
    if (prose)
        return;
    if (brackets.stray_close)
        findings_.Warning(line,
                          "a '>' before its '<' keeps the symbols after it from being "
                          "expanded");
    if (brackets.unclosed)
        findings_.Warning(line,
                          "a '<' is not closed by a '>': it and what follows stay as written");
}

void ScriptCheck::CheckFunctions(const TextBuffer& raw, int line, bool prose) {
    List<TextRange> groups;
    FindEachGroup(raw, "{", "}", groups);
    for (const TextRange& group : groups) {
        const TextBuffer written = TextBuffer(raw.c_str() + group.first,
                                              static_cast<size_t>(group.last - group.first + 1));
        TextBuffer call = written;
        call.Trim("{", "}");
        const TextBuffer name = call.Item(0, "\\");
        const TextBuffer argument = call.Item(1, "\\");
        const std::string shown = written.c_str();
        if (SameName(name, "?App") || SameName(name, "?AppPath")) {
            if (argument.IsEmpty())
                findings_.Warning(line, shown + " names no program: write {" +
                                            std::string(name.c_str()) + "\\name.exe}");
        } else if (SameName(name, "?SpFolder")) {
            if (!IsWholeNumber(argument, true))
                findings_.Warning(line, shown + ": " + Quoted(argument) +
                                            " is not a hexadecimal number; it reads as folder " +
                                            Number(argument.ToHex()));
        } else if (SameName(name, "?Param")) {
            const int items = call.ItemCount("\\");
            if (items > 3) {
                findings_.Warning(line, shown + " takes one or two word numbers: it gives word " +
                                            Number(argument.ToInt()) + " alone");
            }
            for (int k = 1; k < (items == 3 ? 3 : 2); ++k) {
                const TextBuffer number = call.Item(k, "\\");
                if (!IsWholeNumber(number, false))
                    findings_.Warning(line, shown + ": " + Quoted(number) +
                                                " is not a word number; it reads as " +
                                                Number(number.ToInt()));
            }
        } else {
            std::vector<std::string> known(std::begin(kFunctions), std::end(kFunctions));
            const std::string hint = Hint(name.c_str(), known);
            if (prose && hint.empty())
                continue;
            findings_.Warning(line, "unknown function " + shown + " stays as written" +
                                        (hint.empty() ? "" : "; did you mean " + hint + "?"));
        }
    }
    const Bracketing braces = ScanBrackets(raw.c_str(), '{', '}');
    if (prose)
        return;
    if (braces.stray_close)
        findings_.Warning(line,
                          "a '}' before its '{' keeps the functions after it from being "
                          "expanded");
    if (braces.unclosed)
        findings_.Warning(line,
                          "a '{' is not closed by a '}': it and what follows stay as written");
}

void ScriptCheck::CheckNumber(const TextBuffer& item, bool hex, const std::string& what, int line) {
    if (item.IsEmpty() || IsWholeNumber(item, hex))
        return;
    findings_.Warning(line, what + " " + Quoted(item) + " is not a " + (hex ? "hexadecimal " : "") +
                                "number: it reads as " +
                                Number(hex ? static_cast<long long>(item.ToHex()) : item.ToInt()));
}

std::string ScriptCheck::EmptyStart(const TextBuffer& raw) const {
    std::string function;
    if (!EmptyCause(raw, 0, &function))
        return "";
    const bool call = raw.c_str()[0] == '{';
    const TextBuffer head = call ? raw.Groups(0, 0, "{", "}") : raw.Groups(0, 0, "<", ">");
    std::string why;
    if (call)
        why = "which is empty without that word on the command line";
    else if (function.empty())
        why = "which is defined empty";
    else
        why = "which is empty without the word of " + function + " on the command line";
    return "begins with " + std::string(head.c_str()) + ", " + why +
           ": the path would start at the root of the drive";
}

bool ScriptCheck::EmptyCause(const TextBuffer& raw, int depth, std::string* function) const {
    ptrdiff_t start = 0, end = 0;
    const char first = raw.c_str()[0];
    if (first == '{' && raw.FindGroups(0, 0, "{", "}", &start, &end) && start == 0) {
        const TextBuffer written = raw.Groups(0, 0, "{", "}");
        TextBuffer call = written;
        call.Trim("{", "}");
        *function = written.c_str();
        return SameName(call.Item(0, "\\"), "?Param");
    }
    if (first != '<' || depth > 8 || !raw.FindGroups(0, 0, "<", ">", &start, &end) || start != 0)
        return false;
    const TextBuffer name = raw.Groups(0, 0, "<", ">");
    for (const Definition& definition : definitions_) {
        if (!definition.first || !SameName(definition.name, name.c_str()))
            continue;
        function->clear();
        return definition.raw.IsEmpty() || EmptyCause(definition.raw, depth + 1, function);
    }
    return false;
}

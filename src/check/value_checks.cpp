// Symbols, functions and numbers as written.
#include "check/checks.h"
#include "text/code_page.h"

namespace {

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

// Warns of what the group search does with unpaired brackets; what names
// what the groups hold ("symbols", "functions").
void WarnUnpaired(Check& check, const TextBuffer& raw, int line, char open, char close,
                  const char* what) {
    const Bracketing brackets = ScanBrackets(raw.c_str(), open, close);
    const char opening[] = {'\'', open, '\'', '\0'}, closing[] = {'\'', close, '\'', '\0'};
    if (brackets.stray_close)
        check.findings.Warning(line, TextBuffer("a ") + closing + " before its " + opening +
                                         " keeps the " + what + " after it from being expanded");
    if (brackets.unclosed)
        check.findings.Warning(line, TextBuffer("a ") + opening + " is not closed by a " + closing +
                                         ": it and what follows stay as written");
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

// The groups of raw between open and close, one after the other.
template <typename Visit>
void ForEachGroup(const TextBuffer& raw, const char* open, const char* close, Visit visit) {
    List<TextRange> groups;
    FindEachGroup(raw, open, close, groups);
    for (const TextRange& group : groups)
        visit(TextBuffer(raw.c_str() + group.first,
                         static_cast<size_t>(group.last - group.first + 1)));
}

void CheckSymbols(Check& check, const TextBuffer& raw, int line, bool prose) {
    ForEachGroup(raw, "<", ">", [&](const TextBuffer& name) {
        if (check.script.IsSymbol(name))
            return;
        const char* hint = check.Hint(name.c_str(), check.script.symbol_names);
        // Prose may hold brackets of its own; only a near miss is a mistake there.
        if (prose && hint == nullptr)
            return;
        check.findings.Warning(
            line,
            "unknown symbol " + name + " stays as written" +
                (hint == nullptr ? TextBuffer() : "; did you mean " + (hint + TextBuffer("?"))));
    });
    if (!prose)
        WarnUnpaired(check, raw, line, '<', '>', "symbols");
}

void CheckFunctions(Check& check, const TextBuffer& raw, int line, bool prose) {
    static const char* const kFunctions[] = {"?App", "?AppPath", "?SpFolder", "?Param"};
    ForEachGroup(raw, "{", "}", [&](const TextBuffer& written) {
        TextBuffer call = written;
        call.Trim("{", "}");
        const TextBuffer name = call.Item(0, "\\");
        const TextBuffer argument = call.Item(1, "\\");
        if (SameName(name, "?App") || SameName(name, "?AppPath")) {
            if (argument.IsEmpty())
                check.findings.Warning(
                    line, written + " names no program: write {" + name + "\\name.exe}");
        } else if (SameName(name, "?SpFolder")) {
            if (!IsWholeNumber(argument, true))
                check.findings.Warning(line, written + ": " + Quoted(argument) +
                                                 " is not a hexadecimal number; it reads as "
                                                 "folder " +
                                                 Number(argument.ToHex()));
        } else if (SameName(name, "?Param")) {
            const int items = call.ItemCount("\\");
            if (items > 3)
                check.findings.Warning(line, written +
                                                 " takes one or two word numbers: it gives word " +
                                                 Number(argument.ToInt()) + " alone");
            for (int k = 1; k < (items == 3 ? 3 : 2); ++k) {
                const TextBuffer number = call.Item(k, "\\");
                if (!IsWholeNumber(number, false))
                    check.findings.Warning(line, written + ": " + Quoted(number) +
                                                     " is not a word number; it reads as " +
                                                     Number(number.ToInt()));
            }
        } else {
            List<const char*> known;
            for (const char* function : kFunctions) known.Add(function);
            const char* hint = check.Hint(name.c_str(), known);
            if (prose && hint == nullptr)
                return;
            check.findings.Warning(
                line, "unknown function " + written + " stays as written" +
                          (hint == nullptr ? TextBuffer()
                                           : "; did you mean " + (hint + TextBuffer("?"))));
        }
    });
    if (!prose)
        WarnUnpaired(check, raw, line, '{', '}', "functions");
}

}  // namespace

void CheckWritten(Check& check, const TextBuffer& raw, int line, bool prose) {
    CheckSymbols(check, raw, line, prose);
    CheckFunctions(check, raw, line, prose);
}

void CheckNumber(Check& check, const TextBuffer& item, bool hex, const TextBuffer& what, int line) {
    if (item.IsEmpty() || IsWholeNumber(item, hex))
        return;
    check.findings.Warning(line,
                           what + " " + Quoted(item) + " is not a " + (hex ? "hexadecimal " : "") +
                               "number: it reads as " +
                               Number(hex ? static_cast<long long>(item.ToHex()) : item.ToInt()));
}

#include "script/script_keys.h"

#include <cstring>

bool ScriptKeys::ReadText(const char* section, const char* key, TextBuffer& value,
                          EmptyExpansions* empties) const {
    // A value that would grow beyond what expansion allows is as unusable as
    // a missing one.
    if (!source_.ReadValue(section, key, kValueCapacity, value) ||
        !symbols_.ExpandValue(value, empties)) {
        reporter_.Fail(kMsgBadFormat, {section, key});
        return false;
    }
    return true;
}

bool ScriptKeys::ReadOptionalText(const char* section, const char* key, TextBuffer& value) const {
    return source_.ReadValue(section, key, kValueCapacity, value) && symbols_.ExpandValue(value);
}

bool ScriptKeys::Has(const char* section, const char* key) const {
    TextBuffer value;
    return source_.ReadValue(section, key, kNumberCapacity, value);
}

bool ScriptKeys::IsYes(const char* key) const {
    TextBuffer value;
    return ReadUpdater(key, value) && EqualsNoCase(value.c_str(), "YES");
}

bool ParseRetrySeconds(const TextBuffer& value, uint32_t* seconds) {
    TextBuffer digits = value;
    digits.Trim(" ", " ");
    const char* p = digits.c_str();
    uint32_t number = 0;
    for (; *p >= '0' && *p <= '9' && number <= kMostRetrySeconds; ++p)
        number = number * 10 + static_cast<uint32_t>(*p - '0');
    if (*p != '\0' || number > kMostRetrySeconds)
        return false;
    *seconds = number;
    return true;
}

bool ScriptKeys::ReadNumber(const char* section, const char* key, TextBuffer& value) const {
    if (!source_.ReadValue(section, key, kNumberCapacity, value)) {
        reporter_.Fail(kMsgBadFormat, {section, key});
        return false;
    }
    return true;
}

bool ScriptKeys::ReadUpdater(const char* key, TextBuffer& value) const {
    const KindSpec& updater = UpdaterKeys();
    const int index = KeyIndex(updater, key);
    if (index < 0)
        return false;
    if (index >= updater.key_count)
        return ReadOptionalText(updater.mode, key, value);
    return ReadText(updater.mode, key, value);
}

void ReadDefinitions(const ScriptSource& source, SymbolTable& symbols) {
    ByteArray lines;
    source.ReadSection("DEFINE", kValueCapacity, lines);
    if (lines.Size() == 0)
        return;
    const char* end = reinterpret_cast<const char*>(lines.Data()) + lines.Size();
    for (const char* line = reinterpret_cast<const char*>(lines.Data());
         line < end && *line != '\0'; line += strlen(line) + 1) {
        if (line[0] != ';')
            symbols.AddDefinition(line);
    }
}

bool FindOption(const TextBuffer& command_line, char letter, TextBuffer& value) {
    char marker[3] = {'/', letter, '\0'};
    TextBuffer found = command_line.Item(1, marker);
    if (found.IsEmpty()) {
        marker[0] = '-';
        found = command_line.Item(1, marker);
    }
    if (found.IsEmpty())
        return false;
    value = found.Words(0, 0);
    return true;
}

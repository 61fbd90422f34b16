#include "check/checker.h"

#include <cstdio>

#include "check/script_check.h"
#include "text/code_page.h"

std::vector<Finding> CheckScript(const char* bytes, size_t size, const CheckOptions& options) {
#ifdef UPDCHECK_PLANTED_FAULT
    // Only in a test build: a fault must end the checker with status 3.
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
#endif
    ScriptCheck check(bytes, size, options);
    return check.Run();
}

const unsigned char* LeadByteRanges(unsigned code_page) {
    static const unsigned char kJapanese[] = {0x81, 0x9F, 0xE0, 0xFC, 0, 0};
    static const unsigned char kChineseKorean[] = {0x81, 0xFE, 0, 0};
    static const unsigned char kJohab[] = {0x84, 0xD3, 0xD8, 0xDE, 0xE0, 0xF9, 0, 0};
    static const unsigned char kNone[] = {0, 0};
    switch (code_page) {
        case 932:
            return kJapanese;
        case 936:
        case 949:
        case 950:
            return kChineseKorean;
        case 1361:
            return kJohab;
    }
    return kNone;
}

std::string ToUtf8(const std::string& text, CharacterConverter& convert) {
    std::string utf8;
    for (size_t i = 0; i < text.size();) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            utf8 += text[i++];
            continue;
        }
        const size_t n = (IsLeadByte(b) && i + 1 < text.size()) ? 2 : 1;
        if (!convert.ToUtf8(text.data() + i, n, &utf8)) {
            for (size_t k = 0; k < n; ++k) {
                char escaped[8];
                snprintf(escaped, sizeof escaped, "\\x%02X",
                         static_cast<unsigned char>(text[i + k]));
                utf8 += escaped;
            }
        }
        i += n;
    }
    return utf8;
}

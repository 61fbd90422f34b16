#include "check/checker.h"

#include "check/checks.h"
#include "text/code_page.h"
#include "text/text_builder.h"

void CheckScript(const char* bytes, size_t size, const CheckOptions& options,
                 List<Finding>& sorted) {
#ifdef UPDCHECK_PLANTED_FAULT
    // Only in a test build: a fault must end the checker with status 3.
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
#endif
    Findings findings;
    const Script script(bytes, size, options, findings);
    Check check{script, findings};
    CheckEncoding(check);
    if (!script.readable)
        return findings.Sorted(sorted);
    CheckLayout(check);
    CheckDefinitions(check);
    CheckUpdater(check);
    CheckProcedures(check);
    CheckLog(check);
    CheckFlow(check);
    findings.Sorted(sorted);
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

void ToUtf8(const char* text, CharacterConverter& convert, TextBuilder& utf8) {
    for (size_t i = 0; text[i] != '\0';) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            utf8.Append(text + i++, 1);
            continue;
        }
        const size_t n = (IsLeadByte(b) && text[i + 1] != '\0') ? 2 : 1;
        if (!convert.ToUtf8(text + i, n, utf8)) {
            for (size_t k = 0; k < n; ++k) {
                utf8.Append("\\x");
                AppendHex(utf8, static_cast<unsigned char>(text[i + k]), 2);
            }
        }
        i += n;
    }
}

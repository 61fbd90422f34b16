#include "text/code_page.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

struct LeadByteTable {
    bool known = false;
    bool lead[256] = {};
};

// The one mutable table of the program: filled once, from the system at the
// first search (or by a test), because the code page does not change while
// the program runs and every search needs it.
LeadByteTable g_table;

LeadByteTable& Table() {
    return g_table;
}

void Fill(LeadByteTable& table, const unsigned char* ranges) {
    memset(table.lead, 0, sizeof table.lead);
    for (const unsigned char* r = ranges; r[0] != 0 || r[1] != 0; r += 2) {
        for (unsigned b = r[0]; b <= r[1]; ++b) table.lead[b] = true;
    }
    table.known = true;
}

}  // namespace

void SetLeadByteRanges(const unsigned char* ranges) {
    Fill(Table(), ranges);
}

bool IsLeadByte(unsigned char byte) {
    LeadByteTable& table = Table();
    if (!table.known) {
        unsigned char none[2] = {0, 0};
#ifdef _WIN32
        CPINFO info;
        if (GetCPInfo(CP_ACP, &info)) {
            Fill(table, info.LeadByte);
            return table.lead[byte];
        }
#endif
        Fill(table, none);
    }
    return table.lead[byte];
}

ptrdiff_t FindText(const char* text, ptrdiff_t from, const char* pattern) {
    const size_t length = strlen(pattern);
    for (ptrdiff_t p = from; text[p] != '\0';) {
        if (text[p] == pattern[0] && strncmp(text + p, pattern, length) == 0)
            return p;
        // A lead byte and its trail byte are one character; a lone lead byte
        // before the terminator counts as one.
        p += (IsLeadByte(static_cast<unsigned char>(text[p])) && text[p + 1] != '\0') ? 2 : 1;
    }
    return -1;
}

// VERIFY: whether some pair of items at the same position of two lists is
// equal, ignoring the case of ASCII letters.
#include "procs/kinds.h"
#include "text/code_page.h"

namespace {

// Equal ignoring the case of ASCII letters; both bytes of a double-byte
// character must match exactly, so a trail byte is never folded as a letter.
bool SameItem(const char* a, const char* b) {
    for (;;) {
        const unsigned char x = static_cast<unsigned char>(*a);
        const unsigned char y = static_cast<unsigned char>(*b);
        if (IsLeadByte(x)) {
            if (x != y || a[1] != b[1])
                return false;
            if (a[1] == '\0')
                return true;  // a lead byte cut off at the end
            a += 2;
            b += 2;
            continue;
        }
        const unsigned char fx = (x >= 'A' && x <= 'Z') ? x - 'A' + 'a' : x;
        const unsigned char fy = (y >= 'A' && y <= 'Z') ? y - 'A' + 'a' : y;
        if (fx != fy)
            return false;
        if (x == 0)
            return true;
        ++a;
        ++b;
    }
}

struct VerifyProcedure : Procedure {
    TextBuffer first;
    TextBuffer second;

    bool ReadKeys() { return ReadTextKeys(name, {{"ARG1", &first}, {"ARG2", &second}}); }

    bool Run() override {
        const int count = first.ItemCount(",");
        if (count == 0) {
            // An empty first list equals only an empty second one.
            result = SameItem(first.c_str(), second.c_str());
            return true;
        }
        for (int i = 0; i < count; ++i) {
            if (SameItem(ListItem(first, i).c_str(), ListItem(second, i).c_str())) {
                result = true;
                return true;
            }
        }
        return true;
    }
};

}  // namespace

Procedure* ConstructVerify(const TextBuffer& name, const TextBuffer& mode) {
    return ConstructProcedure<VerifyProcedure>(name, mode, "VERIFY_INFO");
}

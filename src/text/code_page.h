// Double-byte awareness of the searches: which bytes of the ANSI code page
// begin a two-byte character. On Windows the ranges come from the system the
// first time they are needed; tests may set them explicitly.
#pragma once

#include <cstddef>

// Lead-byte ranges as the system reports them: pairs of first and last byte,
// ended by a 0,0 pair. An empty list makes every search a plain byte search.
void SetLeadByteRanges(const unsigned char* ranges);
bool IsLeadByte(unsigned char byte);

// Position of pattern in text at or behind from, matched only at character
// boundaries counted from from; -1 when absent.
ptrdiff_t FindText(const char* text, ptrdiff_t from, const char* pattern);

// The script checker: reads a script as the program does and reports every
// mistake it can find before the script ships, each at its line. It never
// runs anything and knows nothing of the machine the script will run on.
#pragma once

#include <cstddef>

#include "check/findings.h"
#include "text/list.h"
#include "text/text_buffer.h"
#include "text/text_builder.h"

struct CheckOptions {
    unsigned code_page = 932;  // of the script
    List<TextBuffer> params;   // stand in for the command line's words ({?Param})
    TextBuffer script_name;    // the file's name, as the program finds it in <Src>
};

// Findings sorted by line; names in them are in the script's code page.
void CheckScript(const char* bytes, size_t size, const CheckOptions& options,
                 List<Finding>& findings);

// Lead-byte ranges of a code page for SetLeadByteRanges (pairs, ended by 0,0).
const unsigned char* LeadByteRanges(unsigned code_page);

// Converts one character (one or two bytes of the code page) to UTF-8.
class CharacterConverter {
public:
    virtual ~CharacterConverter() = default;
    virtual bool ToUtf8(const char* bytes, size_t size, TextBuilder& utf8) = 0;
};

// text in UTF-8: ASCII as it is, each other character through convert, and
// bytes it cannot convert as \xNN.
void ToUtf8(const char* text, CharacterConverter& convert, TextBuilder& utf8);

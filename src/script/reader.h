// Reading the script file through the system's private-profile functions.
// Every call reads the file named by ScriptPath as it is at that moment.
#pragma once

#include <cstdint>

#include "text/text_buffer.h"

// False when the key (or its section) is missing, or its value is "NO_DATA"
// in any letter case; target is then unchanged.
bool ReadRawString(const char* section, const char* key, TextBuffer& target);
bool ReadRawInt(const char* section, const char* key, int32_t& target);
// Appends the section's lines that do not begin with ";" to target, joined by
// line feeds; returns how many were appended.
int ReadSection(const char* section, TextBuffer& target);
// As the raw reads, with the value expanded; a missing key shows message 2.
bool ReadStringKey(const char* section, const char* key, TextBuffer& target);
bool ReadIntKey(const char* section, const char* key, int32_t& target);

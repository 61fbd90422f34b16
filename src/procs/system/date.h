// The date test of DATE, open to tests.
#pragma once

#include "text/text_buffer.h"

// True when file can be opened without sharing and its last write, in local
// time, falls on or after the year/month/day in date (each part taken as an
// unsigned 16-bit number; a missing or non-numeric part is 0).
bool IsFileDateOnOrAfter(const char* file, const TextBuffer& date);

// The file reader and the clipboard step of CRC, open to tests.
#pragma once

#include <cstdint>

// Reads the file in blocks, opened without sharing, and gives the CRC-32 of
// its contents. False when it cannot be opened or read, and for an empty file.
bool FileCrc32(const char* path, uint32_t* crc);

// Replaces the clipboard's content with text (CF_TEXT). False when the
// clipboard cannot be opened or the text cannot be put there.
bool PutTextOnClipboard(const char* text);

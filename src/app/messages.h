// The message catalogue: Japanese printf formats in the string table,
// reported in an error box with the run's caption.
#pragma once

#include <cstdarg>

#include "text/text_buffer.h"

enum MessageId {
    kMsgFileNotFound = 1,
    kMsgBadFormat = 2,
    kMsgOutOfMemory = 3,
    kMsgBadItemCount = 4,
    kMsgPathFailed = 5,
    kMsgBadSymbol = 6,
    kMsgCopyFailed = 8,
    kMsgLaunchFailed = 9,
    kMsgDeleteFailed = 10,
    kMsgBadProcedureCount = 11,
    kMsgAttributesFailed = 12,
    kMsgMakeDirFailed = 13,
    kMsgMoveFailed = 14,
    kMsgLinkFailed = 15,
    kMsgResourceFailed = 16,
    kMsgShellFailed = 17,
};

// Loads entry id from the program's own string table and formats it with the
// arguments into target, replacing its content.
void FormatMessageText(TextBuffer& target, int id, ...);
void FormatMessageTextList(TextBuffer& target, int id, va_list args);

// Shows entry id in an error box with the run's caption. Surplus arguments are ignored.
void ShowMessage(int id, ...);

// The message catalogue's entries by name. Their Japanese texts live in the
// program's string table, built from the same list.
#pragma once

enum MessageId {
#define MESSAGE(id, name, text) name = id,
#include "base/messages.def"
#undef MESSAGE
};

// What every procedure kind shares: the record head, and construction that
// reads the kind's keys in order and stops at the first missing one.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <new>

#include "app/messages.h"
#include "text/text_buffer.h"

struct Procedure {
    virtual ~Procedure() = default;
    // Sets the result flag as the kind says; false stops the run.
    virtual bool Run() = 0;

    // The number of items of the kind's main list key; an empty key is
    // reported with message 4 and counts 0, which fails the run.
    int MainItemCount(const TextBuffer& list, const char* key) const;

    TextBuffer name;      // the section name, trimmed
    TextBuffer mode;      // the MODE value as the script wrote it
    bool result = false;  // read by conditions; written only by Run
};

struct TextKey {
    const char* key;
    TextBuffer* field;
};

// Reads text keys in order; false at the first missing one (message 2 shown).
bool ReadTextKeys(const TextBuffer& section, std::initializer_list<TextKey> keys);

// Item i of a "," list, trimmed of spaces at both ends; "" when absent.
TextBuffer ListItem(const TextBuffer& list, int i);

// Allocates a record of a kind and reads its keys (Kind::ReadKeys). Shows
// message 3 with the kind's object name when it cannot be allocated.
template <typename Kind>
Procedure* ConstructProcedure(const TextBuffer& name, const TextBuffer& mode,
                              const char* object_name) {
    Kind* procedure = new (std::nothrow) Kind;
    if (procedure == nullptr) {
        ShowMessage(kMsgOutOfMemory, object_name);
        return nullptr;
    }
    procedure->name = name;
    procedure->mode = mode;
    if (!procedure->ReadKeys()) {
        delete procedure;
        return nullptr;
    }
    return procedure;
}

typedef Procedure* (*ConstructFunction)(const TextBuffer& name, const TextBuffer& mode);

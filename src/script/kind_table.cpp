#include "script/kind_table.h"

#include <cstddef>
#include <cstring>

#include "text/text_buffer.h"

namespace {

// Shorthands for the table below.
const KeyForm T = KeyForm::kText;
const KeyForm L = KeyForm::kList;
const bool kMain = true, kPaired = true, kRequired = true, kWrites = true;
const bool no = false;
const ItemForm kAny = ItemForm::kAny, kPath = ItemForm::kPath, kDecimal = ItemForm::kDecimal,
               kHex = ItemForm::kHex, kWord = ItemForm::kWord, kVersion = ItemForm::kVersion;

// In the order of BoxType and ShellFunction.
constexpr const char* kBoxTypes[] = {"ERROR", "INFORMATION", "WARNING", "QUESTION", nullptr};
constexpr const char* kShellFunctions[] = {"MOVE", "COPY", "DELETE", "RENAME", nullptr};

constexpr KeySpec kExistKeys[] = {{"FILE", L, kMain, no, kRequired, no, kPath, nullptr}};
constexpr KeySpec kDateKeys[] = {{"FILE", L, kMain, no, kRequired, no, kPath, nullptr},
                                 {"DATE", T, no, no, no, no, kAny, nullptr}};
constexpr KeySpec kSwitchKeys[] = {{"PROC", KeyForm::kCondition, no, no, no, no, kAny, nullptr},
                                   {"0", KeyForm::kProcedureList, no, no, no, no, kAny, nullptr},
                                   {"1", KeyForm::kProcedureList, no, no, no, no, kAny, nullptr}};
constexpr KeySpec kMsgBoxKeys[] = {{"FLAG", KeyForm::kFlag, no, no, no, no, kAny, nullptr},
                                   {"TYPE", T, no, no, kRequired, no, kWord, kBoxTypes},
                                   {"TEXT", T, no, no, no, no, ItemForm::kProse, nullptr},
                                   {"ISABORT", L, no, no, no, no, kDecimal, nullptr}};
constexpr KeySpec kCopyKeys[] = {{"FROM", L, kMain, no, kRequired, no, kPath, nullptr},
                                 {"TO", L, no, kPaired, kRequired, kWrites, kPath, nullptr}};
constexpr KeySpec kLaunchKeys[] = {{"FILE", L, kMain, no, kRequired, no, kPath, nullptr},
                                   {"PARAM", L, no, no, no, no, kAny, nullptr},
                                   {"ISWAIT", KeyForm::kNumber, no, no, no, no, kDecimal, nullptr}};
constexpr KeySpec kDeleteKeys[] = {{"FILE", L, kMain, no, kRequired, kWrites, kPath, nullptr}};
constexpr KeySpec kLinkKeys[] = {{"SRC", L, kMain, no, kRequired, no, kPath, nullptr},
                                 {"PARAM", L, no, no, no, no, kAny, nullptr},
                                 {"SHOWCMD", L, no, no, no, no, kDecimal, nullptr},
                                 {"DST", L, no, kPaired, kRequired, kWrites, kPath, nullptr}};
constexpr KeySpec kOsVerOptionalKeys[] = {{"MIN", T, no, no, no, no, kVersion, nullptr}};
constexpr KeySpec kMakeDirKeys[] = {{"DIR", L, kMain, no, kRequired, kWrites, kPath, nullptr}};
constexpr KeySpec kAttrKeys[] = {{"FILE", L, kMain, no, kRequired, kWrites, kPath, nullptr},
                                 {"ARG", L, no, kPaired, no, no, kHex, nullptr}};
constexpr KeySpec kCrcKeys[] = {{"FILE", L, kMain, no, kRequired, no, kPath, nullptr},
                                {"TYPE", T, no, no, no, no, kAny, nullptr},
                                {"CRC", L, no, kPaired, no, no, kHex, nullptr}};
constexpr KeySpec kMoveKeys[] = {{"FROM", L, kMain, no, kRequired, kWrites, kPath, nullptr},
                                 {"TO", L, no, kPaired, kRequired, kWrites, kPath, nullptr}};
constexpr KeySpec kWaitAppKeys[] = {{"APP", L, kMain, no, kRequired, no, kPath, nullptr},
                                    {"TICK", L, no, kPaired, no, no, kDecimal, nullptr}};
constexpr KeySpec kAppExistKeys[] = {{"APP", L, kMain, no, kRequired, no, kPath, nullptr}};
constexpr KeySpec kVerifyKeys[] = {{"ARG1", L, no, no, no, no, kAny, nullptr},
                                   {"ARG2", L, no, no, no, no, kAny, nullptr}};
constexpr KeySpec kRsrcKeys[] = {{"FROM", T, no, no, kRequired, no, kPath, nullptr},
                                 {"TO", T, no, no, kRequired, kWrites, kPath, nullptr},
                                 {"TYPE", L, kMain, no, kRequired, no, kAny, nullptr},
                                 {"NAME", L, no, kPaired, no, no, kAny, nullptr}};
constexpr KeySpec kShellKeys[] = {{"FUNC", L, no, kPaired, kRequired, no, kWord, kShellFunctions},
                                  {"FROM", L, kMain, no, kRequired, kWrites, kPath, nullptr},
                                  {"TO", L, no, kPaired, no, kWrites, kPath, nullptr}};

// NAME and PROC are read at start-up, LOG when the log starts, ROLLBACK
// when the undo begins.
constexpr KeySpec kUpdaterKeys[] = {
    {"NAME", T, no, no, no, no, ItemForm::kProse, nullptr},
    {"PROC", KeyForm::kProcedureList, kMain, no, kRequired, no, kAny, nullptr},
};
constexpr KeySpec kUpdaterOptionalKeys[] = {
    {"LOG", T, no, no, no, no, kPath, nullptr},
    {"ROLLBACK", T, no, no, no, no, ItemForm::kYes, nullptr},
    {"PROGRESS", T, no, no, no, no, ItemForm::kYes, nullptr},
    {"RETRY", T, no, no, no, no, ItemForm::kSeconds, nullptr},
};

// A kind's keys, or none.
template <int N>
constexpr const KeySpec* KeysOf(const KeySpec (&keys)[N]) {
    return keys;
}
constexpr const KeySpec* KeysOf(std::nullptr_t) {
    return nullptr;
}
template <int N>
constexpr int NumberOfKeys(const KeySpec (&)[N]) {
    return N;
}
constexpr int NumberOfKeys(std::nullptr_t) {
    return 0;
}

constexpr KindSpec kKinds[] = {
#define KIND(name, mode, object, label, keys, optional) \
    {                                                   \
        KindId::k##name,  mode,                         \
        object,           label,                        \
        KeysOf(keys),     NumberOfKeys(keys),           \
        KeysOf(optional), NumberOfKeys(optional)},
#include "script/kinds.def"
#undef KIND
};

static_assert(RowsInKindOrder(kKinds), "the kinds' rows are in the order of KindId");

constexpr KindSpec kUpdater = {KindId::kUpdater,
                               "UPDATER",
                               "UPDATER",
                               nullptr,
                               KeysOf(kUpdaterKeys),
                               NumberOfKeys(kUpdaterKeys),
                               KeysOf(kUpdaterOptionalKeys),
                               NumberOfKeys(kUpdaterOptionalKeys)};

}  // namespace

const KindSpec& UpdaterKeys() {
    return kUpdater;
}

int KindCount() {
    return static_cast<int>(sizeof kKinds / sizeof kKinds[0]);
}

const KindSpec& KindAt(int index) {
    return kKinds[index];
}

const KindSpec* FindKind(const char* mode) {
    for (const KindSpec& kind : kKinds) {
        if (EqualsNoCase(kind.mode, mode))
            return &kind;
    }
    return nullptr;
}

const KeySpec* MainKey(const KindSpec& kind) {
    for (int i = 0; i < kind.key_count; ++i) {
        if (kind.keys[i].main)
            return &kind.keys[i];
    }
    return nullptr;
}

int KeyIndex(const KindSpec& kind, const char* key) {
    for (int i = 0; i < kind.key_count + kind.optional_count; ++i) {
        if (strcmp(KeyAt(kind, i).name, key) == 0)
            return i;
    }
    return -1;
}

const KeySpec& KeyAt(const KindSpec& kind, int i) {
    return i < kind.key_count ? kind.keys[i] : kind.optional_keys[i - kind.key_count];
}

const KeySpec* FindKey(const KindSpec& kind, const char* key) {
    const int index = KeyIndex(kind, key);
    return index >= 0 ? &KeyAt(kind, index) : nullptr;
}

int WordIndex(const KeySpec& key, const char* value) {
    for (int i = 0; key.words != nullptr && key.words[i] != nullptr; ++i) {
        if (EqualsNoCase(key.words[i], value))
            return i;
    }
    return -1;
}

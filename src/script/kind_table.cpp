#include "script/kind_table.h"

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
const char* const kBoxTypes[] = {"ERROR", "INFORMATION", "WARNING", "QUESTION", nullptr};
const char* const kShellFunctions[] = {"MOVE", "COPY", "DELETE", "RENAME", nullptr};

const KeySpec kExistKeys[] = {{"FILE", L, kMain, no, kRequired, no, kPath, nullptr}};
const KeySpec kDateKeys[] = {{"FILE", L, kMain, no, kRequired, no, kPath, nullptr},
                             {"DATE", T, no, no, no, no, kAny, nullptr}};
const KeySpec kSwitchKeys[] = {{"PROC", KeyForm::kCondition, no, no, no, no, kAny, nullptr},
                               {"0", KeyForm::kProcedureList, no, no, no, no, kAny, nullptr},
                               {"1", KeyForm::kProcedureList, no, no, no, no, kAny, nullptr}};
const KeySpec kMsgBoxKeys[] = {{"FLAG", KeyForm::kFlag, no, no, no, no, kAny, nullptr},
                               {"TYPE", T, no, no, kRequired, no, kWord, kBoxTypes},
                               {"TEXT", T, no, no, no, no, ItemForm::kProse, nullptr},
                               {"ISABORT", L, no, no, no, no, kDecimal, nullptr}};
const KeySpec kCopyKeys[] = {{"FROM", L, kMain, no, kRequired, no, kPath, nullptr},
                             {"TO", L, no, kPaired, kRequired, kWrites, kPath, nullptr}};
const KeySpec kLaunchKeys[] = {{"FILE", L, kMain, no, kRequired, no, kPath, nullptr},
                               {"PARAM", L, no, no, no, no, kAny, nullptr},
                               {"ISWAIT", KeyForm::kNumber, no, no, no, no, kDecimal, nullptr}};
const KeySpec kDeleteKeys[] = {{"FILE", L, kMain, no, kRequired, kWrites, kPath, nullptr}};
const KeySpec kLinkKeys[] = {{"SRC", L, kMain, no, kRequired, no, kPath, nullptr},
                             {"PARAM", L, no, no, no, no, kAny, nullptr},
                             {"SHOWCMD", L, no, no, no, no, kDecimal, nullptr},
                             {"DST", L, no, kPaired, kRequired, kWrites, kPath, nullptr}};
const KeySpec kOsVerOptionalKeys[] = {{"MIN", T, no, no, no, no, kVersion, nullptr}};
const KeySpec kMakeDirKeys[] = {{"DIR", L, kMain, no, kRequired, kWrites, kPath, nullptr}};
const KeySpec kAttrKeys[] = {{"FILE", L, kMain, no, kRequired, kWrites, kPath, nullptr},
                             {"ARG", L, no, kPaired, no, no, kHex, nullptr}};
const KeySpec kCrcKeys[] = {{"FILE", L, kMain, no, kRequired, no, kPath, nullptr},
                            {"TYPE", T, no, no, no, no, kAny, nullptr},
                            {"CRC", L, no, kPaired, no, no, kHex, nullptr}};
const KeySpec kMoveKeys[] = {{"FROM", L, kMain, no, kRequired, kWrites, kPath, nullptr},
                             {"TO", L, no, kPaired, kRequired, kWrites, kPath, nullptr}};
const KeySpec kWaitAppKeys[] = {{"APP", L, kMain, no, kRequired, no, kPath, nullptr},
                                {"TICK", L, no, kPaired, no, no, kDecimal, nullptr}};
const KeySpec kAppExistKeys[] = {{"APP", L, kMain, no, kRequired, no, kPath, nullptr}};
const KeySpec kVerifyKeys[] = {{"ARG1", L, no, no, no, no, kAny, nullptr},
                               {"ARG2", L, no, no, no, no, kAny, nullptr}};
const KeySpec kRsrcKeys[] = {{"FROM", T, no, no, kRequired, no, kPath, nullptr},
                             {"TO", T, no, no, kRequired, kWrites, kPath, nullptr},
                             {"TYPE", L, kMain, no, kRequired, no, kAny, nullptr},
                             {"NAME", L, no, kPaired, no, no, kAny, nullptr}};
const KeySpec kShellKeys[] = {{"FUNC", L, no, kPaired, kRequired, no, kWord, kShellFunctions},
                              {"FROM", L, kMain, no, kRequired, kWrites, kPath, nullptr},
                              {"TO", L, no, kPaired, no, kWrites, kPath, nullptr}};

// NAME and PROC are read at start-up, LOG when the log starts, ROLLBACK
// when the undo begins.
const KeySpec kUpdaterKeys[] = {
    {"NAME", T, no, no, no, no, ItemForm::kProse, nullptr},
    {"PROC", KeyForm::kProcedureList, kMain, no, kRequired, no, kAny, nullptr},
};
const KeySpec kUpdaterOptionalKeys[] = {
    {"LOG", T, no, no, no, no, kPath, nullptr},
    {"ROLLBACK", T, no, no, no, no, ItemForm::kYes, nullptr},
    {"PROGRESS", T, no, no, no, no, ItemForm::kYes, nullptr},
    {"RETRY", T, no, no, no, no, ItemForm::kSeconds, nullptr},
};

#define KEYS(array) array, static_cast<int>(sizeof array / sizeof array[0])

const KindSpec kKinds[] = {
    {KindId::kExist, "EXIST", "EXIST_INFO", nullptr, KEYS(kExistKeys)},
    {KindId::kDate, "DATE", "DATE_INFO", nullptr, KEYS(kDateKeys)},
    {KindId::kSwitch, "SWITCH", "SWITCH_INFO", nullptr, KEYS(kSwitchKeys)},
    {KindId::kMsgBox, "MSGBOX", "MSGBOX_INFO", nullptr, KEYS(kMsgBoxKeys)},
    {KindId::kCopy, "COPY", "COPY_INFO", nullptr, KEYS(kCopyKeys)},
    {KindId::kLaunch, "LAUNCH", "LAUNCH_INFO", nullptr, KEYS(kLaunchKeys)},
    {KindId::kDelete, "DELETE", "DELETE_INFO", nullptr, KEYS(kDeleteKeys)},
    // The shortcut kind names itself, not its key, when SRC is empty.
    {KindId::kLink, "LINK", "SHORTCUT_INFO", "LINK", KEYS(kLinkKeys)},
    {KindId::kOsVer, "OSVER", "OSVER_INFO", nullptr, nullptr, 0, KEYS(kOsVerOptionalKeys)},
    {KindId::kMakeDir, "MAKEDIR", "MAKEDIR_INFO", nullptr, KEYS(kMakeDirKeys)},
    {KindId::kAttr, "ATTR", "ATTR_INFO", nullptr, KEYS(kAttrKeys)},
    {KindId::kCrc, "CRC", "CRC_INFO", nullptr, KEYS(kCrcKeys)},
    {KindId::kMove, "MOVE", "MOVE_INFO", nullptr, KEYS(kMoveKeys)},
    {KindId::kWaitApp, "WAITAPP", "WAITAPP_INFO", nullptr, KEYS(kWaitAppKeys)},
    {KindId::kAppExist, "APPEXIST", "APPEXIST_INFO", nullptr, KEYS(kAppExistKeys)},
    {KindId::kVerify, "VERIFY", "VERIFY_INFO", nullptr, KEYS(kVerifyKeys)},
    {KindId::kRsrc, "RSRC", "RSRC_INFO", nullptr, KEYS(kRsrcKeys)},
    {KindId::kShell, "SHELL", "SHELL_INFO", nullptr, KEYS(kShellKeys)},
};

const KindSpec kUpdater = {KindId::kUpdater, "UPDATER",          "UPDATER",
                           nullptr,          KEYS(kUpdaterKeys), KEYS(kUpdaterOptionalKeys)};

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

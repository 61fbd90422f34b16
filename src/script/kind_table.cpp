#include "script/kind_table.h"

#include <cstring>

#include "text/text_buffer.h"

namespace {

// Shorthands for the table below.
const KeyForm T = KeyForm::kText;
const KeyForm L = KeyForm::kList;
const bool kMain = true, kPaired = true, kRequired = true, kWrites = true;
const bool no = false;

const KeySpec kExistKeys[] = {{"FILE", L, kMain, no, kRequired, no}};
const KeySpec kDateKeys[] = {{"FILE", L, kMain, no, kRequired, no}, {"DATE", T, no, no, no, no}};
const KeySpec kSwitchKeys[] = {{"PROC", KeyForm::kCondition, no, no, no, no},
                               {"0", KeyForm::kProcedureList, no, no, no, no},
                               {"1", KeyForm::kProcedureList, no, no, no, no}};
const KeySpec kMsgBoxKeys[] = {{"FLAG", KeyForm::kFlag, no, no, no, no},
                               {"TYPE", T, no, no, kRequired, no},
                               {"TEXT", T, no, no, no, no},
                               {"ISABORT", L, no, no, no, no}};
const KeySpec kCopyKeys[] = {{"FROM", L, kMain, no, kRequired, no},
                             {"TO", L, no, kPaired, kRequired, kWrites}};
const KeySpec kLaunchKeys[] = {{"FILE", L, kMain, no, kRequired, no},
                               {"PARAM", L, no, no, no, no},
                               {"ISWAIT", KeyForm::kNumber, no, no, no, no}};
const KeySpec kDeleteKeys[] = {{"FILE", L, kMain, no, kRequired, kWrites}};
const KeySpec kLinkKeys[] = {{"SRC", L, kMain, no, kRequired, no},
                             {"PARAM", L, no, no, no, no},
                             {"SHOWCMD", L, no, no, no, no},
                             {"DST", L, no, kPaired, kRequired, kWrites}};
const KeySpec kMakeDirKeys[] = {{"DIR", L, kMain, no, kRequired, kWrites}};
const KeySpec kAttrKeys[] = {{"FILE", L, kMain, no, kRequired, kWrites},
                             {"ARG", L, no, kPaired, no, no}};
const KeySpec kCrcKeys[] = {{"FILE", L, kMain, no, kRequired, no},
                            {"TYPE", T, no, no, no, no},
                            {"CRC", L, no, kPaired, no, no}};
const KeySpec kMoveKeys[] = {{"FROM", L, kMain, no, kRequired, kWrites},
                             {"TO", L, no, kPaired, kRequired, kWrites}};
const KeySpec kWaitAppKeys[] = {{"APP", L, kMain, no, kRequired, no},
                                {"TICK", L, no, kPaired, no, no}};
const KeySpec kAppExistKeys[] = {{"APP", L, kMain, no, kRequired, no}};
const KeySpec kVerifyKeys[] = {{"ARG1", L, no, no, no, no}, {"ARG2", L, no, no, no, no}};
const KeySpec kRsrcKeys[] = {{"FROM", T, no, no, kRequired, no},
                             {"TO", T, no, no, kRequired, kWrites},
                             {"TYPE", L, kMain, no, kRequired, no},
                             {"NAME", L, no, kPaired, no, no}};
const KeySpec kShellKeys[] = {{"FUNC", L, no, kPaired, kRequired, no},
                              {"FROM", L, kMain, no, kRequired, kWrites},
                              {"TO", L, no, kPaired, no, kWrites}};

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
    {KindId::kOsVer, "OSVER", "OSVER_INFO", nullptr, nullptr, 0},
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

}  // namespace

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
    for (int i = 0; i < kind.key_count; ++i) {
        if (strcmp(kind.keys[i].name, key) == 0)
            return i;
    }
    return -1;
}

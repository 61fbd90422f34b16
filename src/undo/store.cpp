#include "undo/store.h"

#include <windows.h>
#include <sddl.h>

#include "base/path_text.h"
#include "base/system.h"
#include "base/win_handles.h"
#include "undo/journal_format.h"
#include "undo/undo_files.h"

namespace {

// Rights that let an account change what a folder holds, or who may.
const DWORD kChangingRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                              FILE_DELETE_CHILD | FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC |
                              WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// The name of a store made when the usual one cannot be trusted: this, then
// eight hexadecimal digits.
const char kFreshStorePrefix[] = "Updater-";

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
    unsigned char known[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof known;
    return CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known);
}

bool IsTrusted(PSID sid, const TrustRule& rule) {
    return IsWellKnown(sid, WinLocalSystemSid) || IsWellKnown(sid, WinBuiltinAdministratorsSid) ||
           (rule.account != nullptr && EqualSid(sid, rule.account));
}

// The entry's account when it grants rights (ACCESS_ALLOWED_ACE and its
// callback form share the layout); null for a deny entry. Any other kind
// of granting entry counts as granting to someone untrusted.
bool GrantsChanges(const ACE_HEADER* header, const TrustRule& rule) {
    switch (header->AceType) {
        case ACCESS_DENIED_ACE_TYPE:
        case ACCESS_DENIED_OBJECT_ACE_TYPE:
        case ACCESS_DENIED_CALLBACK_ACE_TYPE:
        case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
            return false;
        case ACCESS_ALLOWED_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {
            const ACCESS_ALLOWED_ACE* allowed = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
            PSID sid = const_cast<DWORD*>(&allowed->SidStart);
            return (allowed->Mask & kChangingRights) != 0 && !IsTrusted(sid, rule);
        }
        default:
            return true;
    }
}

// Each folder of path below its root: false when one is a link.
bool HasNoLinkOnPath(const TextBuffer& path) {
    const int count = path.ItemCount("\\");
    for (int k = 1; k < count; ++k) {
        const TextBuffer level = path.Items(0, k, "\\");
        if (level.Item(-1, "\\").IsEmpty())
            continue;  // the root of a drive or share
        const DWORD attributes = GetFileAttributesA(level.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return false;
    }
    return true;
}

// The folder opened to read its owner and access list, shared for anything
// but renaming or deleting it.
HANDLE OpenHeld(const TextBuffer& path) {
    return CreateFileA(path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

UndoReason CheckOpened(HANDLE folder, const TrustRule& rule) {
    union {
        SECURITY_DESCRIPTOR descriptor;
        unsigned char bytes[4096];
    } security;
    DWORD size = 0;
    if (!GetKernelObjectSecurity(folder, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                 &security.descriptor, sizeof security, &size)) {
        return UndoReason::kUnreadable;
    }
    return CheckFolderSecurity(&security.descriptor, rule);
}

bool IsHexName(const char* name) {
    int digits = 0;
    for (; name[digits] != '\0'; ++digits) {
        const char c = name[digits];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return digits == 8;
}

void Tell(RunEvents& events, UndoStep step, UndoReason reason, const TextBuffer& path) {
    events.Undone({step, reason, path.c_str(), "", 0});
}

}  // namespace

UndoReason CheckFolderSecurity(PSECURITY_DESCRIPTOR descriptor, const TrustRule& rule) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (descriptor == nullptr || !GetSecurityDescriptorOwner(descriptor, &owner, &defaulted))
        return UndoReason::kUnreadable;
    if (owner == nullptr || !IsTrusted(owner, rule))
        return UndoReason::kOwner;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    BOOL present = FALSE;
    PACL list = nullptr;
    if (!GetSecurityDescriptorControl(descriptor, &control, &revision) ||
        !GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted)) {
        return UndoReason::kUnreadable;
    }
    // No access list at all lets everyone do anything.
    if (!present || list == nullptr)
        return UndoReason::kOthersWrite;
    if (rule.protection && !(control & SE_DACL_PROTECTED))
        return UndoReason::kInherits;
    ACL_SIZE_INFORMATION information;
    if (!GetAclInformation(list, &information, sizeof information, AclSizeInformation))
        return UndoReason::kUnreadable;
    for (DWORD i = 0; i < information.AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(list, i, &entry))
            return UndoReason::kUnreadable;
        if (GrantsChanges(static_cast<const ACE_HEADER*>(entry), rule))
            return UndoReason::kOthersWrite;
    }
    return UndoReason::kNone;
}

AccountSid::AccountSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return;
    const UniqueHandle owner(token);
    union {
        TOKEN_USER user;
        unsigned char bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } information;
    DWORD size = 0;
    valid_ = GetTokenInformation(token, TokenUser, &information, sizeof information, &size) &&
             CopySid(sizeof sid_, sid_, information.user.User.Sid);
}

TrustRule StoreRule(bool elevated, const AccountSid& account) {
    TrustRule rule;
    if (!elevated || RunsUnderWine()) {
        rule.account = account.IsValid() ? account.Get() : nullptr;
        rule.protection = false;
    }
    return rule;
}

TextBuffer FolderDescriptorText(PSID account) {
    const char kAdministrators[] = "(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    char* text = nullptr;
    if (account == nullptr || !ConvertSidToStringSidA(account, &text))
        return TextBuffer("O:BAD:P") + kAdministrators;
    const TextBuffer descriptor =
        TextBuffer("D:P") + kAdministrators + "(A;OICI;FA;;;" + text + ")";
    LocalFree(text);
    return descriptor;
}

Status MakeProtectedFolder(const TextBuffer& path, PSID account) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
            FolderDescriptorText(account).c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        return LastErrorStatus();
    }
    SECURITY_ATTRIBUTES security = {sizeof security, descriptor, FALSE};
    const Status made = CallStatus(CreateDirectoryA(path.c_str(), &security));
    LocalFree(descriptor);
    return made;
}

namespace {

UndoReason CheckUnlinked(const TextBuffer& path, const TrustRule& rule) {
    const UniqueHandle folder(OpenHeld(path));
    return folder.IsValid() ? CheckOpened(folder.Get(), rule) : UndoReason::kUnreadable;
}

}  // namespace

UndoReason CheckFolder(const TextBuffer& path, const TrustRule& rule) {
    return HasNoLinkOnPath(path) ? CheckUnlinked(path, rule) : UndoReason::kLink;
}

UndoReason CheckVolumeFolder(const TextBuffer& path, const TrustRule& rule) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return UndoReason::kLink;
    return CheckUnlinked(path, rule);
}

UndoStore::~UndoStore() {
    for (HANDLE folder : held_) CloseHandle(folder);
}

UndoReason UndoStore::Take(const TextBuffer& base, const TextBuffer& name, bool make,
                           RunEvents& events) {
    const TextBuffer store = JoinPath(base, name.c_str()) + "\\Undo";
    for (const TextBuffer& level : {ParentOf(store), store}) {
        if (make && GetFileAttributesA(level.c_str()) == INVALID_FILE_ATTRIBUTES)
            MakeProtectedFolder(level, Maker());
        // Held from before it is checked: what was checked cannot be swapped.
        const bool linked = !HasNoLinkOnPath(level);
        UniqueHandle folder(linked ? INVALID_HANDLE_VALUE : OpenHeld(level));
        if (!linked && !folder.IsValid())
            return UndoReason::kUnreadable;  // nothing there, or nothing to read
        const UndoReason reason = linked ? UndoReason::kLink : CheckOpened(folder.Get(), rule_);
        if (reason != UndoReason::kNone) {
            Tell(events, UndoStep::kStoreRefused, reason, level);
            return reason;
        }
        if (!held_.Add(folder.Get()))
            return UndoReason::kUnreadable;
        folder.Release();
    }
    return folders_.Add(store) ? UndoReason::kNone : UndoReason::kUnreadable;
}

bool UndoStore::Open(const TextBuffer& base, bool elevated, RunEvents& events) {
    elevated_ = elevated;
    rule_ = StoreRule(elevated, account_);
    if (base.IsEmpty() || !HasNoLinkOnPath(base)) {
        if (!base.IsEmpty())
            Tell(events, UndoStep::kStoreRefused, UndoReason::kLink, base);
        return false;
    }
    Take(base, "Updater", true, events);
    // Stores made before because this one could not be trusted.
    ForEachMatch(JoinPath(base, kFreshStorePrefix) + "*",
                 [&](const TextBuffer&, const WIN32_FIND_DATAA& entry) {
                     if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                         IsHexName(entry.cFileName + sizeof kFreshStorePrefix - 1))
                         Take(base, entry.cFileName, false, events);
                     return true;
                 });
    // None can be trusted: a fresh one, under a name nobody can have taken before.
    uint32_t seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (int attempt = 0; folders_.Count() == 0 && attempt < 16;
         ++attempt, seed = seed * 69069 + 1) {
        const TextBuffer name = TextBuffer(kFreshStorePrefix) + HexName(seed);
        if (MakeProtectedFolder(JoinPath(base, name.c_str()), Maker()))
            Take(base, name, true, events);
    }
    if (folders_.Count() == 0)
        return false;
    Tell(events, UndoStep::kStore, UndoReason::kNone, Folder());
    return true;
}

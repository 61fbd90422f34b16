// The store where an undo keeps its journals and set-aside files, and the
// folders it makes on other volumes. Only what nobody with fewer rights than
// the run can change is ever read or obeyed: an elevated run keeps its store
// in the machine's application data folder, writable by SYSTEM and
// Administrators alone; an unelevated run keeps it in its account's own local
// application data, where it can do nothing the account could not do anyway.
#pragma once

#include <windows.h>

#include "procs/run_events.h"
#include "text/list.h"
#include "text/text_buffer.h"

// Who may own a folder of the undo's and write in it: SYSTEM and
// Administrators, and the account when one is given. With protection, the
// access list must take nothing from the folder above.
struct TrustRule {
    PSID account = nullptr;
    bool protection = true;
};

// Why the owner and access list of a folder cannot be trusted; kNone when
// they can. Deny entries only take rights away; entries that apply only to
// what is made inside count as well.
UndoReason CheckFolderSecurity(PSECURITY_DESCRIPTOR descriptor, const TrustRule& rule);

// The account this process runs as (TOKEN_USER), for the rule.
class AccountSid {
public:
    AccountSid();
    PSID Get() const { return reinterpret_cast<PSID>(const_cast<unsigned char*>(sid_)); }
    bool IsValid() const { return valid_; }

private:
    unsigned char sid_[SECURITY_MAX_SID_SIZE] = {};
    bool valid_ = false;
};

// The rule of this run's store: SYSTEM and Administrators alone for an
// elevated run on Windows; the account too for an unelevated run, and under
// Wine, which runs every program of an account with the same rights and
// keeps no owner or access list of its own.
TrustRule StoreRule(bool elevated, const AccountSid& account);

// The descriptor a folder of the undo's is made with, in the system's
// descriptor language, protected from what the folder above grants: full
// access for SYSTEM and Administrators, and owned by Administrators; or,
// where an account is given (an unelevated run), for that account as well.
TextBuffer FolderDescriptorText(PSID account);
// Makes path as a new folder with that descriptor. Fails when path exists.
Status MakeProtectedFolder(const TextBuffer& path, PSID account);
// Why the folder at path cannot be trusted: it or a folder on its way is a
// link, or its owner and access list fail the rule; kNone when it can.
UndoReason CheckFolder(const TextBuffer& path, const TrustRule& rule);
// The same for a set-aside folder at the root of a volume: only it must not
// be a link, since a volume mounted in a folder is one.
UndoReason CheckVolumeFolder(const TextBuffer& path, const TrustRule& rule);

// The stores of this run: the trusted ones found, and the one its journal
// goes to. Their folders are held open, so that none can be renamed or
// replaced while the run goes on.
class UndoStore {
public:
    UndoStore() = default;
    UndoStore(const UndoStore&) = delete;
    UndoStore& operator=(const UndoStore&) = delete;
    ~UndoStore();

    // Finds and checks the stores below base (the machine's or the account's
    // application data folder), tells events about every folder it leaves
    // alone, and makes a fresh one when none can be trusted. False when no
    // store can be had.
    bool Open(const TextBuffer& base, bool elevated, RunEvents& events);

    // This run's store.
    const TextBuffer& Folder() const { return folders_[0]; }
    // Every trusted store: an unfinished journal in any of them is finished.
    const List<TextBuffer>& Folders() const { return folders_; }
    const TrustRule& Rule() const { return rule_; }
    // Who besides SYSTEM and Administrators may use the folders the undo makes.
    PSID Maker() const { return elevated_ ? nullptr : account_.Get(); }

private:
    // The store below base named name (with its Undo folder), made where it
    // is missing and when make is set; kNone and added when it can be trusted.
    UndoReason Take(const TextBuffer& base, const TextBuffer& name, bool make, RunEvents& events);

    AccountSid account_;
    TrustRule rule_;
    bool elevated_ = false;
    List<TextBuffer> folders_;
    List<HANDLE> held_;
};

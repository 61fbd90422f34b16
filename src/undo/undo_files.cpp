#include "undo/undo_files.h"

#include <windows.h>
#include <winternl.h>

#include <cstring>

#include "base/paths.h"
#include "base/system.h"
#include "base/win_handles.h"

namespace {

// What SetFileAttributesA can set; the others (folder, compressed, ...) it ignores.
const uint32_t kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                     FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

uint64_t TimeOf(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

uint64_t SizeOf(const WIN32_FILE_ATTRIBUTE_DATA& data) {
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

FILETIME FileTimeOf(uint64_t time) {
    FILETIME file_time;
    file_time.dwLowDateTime = static_cast<DWORD>(time);
    file_time.dwHighDateTime = static_cast<DWORD>(time >> 32);
    return file_time;
}

bool IsEnterable(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

void MakeFolders(const TextBuffer& path) {
    const int count = path.ItemCount("\\");
    for (int k = 1; k < count; ++k) CreateDirectoryA(path.Items(0, k, "\\").c_str(), nullptr);
}

// Retries once with the missing folders of to made.
template <typename Make>
Status MakeWithFolders(const TextBuffer& to, Make make) {
    Status made = make();
    if (!made && made.Error() == ERROR_PATH_NOT_FOUND) {
        MakeFolders(ParentOf(to));
        made = make();
    }
    return made;
}

bool CanOpen(const char* path, DWORD access) {
    const UniqueHandle file(CreateFileA(path, access,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.IsValid();
}

Status WriteThrough(const TextBuffer& path) {
    const UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return LastErrorStatus();
    return CallStatus(FlushFileBuffers(file.Get()));
}

// The system's own file calls, which take an open file: XP has them, and
// they rename a file that is open already, or list a folder with the
// identity of each entry. The headers declare no NtQueryDirectoryFile.
typedef LONG(WINAPI* NtQueryDirectoryFileFn)(HANDLE, HANDLE, void*, void*, IO_STATUS_BLOCK*, void*,
                                             ULONG, FILE_INFORMATION_CLASS, BOOLEAN,
                                             UNICODE_STRING*, BOOLEAN);
const int kFileRenameInformation = 10;
const int kFileDispositionInformation = 13;

template <typename Function>
Function NtFunction(const char* name) {
    return SystemFunction<Function>(GetModuleHandleA("ntdll.dll"), name);
}

Status SetFileInformation(HANDLE file, void* information, ULONG size, int kind) {
    const auto set = NtFunction<decltype(&NtSetInformationFile)>("NtSetInformationFile");
    const auto to_error = NtFunction<decltype(&RtlNtStatusToDosError)>("RtlNtStatusToDosError");
    if (!set || !to_error)
        return Status::Failed(ERROR_CALL_NOT_IMPLEMENTED);
    IO_STATUS_BLOCK io = {};
    const LONG status =
        set(file, &io, information, size, static_cast<FILE_INFORMATION_CLASS>(kind));
    return status >= 0 ? Status::Done() : Status::Failed(to_error(status));
}

}  // namespace

namespace {

const ULONG kListingBytes = 16384;

}  // namespace

FolderListing::FolderListing(const TextBuffer& folder)
    : folder_(CreateFileA(folder.c_str(), FILE_LIST_DIRECTORY,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)),
      buffer_(new (std::nothrow) unsigned char[kListingBytes]) {
    BY_HANDLE_FILE_INFORMATION information;
    if (folder_.IsValid() && GetFileInformationByHandle(folder_.Get(), &information))
        volume_ = information.dwVolumeSerialNumber;
}

bool FolderListing::Next(TextBuffer* name, bool* folder, Fingerprint* print) {
    const auto query = NtFunction<NtQueryDirectoryFileFn>("NtQueryDirectoryFile");
    for (;;) {
        if (at_ == nullptr) {
            IO_STATUS_BLOCK io = {};
            if (!folder_.IsValid() || !buffer_ || query == nullptr ||
                query(folder_.Get(), nullptr, nullptr, nullptr, &io, buffer_.get(), kListingBytes,
                      FileIdBothDirectoryInformation, FALSE, nullptr, first_) < 0) {
                return false;
            }
            first_ = FALSE;
            at_ = buffer_.get();
        }
        const FILE_ID_BOTH_DIR_INFORMATION& entry =
            *reinterpret_cast<const FILE_ID_BOTH_DIR_INFORMATION*>(at_);
        at_ = entry.NextEntryOffset != 0 ? at_ + entry.NextEntryOffset : nullptr;
        char text[MAX_PATH * 2] = {};
        WideCharToMultiByte(CP_ACP, 0, entry.FileName, static_cast<int>(entry.FileNameLength / 2),
                            text, sizeof text - 1, nullptr, nullptr);
        if (IsDotsName(text))
            continue;
        *name = text;
        *folder = (entry.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        *print = {static_cast<uint64_t>(entry.EndOfFile.QuadPart),
                  static_cast<uint64_t>(entry.LastWriteTime.QuadPart), volume_,
                  static_cast<uint64_t>(entry.FileId.QuadPart)};
        return true;
    }
}

bool Exists(const TextBuffer& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ReadState(const char* path, FileState* state) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return false;
    state->attributes = data.dwFileAttributes;
    state->created = TimeOf(data.ftCreationTime);
    state->written = TimeOf(data.ftLastWriteTime);
    return true;
}

bool IsFolderState(const FileState& state) {
    return (state.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool ReadPrint(const char* path, Fingerprint* print) {
    const UniqueHandle file(
        CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (!file.IsValid() || !GetFileInformationByHandle(file.Get(), &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    print->size =
        (static_cast<uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    print->written = TimeOf(information.ftLastWriteTime);
    print->volume = information.dwVolumeSerialNumber;
    print->index =
        (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    return true;
}

Status PutState(const char* path, const FileState& state) {
    FileState now;
    if (!ReadState(path, &now))
        return LastErrorStatus();
    const uint32_t attributes = state.attributes & kSettableAttributes;
    if ((now.attributes & kSettableAttributes) != attributes &&
        !SetFileAttributesA(path, attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL)) {
        return LastErrorStatus();
    }
    if (now.created == state.created && now.written == state.written)
        return Status::Done();
    // Folders open only with this flag; times need no more access than this.
    const UniqueHandle file(CreateFileA(
        path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.IsValid())
        return LastErrorStatus();
    const FILETIME created = FileTimeOf(state.created), written = FileTimeOf(state.written);
    return CallStatus(SetFileTime(file.Get(), &created, nullptr, &written));
}

Status RenameOnVolume(const TextBuffer& from, const TextBuffer& to) {
    return MakeWithFolders(to,
                           [&] { return CallStatus(MoveFileExA(from.c_str(), to.c_str(), 0)); });
}

HANDLE OpenToSetAside(const char* path, bool delete_only) {
    return CreateFileA(path, delete_only ? DELETE : GENERIC_WRITE | DELETE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

Status RenameOpenFile(HANDLE file, const TextBuffer& to) {
    struct {
        BOOLEAN replace;
        HANDLE root;
        ULONG length;
        WCHAR name[MAX_PATH + 8];
    } rename = {FALSE, nullptr, 0, {}};
    // The system's own form of the name: \??\C:\..., or \??\UNC\server\share\...
    const bool unc = to.c_str()[0] == '\\' && to.c_str()[1] == '\\';
    const wchar_t* prefix = unc ? L"\\??\\UNC" : L"\\??\\";
    const int prefix_length = unc ? 7 : 4;
    for (int i = 0; i < prefix_length; ++i) rename.name[i] = prefix[i];
    const int length =
        MultiByteToWideChar(CP_ACP, 0, to.c_str() + (unc ? 1 : 0), -1, rename.name + prefix_length,
                            MAX_PATH + 8 - prefix_length);
    if (length == 0)
        return LastErrorStatus();
    rename.length = static_cast<ULONG>((prefix_length + length - 1) * sizeof(WCHAR));
    return MakeWithFolders(to, [&] {
        return SetFileInformation(file, &rename, sizeof rename, kFileRenameInformation);
    });
}

Status DeleteWhenClosed(HANDLE file) {
    BOOLEAN remove = TRUE;
    return SetFileInformation(file, &remove, sizeof remove, kFileDispositionInformation);
}

Status LinkOnVolume(const TextBuffer& existing, const TextBuffer& link) {
    return MakeWithFolders(
        link, [&] { return CallStatus(CreateHardLinkA(link.c_str(), existing.c_str(), nullptr)); });
}

Status CopyToDisk(const TextBuffer& from, const TextBuffer& to) {
    FileState state;
    if (!ReadState(from.c_str(), &state))
        return LastErrorStatus();
    if (IsFolderState(state)) {
        const Status made =
            MakeWithFolders(to, [&] { return CallStatus(CreateDirectoryA(to.c_str(), nullptr)); });
        if (!made)
            return made;
        Status copied = Status::Done();
        const bool listed =
            ForEachEntry(from, [&](const TextBuffer& path, const WIN32_FIND_DATAA& entry) {
                // A link to a folder is not followed: its target is not the tree's.
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                    return true;
                copied = CopyToDisk(path, JoinPath(to, entry.cFileName));
                return static_cast<bool>(copied);
            });
        return !listed && copied ? LastErrorStatus() : copied;
    }
    const Status copied =
        MakeWithFolders(to, [&] { return CallStatus(CopyFileA(from.c_str(), to.c_str(), FALSE)); });
    if (!copied)
        return copied;
    SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_NORMAL);
    return WriteThrough(to);
}

Status CopyInto(const TextBuffer& from, const TextBuffer& to) {
    SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_NORMAL);
    const Status copied = CallStatus(CopyFileA(from.c_str(), to.c_str(), FALSE));
    return copied ? WriteThrough(to) : copied;
}

Status RemoveTree(const TextBuffer& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Status::Done();
    // A link to a file is left alone: deleting it may reach what it points to.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Status::Failed(ERROR_REPARSE_ATTRIBUTE_CONFLICT);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return CallStatus(DeleteFileA(path.c_str()));
    // An entry that stays tells why the folder does: held by another program, for one.
    Status entries = Status::Done();
    if (IsEnterable(attributes)) {
        ForEachEntry(path, [&](const TextBuffer& entry, const WIN32_FIND_DATAA&) {
            const Status removed = RemoveTree(entry);
            if (!removed && entries)
                entries = removed;
            return true;
        });
    }
    const Status removed = CallStatus(RemoveDirectoryA(path.c_str()));
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return Status::Done();
    return entries ? removed : entries;
}

Status MoveBack(const TextBuffer& moved, const TextBuffer& original) {
    const DWORD attributes = GetFileAttributesA(moved.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Status::Done();
    // One file under two spellings: only the spelling goes back.
    if (IsSameFile(moved, original))
        return CallStatus(MoveFileA(moved.c_str(), original.c_str()));
    WIN32_FILE_ATTRIBUTE_DATA at_original, at_moved;
    const bool original_exists =
        GetFileAttributesExA(original.c_str(), GetFileExInfoStandard, &at_original) != FALSE;
    if (!IsEnterable(attributes)) {
        if (!original_exists)
            return MakeWithFolders(original, [&] {
                return CallStatus(
                    MoveFileExA(moved.c_str(), original.c_str(), MOVEFILE_COPY_ALLOWED));
            });
        // A copy that a move between volumes left behind, whole or cut short,
        // goes; anything else at both places stays where it is.
        GetFileAttributesExA(moved.c_str(), GetFileExInfoStandard, &at_moved);
        const uint64_t kept = SizeOf(at_original), left = SizeOf(at_moved);
        const bool leftover =
            left < kept || (left == kept && CompareFileTime(&at_moved.ftLastWriteTime,
                                                            &at_original.ftLastWriteTime) == 0);
        return leftover ? RemoveTree(moved) : Status::Failed(ERROR_FILE_EXISTS);
    }
    // A whole folder moves back at once where the volume allows it.
    if (!original_exists && RenameOnVolume(moved, original))
        return Status::Done();
    CreateDirectoryA(original.c_str(), nullptr);
    Status back = Status::Done();
    ForEachEntry(moved, [&](const TextBuffer& entry, const WIN32_FIND_DATAA& found) {
        const Status one = MoveBack(entry, JoinPath(original, found.cFileName));
        if (!one && back)
            back = one;
        return true;
    });
    RemoveDirectoryA(moved.c_str());
    return back;
}

bool CanDelete(const char* path, uint32_t attributes) {
    // Writing is refused to a running program, deleting is not; a read-only
    // file is cleared before it is deleted.
    return CanOpen(path, (attributes & FILE_ATTRIBUTE_READONLY) ? DELETE : GENERIC_WRITE);
}

bool CanDeleteTree(const TextBuffer& folder) {
    return ForEachEntry(folder, [](const TextBuffer& path, const WIN32_FIND_DATAA& entry) {
        if (IsEnterable(entry.dwFileAttributes))
            return CanDeleteTree(path);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            return true;  // a link to a folder: removing it leaves its target alone
        return CanDelete(path.c_str(), entry.dwFileAttributes);
    });
}

bool IsEmptyFolder(const char* path) {
    return ForEachEntry(path, [](const TextBuffer&, const WIN32_FIND_DATAA&) { return false; });
}

TextBuffer VolumeRootOf(const TextBuffer& path) {
    char root[MAX_PATH + 1] = {};
    if (GetVolumePathNameA(path.c_str(), root, MAX_PATH))
        return TextBuffer(root);
    // The drive, or the share of a UNC name.
    const bool unc = path.c_str()[0] == '\\' && path.c_str()[1] == '\\';
    return path.Items(0, unc ? 3 : 0, "\\") + "\\";
}

// The rules of the tree copy, the folder listing and the removal of a tree,
// the same on every platform: what is copied, what is left out and why, how
// links are treated, which failures end a copy and which path they name.
// The platform files give only the calls these stand on.
#include <algorithm>
#include <cerrno>
#include <fstream>

#include "fs/FileSystem.h"
#include "fs/FileSystemPlatform.h"

namespace tagshift::fs {

using namespace detail;

const char* detail::WhyNotAFile(EntryType type) {
    switch (type) {
        case EntryType::Pipe:
            return "a named pipe, not a file";
        case EntryType::Socket:
            return "a socket, not a file";
        case EntryType::Device:
            return "a device, not a file";
        default:
            return "not a file";
    }
}

namespace {

// A folder's entries in ascending byte order of their names, so that the
// copy and its log come out the same on every run and every platform.
FsError SortedEntries(const std::string& folder, std::vector<FolderEntry>& entries) {
    entries.clear();
    if (FsError fault = Injected(FsOp::ListFolder, folder); fault.Failed()) return fault;
    if (FsError fail = ReadFolder(folder, entries); fail.Failed()) return fail;
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return {};
}

// Reads every byte of the file at path, keeping none: what a copy would
// read, without the copy.
FsError ReadThrough(const std::string& path) {
    if (FsError fault = Injected(FsOp::CopyFile, path); fault.Failed()) return fault;
    errno = 0;
    std::ifstream file(PathOf(path), std::ios::binary);
    if (!file) return ErrnoError(path, errno ? errno : EACCES);
    std::vector<char> buffer(64 * 1024);
    while (file.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || file.gcount() > 0) {
    }
    if (file.bad()) return ErrnoError(path, errno ? errno : EIO);
    return {};
}

struct TreeCopy {
    FolderFacts dest;  // the copy itself, never copied into itself
    bool readOnly;     // a walk that reads what the copy would and writes nothing
    const std::function<bool(const std::string&)>& skip;
    const std::function<bool()>& afterFolder;
    const UnreadableEntry& unreadable;
    const LeftOutCall& leftOut;

    // True when the copy names fail to unreadable and goes on: the entry
    // childFrom of the source could not be read, for a reason of its own
    // (a lack of open files or memory says nothing about the entry).
    bool PassOver(const FsError& fail, const std::string& childFrom, bool isFolder) const {
        if (!unreadable || fail.path != childFrom || fail.cause == FsCause::Resources) return false;
        unreadable(fail, isFolder);
        return true;
    }

    FsError CopyFolder(const std::string& from, const std::string& to) const {
        std::vector<FolderEntry> entries;
        if (FsError fail = SortedEntries(from, entries); fail.Failed()) return fail;
        for (FolderEntry& entry : entries) {
            const std::string childFrom = JoinPath(from, entry.name);
            const std::string childTo = JoinPath(to, entry.name);
            if (entry.type == EntryType::Unknown) {
                if (FsError fail = TypeOf(childFrom, entry.type); fail.Failed()) {
                    if (PassOver(fail, childFrom, false)) continue;
                    return fail;
                }
            }
            if (FsError fail = CopyEntry(entry, childFrom, childTo); fail.Failed()) return fail;
        }
        if (afterFolder && !afterFolder()) return FsError{to, kStopped};
        return {};
    }

    FsError CopyEntry(const FolderEntry& entry, const std::string& childFrom, const std::string& childTo) const {
        switch (entry.type) {
            case EntryType::File: {
                if (skip && skip(entry.name)) return {};
                FsError fail = readOnly ? ReadThrough(childFrom) : CopyFile(childFrom, childTo);
                if (fail.Failed() && PassOver(fail, childFrom, false)) return {};
                return fail;
            }
            case EntryType::Link: {
                if (readOnly) return {};  // a link is copied as it stands, never followed
                FsError fail = CopyLink(childFrom, childTo);
                if (fail.Failed() && PassOver(fail, childFrom, false)) return {};
                return fail;
            }
            case EntryType::Folder:
                return CopySubfolder(childFrom, childTo);
            default:
                // Opening a pipe waits for a writer, a device may be anything:
                // neither is part of a site, and both are named.
                if (leftOut) leftOut(childFrom, WhyNotAFile(entry.type));
                return {};
        }
    }

    FsError CopySubfolder(const std::string& childFrom, const std::string& childTo) const {
        FolderFacts facts;
        if (FsError fail = FolderFactsOf(childFrom, facts); fail.Failed()) {
            if (PassOver(fail, childFrom, true)) return {};
            return fail;
        }
        if (!readOnly && facts.SameAs(dest)) return {};
        if (!readOnly)
            if (FsError made = MakeOwnFolder(childTo); made.Failed()) return made;
        if (FsError fail = CopyFolder(childFrom, childTo); fail.Failed()) {
            // A folder that cannot be listed is left out whole, once: what
            // lies below it was never reached.
            if (fail.reason == kStopped || !PassOver(fail, childFrom, true)) return fail;
            if (!readOnly) RemoveTree(childTo);
            return {};
        }
        if (!readOnly) SetFolderBits(childTo, facts);
        return {};
    }
};

}  // namespace

FsError CopyFile(const std::string& from, const std::string& to) {
    if (FsError fault = Injected(FsOp::CopyFile, from); fault.Failed()) return fault;
    if (FsError fault = Injected(FsOp::CopyFile, to); fault.Failed()) return fault;
    return CopyFileData(from, to);
}

FsError CopyTreeInto(const std::string& source, const std::string& dest,
                     const std::function<bool(const std::string& name)>& skip,
                     const std::function<bool()>& afterFolder, const UnreadableEntry& unreadable,
                     const LeftOutCall& leftOut) {
    FolderFacts sourceFacts, destFacts;
    if (FsError fail = FolderFactsOf(source, sourceFacts); fail.Failed()) return fail;
    if (!sourceFacts.isFolder) return ErrnoError(source, ENOTDIR);
    if (FsError fail = FolderFactsOf(dest, destFacts); fail.Failed()) return fail;
    if (!destFacts.isFolder) return ErrnoError(dest, ENOTDIR);
    const TreeCopy copy{destFacts, false, skip, afterFolder, unreadable, leftOut};
    if (FsError fail = copy.CopyFolder(source, dest); fail.Failed()) return fail;
    SetFolderBits(dest, sourceFacts);
    return {};
}

FsError ReadTree(const std::string& source, const std::function<bool(const std::string& name)>& skip,
                 const std::function<bool()>& afterFolder, const UnreadableEntry& unreadable,
                 const LeftOutCall& leftOut) {
    FolderFacts sourceFacts;
    if (FsError fail = FolderFactsOf(source, sourceFacts); fail.Failed()) return fail;
    if (!sourceFacts.isFolder) return ErrnoError(source, ENOTDIR);
    const TreeCopy walk{FolderFacts{}, true, skip, afterFolder, unreadable, leftOut};
    return walk.CopyFolder(source, std::string());
}

FsError CheckAppendable(const std::string& path) {
    if (FsError fault = Injected(FsOp::Append, path); fault.Failed()) return fault;
    EntryType type = EntryType::Unknown;
    if (TypeOf(path, type).Failed()) return {};  // missing: it would be made
    switch (type) {
        case EntryType::File: return {};
        case EntryType::Link: return FsError{path, "is a symbolic link; it is not written through"};
        case EntryType::Folder: return ErrnoError(path, EISDIR);
        default: return FsError{path, "is not a regular file"};
    }
}

FsError ListFolder(const std::string& path, FolderListing& listing) {
    listing = FolderListing{};
    std::vector<FolderEntry> entries;
    if (FsError fail = SortedEntries(path, entries); fail.Failed()) return fail;
    for (FolderEntry& entry : entries) {
        if (entry.type == EntryType::Unknown && TypeOf(JoinPath(path, entry.name), entry.type).Failed()) continue;
        switch (entry.type) {
            case EntryType::File:
                listing.files.push_back(std::move(entry.name));
                break;
            case EntryType::Folder:
                listing.folders.push_back(std::move(entry.name));
                break;
            case EntryType::Link:
            case EntryType::Unknown:
                break;
            default:
                listing.leftOut.push_back(LeftOutEntry{std::move(entry.name), WhyNotAFile(entry.type)});
                break;
        }
    }
    return {};
}

// The names are read and the folder closed before any subfolder is opened:
// one folder open at a time, at any depth, so that a run that failed for
// want of open files can still take its tree away.
void RemoveTree(const std::string& path) {
    EntryType type = EntryType::Unknown;
    if (TypeOf(path, type).Failed()) return;
    if (type != EntryType::Folder) return RemoveEntry(path);
    OpenToOwner(path);
    std::vector<FolderEntry> entries;
    (void)ReadFolder(path, entries);
    for (const FolderEntry& entry : entries) RemoveTree(JoinPath(path, entry.name));
    RemoveEmptyFolder(path);
}

}  // namespace tagshift::fs

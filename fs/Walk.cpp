// The rules of the tree copy, the folder listing and the removal of a tree,
// the same on every platform: what is copied, what is left out and why, how
// links are treated, which failures end a copy and which path they name.
// The platform files give only the calls these stand on.
#include <algorithm>
#include <cerrno>
#include <fstream>

#include "fs/FileSystem.h"
#include "fs/FileSystemPlatform.h"
#include "fs/Workers.h"

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
    // The files are copied on workers; everything the copy tells or does
    // after them (unreadable entries, entries left out, a folder's bits)
    // happens in the walk's order, as the results come back in it.
    InOrder& order;
    mutable FsError fatal;  // the first failure, in the walk's order, that ends the copy

    // Whether the copy passes over fail, naming it to unreadable, and goes
    // on: the entry childFrom of the source could not be read, for a reason
    // of its own (a lack of open files or memory says nothing about the entry).
    bool Passable(const FsError& fail, const std::string& childFrom) const {
        return unreadable && fail.path == childFrom && fail.cause != FsCause::Resources;
    }
    void Then(std::function<void()> step) const {
        order.Add(nullptr, [this, step = std::move(step)] {
            if (!fatal.Failed()) step();
        });
    }
    void TellUnreadable(const FsError& fail, bool isFolder) const {
        Then([this, fail, isFolder] { unreadable(fail, isFolder); });
    }
    // A failure met by the walk itself ends the copy, unless one that comes
    // before it in the walk's order ended it already.
    FsError Ends(const FsError& fail) const {
        order.FinishAll();
        return fatal.Failed() ? fatal : fail;
    }
    // A file's copy (or read, or link) on a worker; its failure is told, or
    // ends the copy, in order.
    void CopyOnWorker(std::function<FsError()> copyIt, const std::string& childFrom) const {
        auto result = std::make_shared<FsError>();
        order.Add([result, copyIt = std::move(copyIt)] { *result = copyIt(); },
                  [this, result, childFrom] {
                      if (!result->Failed() || fatal.Failed()) return;
                      if (Passable(*result, childFrom)) unreadable(*result, false);
                      else fatal = *result;
                  });
    }

    FsError CopyFolder(const std::string& from, const std::string& to) const {
        std::vector<FolderEntry> entries;
        if (FsError fail = SortedEntries(from, entries); fail.Failed()) return fail;
        for (FolderEntry& entry : entries) {
            const std::string childFrom = JoinPath(from, entry.name);
            const std::string childTo = JoinPath(to, entry.name);
            if (entry.type == EntryType::Unknown) {
                if (FsError fail = TypeOf(childFrom, entry.type); fail.Failed()) {
                    if (!Passable(fail, childFrom)) return Ends(fail);
                    TellUnreadable(fail, false);
                    continue;
                }
            }
            if (FsError fail = CopyEntry(entry, childFrom, childTo); fail.Failed()) return fail;
            if (fatal.Failed()) return fatal;
        }
        if (afterFolder && !afterFolder()) return FsError{to, kStopped};
        return {};
    }

    FsError CopyEntry(const FolderEntry& entry, const std::string& childFrom, const std::string& childTo) const {
        switch (entry.type) {
            case EntryType::File: {
                if (skip && skip(entry.name)) return {};
                if (readOnly) CopyOnWorker([childFrom] { return ReadThrough(childFrom); }, childFrom);
                else CopyOnWorker([childFrom, childTo] { return CopyFile(childFrom, childTo); }, childFrom);
                return {};
            }
            case EntryType::Link: {
                if (readOnly) return {};  // a link is copied as it stands, never followed
                CopyOnWorker([childFrom, childTo] { return CopyLink(childFrom, childTo); }, childFrom);
                return {};
            }
            case EntryType::Folder:
                return CopySubfolder(childFrom, childTo);
            default:
                // Opening a pipe waits for a writer, a device may be anything:
                // neither is part of a site, and both are named.
                if (leftOut) Then([this, childFrom, why = WhyNotAFile(entry.type)] { leftOut(childFrom, why); });
                return {};
        }
    }

    FsError CopySubfolder(const std::string& childFrom, const std::string& childTo) const {
        FolderFacts facts;
        if (FsError fail = FolderFactsOf(childFrom, facts); fail.Failed()) {
            if (!Passable(fail, childFrom)) return Ends(fail);
            TellUnreadable(fail, true);
            return {};
        }
        if (!readOnly && facts.SameAs(dest)) return {};
        if (!readOnly)
            if (FsError made = MakeOwnFolder(childTo); made.Failed()) return Ends(made);
        if (FsError fail = CopyFolder(childFrom, childTo); fail.Failed()) {
            // A folder that cannot be listed is left out whole, once: what
            // lies below it was never reached.
            if (fail.reason == kStopped || fatal.Failed()) return fail;
            if (!Passable(fail, childFrom)) return Ends(fail);
            TellUnreadable(fail, true);
            if (!readOnly) Then([childTo] { RemoveTree(childTo); });
            return {};
        }
        // The folder's own bits once everything in it is written: a
        // read-only folder takes no file.
        if (!readOnly) Then([childTo, facts] { SetFolderBits(childTo, facts); });
        return {};
    }
};

// Copies (or with readOnly, reads) the tree below source into dest on
// workers, and takes every result back in the walk's order.
FsError CopyInOrder(const std::string& source, const std::string& dest, const FolderFacts& destFacts, bool readOnly,
                    const std::function<bool(const std::string& name)>& skip, const std::function<bool()>& afterFolder,
                    const UnreadableEntry& unreadable, const LeftOutCall& leftOut, Workers* workers) {
    // A few files ahead of the walk for each worker keep them busy; more
    // would only hold memory.
    InOrder order(workers, workers ? 64 * static_cast<std::size_t>(workers->Count()) : 1, true);
    const TreeCopy copy{destFacts, readOnly, skip, afterFolder, unreadable, leftOut, order, {}};
    FsError fail = copy.CopyFolder(source, dest);
    if (!fail.Failed()) fail = copy.Ends({});
    return fail;  // a stopped or failed copy abandons what is still running
}

}  // namespace

FsError CopyFile(const std::string& from, const std::string& to) {
    if (FsError fault = Injected(FsOp::CopyFile, from); fault.Failed()) return fault;
    if (FsError fault = Injected(FsOp::CopyFile, to); fault.Failed()) return fault;
    return CopyFileData(from, to);
}

FsError CopyTreeInto(const std::string& source, const std::string& dest,
                     const std::function<bool(const std::string& name)>& skip,
                     const std::function<bool()>& afterFolder, const UnreadableEntry& unreadable,
                     const LeftOutCall& leftOut, Workers* workers) {
    FolderFacts sourceFacts, destFacts;
    if (FsError fail = FolderFactsOf(source, sourceFacts); fail.Failed()) return fail;
    if (!sourceFacts.isFolder) return ErrnoError(source, ENOTDIR);
    if (FsError fail = FolderFactsOf(dest, destFacts); fail.Failed()) return fail;
    if (!destFacts.isFolder) return ErrnoError(dest, ENOTDIR);
    if (FsError fail = CopyInOrder(source, dest, destFacts, false, skip, afterFolder, unreadable, leftOut, workers);
        fail.Failed())
        return fail;
    SetFolderBits(dest, sourceFacts);
    return {};
}

FsError ReadTree(const std::string& source, const std::function<bool(const std::string& name)>& skip,
                 const std::function<bool()>& afterFolder, const UnreadableEntry& unreadable,
                 const LeftOutCall& leftOut, Workers* workers) {
    FolderFacts sourceFacts;
    if (FsError fail = FolderFactsOf(source, sourceFacts); fail.Failed()) return fail;
    if (!sourceFacts.isFolder) return ErrnoError(source, ENOTDIR);
    return CopyInOrder(source, std::string(), FolderFacts{}, true, skip, afterFolder, unreadable, leftOut, workers);
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

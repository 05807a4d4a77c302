// The existence tests and the file operations the conversion relies on.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "TestSupport.h"
#include "fs/FileSystem.h"

namespace tagshift {
namespace {

using test::Exists;
using test::ReadFile;
using test::Snapshot;
using test::TempDir;
using test::WriteFile;
namespace stdfs = std::filesystem;

stdfs::perms Mode(const std::string& path) {
    return stdfs::status(stdfs::u8path(path)).permissions() & stdfs::perms::mask;
}

void SetMode(const std::string& path, unsigned mode) {
    stdfs::permissions(stdfs::u8path(path), stdfs::perms(mode));
}

TEST(ExistenceTests, FoldersFilesAndNothing) {
    TempDir dir;
    WriteFile(dir / "site/page.html", "x");
    WriteFile(dir / "site/.hidden.js", "x");
    test::MakeHidden(dir / "site/.hidden.js");
    WriteFile(dir / "site/a.js", "x");
    stdfs::create_directory(dir / "site/folder.js");

    EXPECT_TRUE(fs::DirExists(dir / "site"));
    EXPECT_TRUE(fs::DirExists(stdfs::u8path(dir.Path()).root_path().u8string()));  // "/" or "C:\"
    EXPECT_FALSE(fs::DirExists(dir / "site/page.html"));
    EXPECT_FALSE(fs::DirExists(dir / "missing"));
    EXPECT_FALSE(fs::DirExists(""));
    EXPECT_FALSE(fs::DirExists(std::string("bad\0path", 8)));

    EXPECT_TRUE(fs::FileExists(dir / "site/page.html"));
    EXPECT_FALSE(fs::FileExists(dir / "site"));
    EXPECT_FALSE(fs::FileExists(dir / "site/folder.js"));
    EXPECT_FALSE(fs::FileExists(dir / "site/.hidden.js"));
    EXPECT_FALSE(fs::FileExists(dir / "site/missing.html"));
    EXPECT_FALSE(fs::FileExists(dir / "missing/page.html"));
    EXPECT_FALSE(fs::FileExists(""));
}

TEST(ExistenceTests, ALinkToAFolderIsAFolder) {
    if (!test::LinksAndModes()) GTEST_SKIP() << test::kNoLinksAndModes;
    TempDir dir;
    stdfs::create_directory(dir / "site");
    stdfs::create_symlink(dir / "site", dir / "link-to-folder");
    EXPECT_TRUE(fs::DirExists(dir / "link-to-folder"));
}

TEST(ExistenceTests, WildcardsInTheLastComponent) {
    TempDir dir;
    WriteFile(dir / "a/x.js", "x");
    WriteFile(dir / "b/.hidden.js", "x");
    test::MakeHidden(dir / "b/.hidden.js");
    stdfs::create_directory(dir / "b/dir.js");
    EXPECT_TRUE(fs::FileExists(dir / "a/*.js"));
    EXPECT_TRUE(fs::FileExists(dir / "a/?.js"));
    EXPECT_FALSE(fs::FileExists(dir / "a/*.css"));
    EXPECT_FALSE(fs::FileExists(dir / "b/*.js"));  // only a hidden file and a folder
}

TEST(FileOperations, AtomicWriteReplacesContentAndKeepsTimesWithTheirFractions) {
    TempDir dir;
    WriteFile(dir / "page.html", "old content that is longer");
    ASSERT_FALSE(fs::WriteFileAtomic(dir / "page.html", "new").Failed());
    EXPECT_EQ(ReadFile(dir / "page.html"), "new");

    // A new file takes the given times, to the 100 ns that every platform keeps.
    fs::FileInfo like;
    like.modified = fs::FileTime{1000000000, 123456700};
    like.accessed = fs::FileTime{1000000001, 500};
    ASSERT_FALSE(fs::WriteFileAtomic(dir / "new.html", "fresh", &like, true).Failed());
    EXPECT_EQ(ReadFile(dir / "new.html"), "fresh");
    fs::FileInfo readError;
    std::string data;
    ASSERT_FALSE(fs::ReadWholeFile(dir / "new.html", data, &readError).Failed());
    EXPECT_EQ(readError.modified.seconds, 1000000000);
    EXPECT_EQ(readError.modified.nanoseconds, 123456700);

    // A read-only file is replaced, and the replacement keeps it read-only.
    WriteFile(dir / "locked.html", "old");
    SetMode(dir / "locked.html", 0444);
    ASSERT_FALSE(fs::WriteFileAtomic(dir / "locked.html", "new").Failed());
    EXPECT_EQ(ReadFile(dir / "locked.html"), "new");
    EXPECT_EQ(Mode(dir / "locked.html") & stdfs::perms::owner_write, stdfs::perms::none);
    SetMode(dir / "locked.html", 0644);

    // A folder in the way stays; no temporary file is left behind, also
    // after a failure.
    stdfs::create_directory(dir / "folder.html");
    EXPECT_TRUE(fs::WriteFileAtomic(dir / "folder.html", "x", &like).Failed());
    EXPECT_TRUE(stdfs::is_directory(dir / "folder.html"));
    EXPECT_TRUE(fs::WriteFileAtomic(dir / "missing/page.html", "x").Failed());
    EXPECT_EQ(Snapshot(dir.Path()).size(), 4u);
}

TEST(FileOperations, AtomicWriteKeepsModeAndNeverFollowsLinks) {
    if (!test::LinksAndModes()) GTEST_SKIP() << test::kNoLinksAndModes;
    TempDir dir;
    WriteFile(dir / "page.html", "old content that is longer");
    SetMode(dir / "page.html", 0640);
    ASSERT_FALSE(fs::WriteFileAtomic(dir / "page.html", "new").Failed());
    EXPECT_EQ(Mode(dir / "page.html"), stdfs::perms(0640));

    // A link in the tree is replaced by the file; its target is untouched.
    WriteFile(dir / "outside.txt", "keep");
    stdfs::create_symlink(dir / "outside.txt", dir / "log.txt");
    ASSERT_FALSE(fs::WriteFileAtomic(dir / "log.txt", "log").Failed());
    EXPECT_FALSE(stdfs::is_symlink(dir / "log.txt"));
    EXPECT_EQ(ReadFile(dir / "log.txt"), "log");
    EXPECT_EQ(ReadFile(dir / "outside.txt"), "keep");

    // A new file, and a replaced one, take the given mode.
    fs::FileInfo like;
    like.mode = 0604;
    ASSERT_FALSE(fs::WriteFileAtomic(dir / "new.html", "fresh", &like, true).Failed());
    ASSERT_FALSE(fs::WriteFileAtomic(dir / "page.html", "newer", &like).Failed());
    EXPECT_EQ(Mode(dir / "new.html"), stdfs::perms(0604));
    EXPECT_EQ(Mode(dir / "page.html"), stdfs::perms(0604));
}

TEST(FileOperations, AppendCreatesAppendsAndUndoes) {
    TempDir dir;
    fs::AppendMark mark;
    ASSERT_FALSE(fs::AppendToFile(dir / "object.js", "one", mark).Failed());
    EXPECT_FALSE(mark.existed);
    ASSERT_FALSE(fs::AppendToFile(dir / "object.js", "two", mark).Failed());
    EXPECT_EQ(ReadFile(dir / "object.js"), "onetwo");
    EXPECT_TRUE(mark.existed);
    EXPECT_EQ(mark.size, 3u);
    test::UndoAppend(dir / "object.js", mark);
    EXPECT_EQ(ReadFile(dir / "object.js"), "one");
    test::UndoAppend(dir / "object.js", fs::AppendMark{});
    EXPECT_FALSE(Exists(dir / "object.js"));

    stdfs::create_directory(dir / "dir.js");
    EXPECT_TRUE(fs::AppendToFile(dir / "dir.js", "x", mark).Failed());
}

TEST(FileOperations, AppendRefusesLinks) {
    if (!test::LinksAndModes()) GTEST_SKIP() << test::kNoLinksAndModes;
    TempDir dir;
    fs::AppendMark mark;
    WriteFile(dir / "outside.js", "keep");
    stdfs::create_symlink(dir / "outside.js", dir / "embed.js");
    fs::FsError error = fs::AppendToFile(dir / "embed.js", "x", mark);
    EXPECT_TRUE(error.Failed());
    EXPECT_EQ(error.path, dir / "embed.js");
    EXPECT_EQ(ReadFile(dir / "outside.js"), "keep");
}

TEST(FileOperations, ReadWholeFileReadsEveryByte) {
    TempDir dir;
    std::string data(3 << 20, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    WriteFile(dir / "big.html", data);
    std::string readText;
    ASSERT_FALSE(fs::ReadWholeFile(dir / "big.html", readText).Failed());
    EXPECT_EQ(readText, data);
    WriteFile(dir / "empty.html", "");
    ASSERT_FALSE(fs::ReadWholeFile(dir / "empty.html", readText).Failed());
    EXPECT_EQ(readText, "");
    EXPECT_TRUE(fs::ReadWholeFile(dir / "missing.html", readText).Failed());
}

TEST(FolderListing, FilesAndFoldersInByteOrderWithoutLinks) {
    TempDir dir;
    // No two names differ only in case: Windows would take them for one.
    for (const char* name : {"b.html", "C.html", "a.html", "\xc3\xa9.html", "_.html"}) WriteFile(dir / name, "");
    for (const char* name : {"z", "A", "m"}) stdfs::create_directory(stdfs::u8path(dir / name));
    if (test::LinksAndModes()) {
        stdfs::create_symlink(dir / "a.html", dir / "link.html");
        stdfs::create_directory_symlink(dir / "z", dir / "linkdir");
    }
    fs::FolderListing listing;
    ASSERT_FALSE(fs::ListFolder(dir.Path(), listing).Failed());
    EXPECT_EQ(listing.files, (std::vector<std::string>{"C.html", "_.html", "a.html", "b.html", "\xc3\xa9.html"}));
    EXPECT_EQ(listing.folders, (std::vector<std::string>{"A", "m", "z"}));
    EXPECT_TRUE(fs::ListFolder(dir / "missing", listing).Failed());
}

TEST(TreeCopy, CopiesEverythingLinksAsLinks) {
    if (!test::LinksAndModes()) GTEST_SKIP() << test::kNoLinksAndModes;
    TempDir dir;
    WriteFile(dir / "src/index.html", "<object></object>");
    WriteFile(dir / "src/a/b/c/deep.htm", std::string(1 << 20, 'd'));
    stdfs::create_directories(dir / "src/empty/inner");
    stdfs::create_symlink("index.html", dir / "src/relative-link.html");
    stdfs::create_symlink("/etc", dir / "src/a/absolute-link");
    SetMode(dir / "src/index.html", 0444);
    SetMode(dir / "src/a", 0555);

    ASSERT_FALSE(test::CopyTree(dir / "src", dir / "dst").Failed());
    SetMode(dir / "src/a", 0755);
    EXPECT_EQ(Snapshot(dir / "src"), Snapshot(dir / "dst"));
    EXPECT_EQ(Mode(dir / "dst/index.html"), stdfs::perms(0444));
    EXPECT_EQ(Mode(dir / "dst/a"), stdfs::perms(0755));  // the copy's folders stay writable

    // The destination must not exist yet.
    EXPECT_TRUE(test::CopyTree(dir / "src", dir / "dst").Failed());
}

TEST(TreeCopy, CopiesFoldersFilesAndNamesOfAnyScript) {
    TempDir dir;
    const std::string name = "\xc3\xa9t\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac";  // UTF-8 on every platform
    WriteFile(dir / ("src/" + name + "/" + name + ".html"), "<object></object>");
    stdfs::create_directories(stdfs::u8path(dir / "src/empty/inner"));
    ASSERT_FALSE(test::CopyTree(dir / "src", dir / "dst").Failed());
    EXPECT_EQ(Snapshot(dir / "src"), Snapshot(dir / "dst"));
    EXPECT_TRUE(fs::FileExists(dir / ("dst/" + name + "/" + name + ".html")));
    EXPECT_TRUE(fs::DirExists(dir / ("dst/" + name)));
}

TEST(TreeCopy, PathsLongerThanTheOldWindowsLimit) {
    TempDir dir;
    std::string deep = "src";
    while (deep.size() < 320) deep += "/folder-with-a-long-name-" + std::to_string(deep.size());
    WriteFile(dir / (deep + "/page.html"), "<object></object>");
    ASSERT_FALSE(test::CopyTree(dir / "src", dir / "dst").Failed());
    const std::string copy = dir / ("dst" + deep.substr(3) + "/page.html");
    ASSERT_GT(copy.size(), 340u);
    std::string data;
    ASSERT_FALSE(fs::ReadWholeFile(copy, data).Failed());
    EXPECT_EQ(data, "<object></object>");
    EXPECT_FALSE(fs::WriteFileAtomic(copy, "converted").Failed());
    EXPECT_EQ(ReadFile(copy), "converted");
    EXPECT_TRUE(fs::FileExists(copy));
}

TEST(Paths, Join) {
    const std::string sep(1, fs::kSeparator);
    EXPECT_EQ(fs::JoinPath("a", "b"), "a" + sep + "b");
    EXPECT_EQ(fs::JoinPath("a" + sep, "b"), "a" + sep + "b");
    for (char c : fs::kSeparators) {
        EXPECT_EQ(fs::JoinPath(std::string("a") + c, "b"), std::string("a") + c + "b");
    }
}

TEST(Paths, Wildcards) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    };
    for (const Case& c : std::initializer_list<Case>{{"*.js", "a.js", true},     {"*.js", ".js", true},
                                                     {"*.js", "a.jsx", false},   {"?.js", "ab.js", false},
                                                     {"a*b*c", "aXbYbZc", true}, {"a*b*c", "aXbYc d", false},
                                                     {"*", "", true},            {"", "a", false},
                                                     {"A.js", "a.js", false},    {"*?", "", false}})
        EXPECT_EQ(fs::WildcardMatches(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
}

TEST(TreeCopy, NeverDescendsIntoItsOwnDestination) {
    TempDir dir;
    WriteFile(dir / "src/page.html", "p");
    WriteFile(dir / "src/sub/x.html", "x");
    ASSERT_FALSE(test::CopyTree(dir / "src", dir / "src/_Converted").Failed());
    EXPECT_EQ(ReadFile(dir / "src/_Converted/page.html"), "p");
    EXPECT_EQ(ReadFile(dir / "src/_Converted/sub/x.html"), "x");
    EXPECT_FALSE(Exists(dir / "src/_Converted/_Converted"));
}

TEST(FaultHook, EndsWithItsScope) {
    TempDir dir;
    WriteFile(dir / "page.html", "p");
    std::string data;
    {
        fs::ScopedFaultHook hook([](fs::FsOp, const std::string&) { return EIO; });
        EXPECT_EQ(fs::ReadWholeFile(dir / "page.html", data).reason, "Input/output error");
    }
    EXPECT_EQ(fs::ReadWholeFile(dir / "page.html", data).reason, "");
    EXPECT_EQ(data, "p");
}

// An injected errno value gives the system's text and kind, the same on
// every platform.
TEST(FaultHook, CodesGiveTheirTextAndKind) {
    TempDir dir;
    WriteFile(dir / "page.html", "p");
    struct Case {
        int code;
        const char* reason;
        fs::FsCause cause;
    };
    for (const Case& c : std::initializer_list<Case>{{EACCES, "Permission denied", fs::FsCause::Other},
                                                      {ENOSPC, "No space left on device", fs::FsCause::Storage},
                                                      {EIO, "Input/output error", fs::FsCause::Storage},
                                                      {EFBIG, "File too large", fs::FsCause::Storage},
                                                      {EMFILE, "Too many open files", fs::FsCause::Resources},
                                                      {ENOMEM, "Cannot allocate memory", fs::FsCause::Resources},
                                                      {ENAMETOOLONG, "File name too long", fs::FsCause::TooLong}}) {
        fs::ScopedFaultHook hook([&](fs::FsOp, const std::string&) { return c.code; });
        std::string data;
        const fs::FsError error = fs::ReadWholeFile(dir / "page.html", data);
        EXPECT_EQ(error.reason, c.reason) << c.code;
        EXPECT_EQ(error.cause, c.cause) << c.code;
    }
}

TEST(TreeCopy, AFailurePartWayRemovesThePartialCopyAndNamesThePath) {
    TempDir dir;
    WriteFile(dir / "src/a.html", "a");
    WriteFile(dir / "src/m/broken.gif", "b");
    WriteFile(dir / "src/z.html", "z");
    fs::ScopedFaultHook hook([](fs::FsOp op, const std::string& path) {
        return op == fs::FsOp::CopyFile && path.find("broken.gif") != std::string::npos ? EIO : 0;
    });
    fs::FsError error = test::CopyTree(dir / "src", dir / "dst");
    EXPECT_EQ(error.path, dir / "src/m/broken.gif");
    EXPECT_EQ(error.reason, "Input/output error");
    EXPECT_FALSE(Exists(dir / "dst"));
}

// With a callback, what the source will not give is named and left out; a
// failure to write the copy, or a lack of open files, still ends it.
TEST(TreeCopy, UnreadableEntriesAreLeftOutAndNamedWriteFailuresEndTheCopy) {
    struct Case {
        fs::FsOp op;
        std::string path;  // below the tree the hook answers for: "src/..." or "dst/..."
        int code;
        std::vector<std::string> leftOut;  // "F:" or "D:" and the path below src
        std::string end;                   // the path below the trees that ends the copy, if any
    };
    const std::vector<Case> cases = {
        {fs::FsOp::CopyFile, "src/m/broken.gif", EACCES, {"F:m/broken.gif"}, ""},
        {fs::FsOp::CopyFile, "src/m/broken.gif", EIO, {"F:m/broken.gif"}, ""},
        {fs::FsOp::ListFolder, "src/m", EACCES, {"D:m"}, ""},
        {fs::FsOp::CopyFile, "src/m/broken.gif", EMFILE, {}, "src/m/broken.gif"},
        {fs::FsOp::CopyFile, "dst/m/broken.gif", ENOSPC, {}, "dst/m/broken.gif"},
        {fs::FsOp::CopyFile, "dst/z.html", EACCES, {}, "dst/z.html"},
        {fs::FsOp::ListFolder, "src", EACCES, {}, "src"},
    };
    for (const Case& testCase : cases) {
        TempDir dir;
        WriteFile(dir / "src/a.html", "a");
        WriteFile(dir / "src/m/broken.gif", "b");
        WriteFile(dir / "src/m/n/c.gif", "c");
        WriteFile(dir / "src/z.html", "z");
        stdfs::create_directories(dir / "dst");
        fs::ScopedFaultHook hook([&](fs::FsOp op, const std::string& path) {
            return op == testCase.op && path == dir / testCase.path ? testCase.code : 0;
        });
        std::vector<std::string> leftOut;
        const fs::FsError error = fs::CopyTreeInto(dir / "src", dir / "dst", nullptr, nullptr,
                                                    [&](const fs::FsError& fail, bool isFolder) {
                                                        leftOut.push_back((isFolder ? "D:" : "F:") +
                                                                           fail.path.substr((dir / "src/").size()));
                                                    });
        std::vector<std::string> expected;
        for (const std::string& entry : testCase.leftOut) expected.push_back(test::Native(entry));
        EXPECT_EQ(leftOut, expected) << testCase.path << " " << testCase.code;
        if (!testCase.end.empty()) {
            EXPECT_EQ(error.path, dir / testCase.end) << testCase.path << " " << testCase.code;
            continue;
        }
        EXPECT_FALSE(error.Failed()) << testCase.path << " " << error.reason;
        auto copies = test::Snapshot(dir / "src");
        for (auto it = copies.begin(); it != copies.end();)
            it = it->first.rfind(test::Native(testCase.path.substr(4)), 0) == 0 ? copies.erase(it) : std::next(it);
        EXPECT_EQ(test::Snapshot(dir / "dst"), copies) << testCase.path << " " << testCase.code;
    }
}

TEST(Paths, LiesInside) {
    const std::string s = std::string(1, fs::kSeparator);
    const std::string root = fs::AbsoluteNormalPath(s);
    struct Case {
        std::string path;
        std::string folder;
        bool inside;
    };
    for (const Case& c : std::vector<Case>{{root + "a" + s + "b", root + "a", true},
                                           {root + "a", root + "a", false},
                                           {root + "ab", root + "a", false},
                                           {root + "a_Converted", root + "a", false},
                                           {root + "a", root, true},
                                           {root + "a", root + "a" + s + "b", false}})
        EXPECT_EQ(fs::LiesInside(c.path, c.folder), c.inside) << c.path << " in " << c.folder;
}

TEST(SourcePaths, AbsoluteAndNormalWithoutLookingAtTheDisk) {
    const std::string here = stdfs::current_path().u8string();
    const bool windows = fs::kSeparator == '\\';
    using Cases = std::vector<std::pair<std::string, std::string>>;
    const Cases cases = windows ? Cases{
        {"", ""},
        {"C:\\", "C:\\"},
        {"C:\\..", "C:\\"},
        {"C:\\a\\b\\", "C:\\a\\b"},
        {"C:/a//b/./c/..//", "C:\\a\\b"},
        {".", here},
        {"x/y/..", here + "\\x"},
    } : Cases{
        {"", ""},
        {"/", "/"},
        {"/..", "/"},
        {"/a/b/", "/a/b"},
        {"/a//b/./c/..//", "/a/b"},
        {"/a/b/../../..", "/"},
        {".", here},
        {"x/y/..", here + "/x"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(fs::AbsoluteNormalPath(in), out) << in;
    const std::vector<const char*> roots = windows ? std::vector<const char*>{"C:\\", "C:/", "C:\\.."}
                                                     : std::vector<const char*>{"/", "//"};
    for (const char* root : roots) EXPECT_TRUE(fs::IsRootPath(fs::AbsoluteNormalPath(root))) << root;
    for (const char* notText : {"", "/a", "/a/..", "C:\\a"}) EXPECT_FALSE(fs::IsRootPath(notText)) << notText;
}

TEST(RenameNoReplace, NeverReplacesAnyEntry) {
    const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> taken = {
        {"empty folder", [](const std::string& path) { stdfs::create_directory(path); }},
        {"file", [](const std::string& path) { WriteFile(path, "theirs"); }},
        {"dangling link", [](const std::string& path) { stdfs::create_symlink(path + "-nowhere", path); }},
    };
    for (const auto& [kind, take] : taken) {
        if (std::string(kind) == "dangling link" && !test::LinksAndModes()) continue;
        TempDir dir;
        WriteFile(dir / "new/page.html", "mine");
        take(dir / "dest");
        EXPECT_TRUE(fs::EntryExists(dir / "dest")) << kind;
        const auto before = Snapshot(dir.Path());
        bool existed = false;
        EXPECT_TRUE(fs::RenameNoReplace(dir / "new", dir / "dest", existed).Failed()) << kind;
        EXPECT_TRUE(existed) << kind;
        EXPECT_EQ(Snapshot(dir.Path()), before) << kind;
    }
    TempDir dir;
    WriteFile(dir / "new/page.html", "mine");
    EXPECT_FALSE(fs::EntryExists(dir / "dest"));
    bool existed = true;
    EXPECT_FALSE(fs::RenameNoReplace(dir / "new", dir / "dest", existed).Failed());
    EXPECT_FALSE(existed);
    EXPECT_EQ(ReadFile(dir / "dest/page.html"), "mine");
    EXPECT_FALSE(Exists(dir / "new"));
}

}  // namespace
}  // namespace tagshift

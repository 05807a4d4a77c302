// The existence tests and the file operations the conversion relies on.
#include <gtest/gtest.h>

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

stdfs::perms Mode(const std::string& sPath) {
    return stdfs::status(stdfs::u8path(sPath)).permissions() & stdfs::perms::mask;
}

void SetMode(const std::string& sPath, unsigned iMode) {
    stdfs::permissions(stdfs::u8path(sPath), stdfs::perms(iMode));
}

TEST(ExistenceTests, FoldersFilesAndNothing) {
    TempDir oDir;
    WriteFile(oDir / "site/page.html", "x");
    WriteFile(oDir / "site/.hidden.js", "x");
    test::MakeHidden(oDir / "site/.hidden.js");
    WriteFile(oDir / "site/a.js", "x");
    stdfs::create_directory(oDir / "site/folder.js");

    EXPECT_TRUE(fs::DirExists(oDir / "site"));
    EXPECT_TRUE(fs::DirExists(stdfs::u8path(oDir.Path()).root_path().u8string()));  // "/" or "C:\"
    EXPECT_FALSE(fs::DirExists(oDir / "site/page.html"));
    EXPECT_FALSE(fs::DirExists(oDir / "missing"));
    EXPECT_FALSE(fs::DirExists(""));
    EXPECT_FALSE(fs::DirExists(std::string("bad\0path", 8)));

    EXPECT_TRUE(fs::FileExists(oDir / "site/page.html"));
    EXPECT_FALSE(fs::FileExists(oDir / "site"));
    EXPECT_FALSE(fs::FileExists(oDir / "site/folder.js"));
    EXPECT_FALSE(fs::FileExists(oDir / "site/.hidden.js"));
    EXPECT_FALSE(fs::FileExists(oDir / "site/missing.html"));
    EXPECT_FALSE(fs::FileExists(oDir / "missing/page.html"));
    EXPECT_FALSE(fs::FileExists(""));
}

TEST(ExistenceTests, ALinkToAFolderIsAFolder) {
    if (!test::LinksAndModes()) GTEST_SKIP() << test::kNoLinksAndModes;
    TempDir oDir;
    stdfs::create_directory(oDir / "site");
    stdfs::create_symlink(oDir / "site", oDir / "link-to-folder");
    EXPECT_TRUE(fs::DirExists(oDir / "link-to-folder"));
}

TEST(ExistenceTests, WildcardsInTheLastComponent) {
    TempDir oDir;
    WriteFile(oDir / "a/x.js", "x");
    WriteFile(oDir / "b/.hidden.js", "x");
    test::MakeHidden(oDir / "b/.hidden.js");
    stdfs::create_directory(oDir / "b/dir.js");
    EXPECT_TRUE(fs::FileExists(oDir / "a/*.js"));
    EXPECT_TRUE(fs::FileExists(oDir / "a/?.js"));
    EXPECT_FALSE(fs::FileExists(oDir / "a/*.css"));
    EXPECT_FALSE(fs::FileExists(oDir / "b/*.js"));  // only a hidden file and a folder
}

TEST(FileOperations, AtomicWriteReplacesContentAndKeepsTimesWithTheirFractions) {
    TempDir oDir;
    WriteFile(oDir / "page.html", "old content that is longer");
    ASSERT_FALSE(fs::WriteFileAtomic(oDir / "page.html", "new").Failed());
    EXPECT_EQ(ReadFile(oDir / "page.html"), "new");

    // A new file takes the given times, to the 100 ns that every platform keeps.
    fs::FileInfo oLike;
    oLike.oModified = fs::FileTime{1000000000, 123456700};
    oLike.oAccessed = fs::FileTime{1000000001, 500};
    ASSERT_FALSE(fs::WriteFileAtomic(oDir / "new.html", "fresh", &oLike, true).Failed());
    EXPECT_EQ(ReadFile(oDir / "new.html"), "fresh");
    fs::FileInfo oRead;
    std::string sData;
    ASSERT_FALSE(fs::ReadWholeFile(oDir / "new.html", sData, &oRead).Failed());
    EXPECT_EQ(oRead.oModified.iSeconds, 1000000000);
    EXPECT_EQ(oRead.oModified.iNanoseconds, 123456700);

    // A read-only file is replaced, and the replacement keeps it read-only.
    WriteFile(oDir / "locked.html", "old");
    SetMode(oDir / "locked.html", 0444);
    ASSERT_FALSE(fs::WriteFileAtomic(oDir / "locked.html", "new").Failed());
    EXPECT_EQ(ReadFile(oDir / "locked.html"), "new");
    EXPECT_EQ(Mode(oDir / "locked.html") & stdfs::perms::owner_write, stdfs::perms::none);
    SetMode(oDir / "locked.html", 0644);

    // A folder in the way stays; no temporary file is left behind, also
    // after a failure.
    stdfs::create_directory(oDir / "folder.html");
    EXPECT_TRUE(fs::WriteFileAtomic(oDir / "folder.html", "x", &oLike).Failed());
    EXPECT_TRUE(stdfs::is_directory(oDir / "folder.html"));
    EXPECT_TRUE(fs::WriteFileAtomic(oDir / "missing/page.html", "x").Failed());
    EXPECT_EQ(Snapshot(oDir.Path()).size(), 4u);
}

TEST(FileOperations, AtomicWriteKeepsModeAndNeverFollowsLinks) {
    if (!test::LinksAndModes()) GTEST_SKIP() << test::kNoLinksAndModes;
    TempDir oDir;
    WriteFile(oDir / "page.html", "old content that is longer");
    SetMode(oDir / "page.html", 0640);
    ASSERT_FALSE(fs::WriteFileAtomic(oDir / "page.html", "new").Failed());
    EXPECT_EQ(Mode(oDir / "page.html"), stdfs::perms(0640));

    // A link in the tree is replaced by the file; its target is untouched.
    WriteFile(oDir / "outside.txt", "keep");
    stdfs::create_symlink(oDir / "outside.txt", oDir / "log.txt");
    ASSERT_FALSE(fs::WriteFileAtomic(oDir / "log.txt", "log").Failed());
    EXPECT_FALSE(stdfs::is_symlink(oDir / "log.txt"));
    EXPECT_EQ(ReadFile(oDir / "log.txt"), "log");
    EXPECT_EQ(ReadFile(oDir / "outside.txt"), "keep");

    // A new file, and a replaced one, take the given mode.
    fs::FileInfo oLike;
    oLike.iMode = 0604;
    ASSERT_FALSE(fs::WriteFileAtomic(oDir / "new.html", "fresh", &oLike, true).Failed());
    ASSERT_FALSE(fs::WriteFileAtomic(oDir / "page.html", "newer", &oLike).Failed());
    EXPECT_EQ(Mode(oDir / "new.html"), stdfs::perms(0604));
    EXPECT_EQ(Mode(oDir / "page.html"), stdfs::perms(0604));
}

TEST(FileOperations, AppendCreatesAppendsAndUndoes) {
    TempDir oDir;
    fs::AppendMark oMark;
    ASSERT_FALSE(fs::AppendToFile(oDir / "object.js", "one", oMark).Failed());
    EXPECT_FALSE(oMark.bExisted);
    ASSERT_FALSE(fs::AppendToFile(oDir / "object.js", "two", oMark).Failed());
    EXPECT_EQ(ReadFile(oDir / "object.js"), "onetwo");
    EXPECT_TRUE(oMark.bExisted);
    EXPECT_EQ(oMark.iSize, 3u);
    fs::UndoAppend(oDir / "object.js", oMark);
    EXPECT_EQ(ReadFile(oDir / "object.js"), "one");
    fs::UndoAppend(oDir / "object.js", fs::AppendMark{});
    EXPECT_FALSE(Exists(oDir / "object.js"));

    stdfs::create_directory(oDir / "dir.js");
    EXPECT_TRUE(fs::AppendToFile(oDir / "dir.js", "x", oMark).Failed());
}

TEST(FileOperations, AppendRefusesLinks) {
    if (!test::LinksAndModes()) GTEST_SKIP() << test::kNoLinksAndModes;
    TempDir oDir;
    fs::AppendMark oMark;
    WriteFile(oDir / "outside.js", "keep");
    stdfs::create_symlink(oDir / "outside.js", oDir / "embed.js");
    fs::FsError oError = fs::AppendToFile(oDir / "embed.js", "x", oMark);
    EXPECT_TRUE(oError.Failed());
    EXPECT_EQ(oError.sPath, oDir / "embed.js");
    EXPECT_EQ(ReadFile(oDir / "outside.js"), "keep");
}

TEST(FileOperations, ReadWholeFileReadsEveryByte) {
    TempDir oDir;
    std::string sData(3 << 20, '\0');
    for (std::size_t i = 0; i < sData.size(); ++i) sData[i] = static_cast<char>(i * 7);
    WriteFile(oDir / "big.html", sData);
    std::string sRead;
    ASSERT_FALSE(fs::ReadWholeFile(oDir / "big.html", sRead).Failed());
    EXPECT_EQ(sRead, sData);
    WriteFile(oDir / "empty.html", "");
    ASSERT_FALSE(fs::ReadWholeFile(oDir / "empty.html", sRead).Failed());
    EXPECT_EQ(sRead, "");
    EXPECT_TRUE(fs::ReadWholeFile(oDir / "missing.html", sRead).Failed());
}

TEST(FolderListing, FilesAndFoldersInByteOrderWithoutLinks) {
    TempDir oDir;
    // No two names differ only in case: Windows would take them for one.
    for (const char* sName : {"b.html", "C.html", "a.html", "\xc3\xa9.html", "_.html"}) WriteFile(oDir / sName, "");
    for (const char* sName : {"z", "A", "m"}) stdfs::create_directory(stdfs::u8path(oDir / sName));
    if (test::LinksAndModes()) {
        stdfs::create_symlink(oDir / "a.html", oDir / "link.html");
        stdfs::create_directory_symlink(oDir / "z", oDir / "linkdir");
    }
    fs::FolderListing oListing;
    ASSERT_FALSE(fs::ListFolder(oDir.Path(), oListing).Failed());
    EXPECT_EQ(oListing.aFiles, (std::vector<std::string>{"C.html", "_.html", "a.html", "b.html", "\xc3\xa9.html"}));
    EXPECT_EQ(oListing.aFolders, (std::vector<std::string>{"A", "m", "z"}));
    EXPECT_TRUE(fs::ListFolder(oDir / "missing", oListing).Failed());
}

TEST(TreeCopy, CopiesEverythingLinksAsLinks) {
    if (!test::LinksAndModes()) GTEST_SKIP() << test::kNoLinksAndModes;
    TempDir oDir;
    WriteFile(oDir / "src/index.html", "<object></object>");
    WriteFile(oDir / "src/a/b/c/deep.htm", std::string(1 << 20, 'd'));
    stdfs::create_directories(oDir / "src/empty/inner");
    stdfs::create_symlink("index.html", oDir / "src/relative-link.html");
    stdfs::create_symlink("/etc", oDir / "src/a/absolute-link");
    SetMode(oDir / "src/index.html", 0444);
    SetMode(oDir / "src/a", 0555);

    ASSERT_FALSE(fs::CopyTree(oDir / "src", oDir / "dst").Failed());
    SetMode(oDir / "src/a", 0755);
    EXPECT_EQ(Snapshot(oDir / "src"), Snapshot(oDir / "dst"));
    EXPECT_EQ(Mode(oDir / "dst/index.html"), stdfs::perms(0444));
    EXPECT_EQ(Mode(oDir / "dst/a"), stdfs::perms(0755));  // the copy's folders stay writable

    // The destination must not exist yet.
    EXPECT_TRUE(fs::CopyTree(oDir / "src", oDir / "dst").Failed());
}

TEST(TreeCopy, CopiesFoldersFilesAndNamesOfAnyScript) {
    TempDir oDir;
    const std::string sName = "\xc3\xa9t\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac";  // UTF-8 on every platform
    WriteFile(oDir / ("src/" + sName + "/" + sName + ".html"), "<object></object>");
    stdfs::create_directories(stdfs::u8path(oDir / "src/empty/inner"));
    ASSERT_FALSE(fs::CopyTree(oDir / "src", oDir / "dst").Failed());
    EXPECT_EQ(Snapshot(oDir / "src"), Snapshot(oDir / "dst"));
    EXPECT_TRUE(fs::FileExists(oDir / ("dst/" + sName + "/" + sName + ".html")));
    EXPECT_TRUE(fs::DirExists(oDir / ("dst/" + sName)));
}

TEST(TreeCopy, PathsLongerThanTheOldWindowsLimit) {
    TempDir oDir;
    std::string sDeep = "src";
    while (sDeep.size() < 320) sDeep += "/folder-with-a-long-name-" + std::to_string(sDeep.size());
    WriteFile(oDir / (sDeep + "/page.html"), "<object></object>");
    ASSERT_FALSE(fs::CopyTree(oDir / "src", oDir / "dst").Failed());
    const std::string sCopy = oDir / ("dst" + sDeep.substr(3) + "/page.html");
    ASSERT_GT(sCopy.size(), 340u);
    std::string sData;
    ASSERT_FALSE(fs::ReadWholeFile(sCopy, sData).Failed());
    EXPECT_EQ(sData, "<object></object>");
    EXPECT_FALSE(fs::WriteFileAtomic(sCopy, "converted").Failed());
    EXPECT_EQ(ReadFile(sCopy), "converted");
    EXPECT_TRUE(fs::FileExists(sCopy));
}

TEST(Paths, Join) {
    const std::string sSep(1, fs::kSeparator);
    EXPECT_EQ(fs::JoinPath("a", "b"), "a" + sSep + "b");
    EXPECT_EQ(fs::JoinPath("a" + sSep, "b"), "a" + sSep + "b");
    for (char c : fs::kSeparators) {
        EXPECT_EQ(fs::JoinPath(std::string("a") + c, "b"), std::string("a") + c + "b");
    }
}

TEST(Paths, Wildcards) {
    struct Case {
        const char* sPattern;
        const char* sName;
        bool bMatches;
    };
    for (const Case& c : std::initializer_list<Case>{{"*.js", "a.js", true},     {"*.js", ".js", true},
                                                     {"*.js", "a.jsx", false},   {"?.js", "ab.js", false},
                                                     {"a*b*c", "aXbYbZc", true}, {"a*b*c", "aXbYc d", false},
                                                     {"*", "", true},            {"", "a", false},
                                                     {"A.js", "a.js", false},    {"*?", "", false}})
        EXPECT_EQ(fs::WildcardMatches(c.sPattern, c.sName), c.bMatches) << c.sPattern << " " << c.sName;
}

TEST(TreeCopy, NeverDescendsIntoItsOwnDestination) {
    TempDir oDir;
    WriteFile(oDir / "src/page.html", "p");
    WriteFile(oDir / "src/sub/x.html", "x");
    ASSERT_FALSE(fs::CopyTree(oDir / "src", oDir / "src/_Converted").Failed());
    EXPECT_EQ(ReadFile(oDir / "src/_Converted/page.html"), "p");
    EXPECT_EQ(ReadFile(oDir / "src/_Converted/sub/x.html"), "x");
    EXPECT_FALSE(Exists(oDir / "src/_Converted/_Converted"));
}

TEST(FaultHook, EndsWithItsScope) {
    TempDir oDir;
    WriteFile(oDir / "page.html", "p");
    std::string sData;
    {
        fs::ScopedFaultHook oHook([](fs::FsOp, const std::string&) { return std::string("injected"); });
        EXPECT_EQ(fs::ReadWholeFile(oDir / "page.html", sData).sReason, "injected");
    }
    EXPECT_EQ(fs::ReadWholeFile(oDir / "page.html", sData).sReason, "");
    EXPECT_EQ(sData, "p");
}

TEST(TreeCopy, AFailurePartWayRemovesThePartialCopyAndNamesThePath) {
    TempDir oDir;
    WriteFile(oDir / "src/a.html", "a");
    WriteFile(oDir / "src/m/broken.gif", "b");
    WriteFile(oDir / "src/z.html", "z");
    fs::ScopedFaultHook oHook([](fs::FsOp eOp, const std::string& sPath) {
        return eOp == fs::FsOp::CopyFile && sPath.find("broken.gif") != std::string::npos ? "Input/output error"
                                                                                          : "";
    });
    fs::FsError oError = fs::CopyTree(oDir / "src", oDir / "dst");
    EXPECT_EQ(oError.sPath, oDir / "src/m/broken.gif");
    EXPECT_EQ(oError.sReason, "Input/output error");
    EXPECT_FALSE(Exists(oDir / "dst"));
}

// With a callback, what the source will not give is named and left out; a
// failure to write the copy, or a lack of open files, still ends it.
TEST(TreeCopy, UnreadableEntriesAreLeftOutAndNamedWriteFailuresEndTheCopy) {
    struct Case {
        fs::FsOp eOp;
        std::string sPath;  // below the tree the hook answers for: "src/..." or "dst/..."
        std::string sReason;
        std::vector<std::string> aLeftOut;  // "F:" or "D:" and the path below src
        std::string sEnd;                   // the path below the trees that ends the copy, if any
    };
    const std::vector<Case> aCases = {
        {fs::FsOp::CopyFile, "src/m/broken.gif", "Permission denied", {"F:m/broken.gif"}, ""},
        {fs::FsOp::CopyFile, "src/m/broken.gif", "Input/output error", {"F:m/broken.gif"}, ""},
        {fs::FsOp::ListFolder, "src/m", "Permission denied", {"D:m"}, ""},
        {fs::FsOp::CopyFile, "src/m/broken.gif", "Too many open files", {}, "src/m/broken.gif"},
        {fs::FsOp::CopyFile, "dst/m/broken.gif", "No space left on device", {}, "dst/m/broken.gif"},
        {fs::FsOp::CopyFile, "dst/z.html", "Permission denied", {}, "dst/z.html"},
        {fs::FsOp::ListFolder, "src", "Permission denied", {}, "src"},
    };
    for (const Case& oCase : aCases) {
        TempDir oDir;
        WriteFile(oDir / "src/a.html", "a");
        WriteFile(oDir / "src/m/broken.gif", "b");
        WriteFile(oDir / "src/m/n/c.gif", "c");
        WriteFile(oDir / "src/z.html", "z");
        stdfs::create_directories(oDir / "dst");
        fs::ScopedFaultHook oHook([&](fs::FsOp eOp, const std::string& sPath) {
            return eOp == oCase.eOp && sPath == oDir / oCase.sPath ? oCase.sReason : std::string();
        });
        std::vector<std::string> aLeftOut;
        const fs::FsError oError = fs::CopyTreeInto(oDir / "src", oDir / "dst", nullptr, nullptr,
                                                    [&](const fs::FsError& oFail, bool bFolder) {
                                                        aLeftOut.push_back((bFolder ? "D:" : "F:") +
                                                                           oFail.sPath.substr((oDir / "src/").size()));
                                                    });
        std::vector<std::string> aExpected;
        for (const std::string& sEntry : oCase.aLeftOut) aExpected.push_back(test::Native(sEntry));
        EXPECT_EQ(aLeftOut, aExpected) << oCase.sPath << " " << oCase.sReason;
        if (!oCase.sEnd.empty()) {
            EXPECT_EQ(oError.sPath, oDir / oCase.sEnd) << oCase.sPath << " " << oCase.sReason;
            continue;
        }
        EXPECT_FALSE(oError.Failed()) << oCase.sPath << " " << oError.sReason;
        auto aCopy = test::Snapshot(oDir / "src");
        for (auto oIt = aCopy.begin(); oIt != aCopy.end();)
            oIt = oIt->first.rfind(test::Native(oCase.sPath.substr(4)), 0) == 0 ? aCopy.erase(oIt) : std::next(oIt);
        EXPECT_EQ(test::Snapshot(oDir / "dst"), aCopy) << oCase.sPath << " " << oCase.sReason;
    }
}

TEST(Paths, LiesInside) {
    const std::string s = std::string(1, fs::kSeparator);
    const std::string sRoot = fs::AbsoluteNormalPath(s);
    struct Case {
        std::string sPath;
        std::string sFolder;
        bool bInside;
    };
    for (const Case& c : std::vector<Case>{{sRoot + "a" + s + "b", sRoot + "a", true},
                                           {sRoot + "a", sRoot + "a", false},
                                           {sRoot + "ab", sRoot + "a", false},
                                           {sRoot + "a_Converted", sRoot + "a", false},
                                           {sRoot + "a", sRoot, true},
                                           {sRoot + "a", sRoot + "a" + s + "b", false}})
        EXPECT_EQ(fs::LiesInside(c.sPath, c.sFolder), c.bInside) << c.sPath << " in " << c.sFolder;
}

TEST(SourcePaths, AbsoluteAndNormalWithoutLookingAtTheDisk) {
    const std::string sHere = stdfs::current_path().u8string();
    const bool bWindows = fs::kSeparator == '\\';
    using Cases = std::vector<std::pair<std::string, std::string>>;
    const Cases aCases = bWindows ? Cases{
        {"", ""},
        {"C:\\", "C:\\"},
        {"C:\\..", "C:\\"},
        {"C:\\a\\b\\", "C:\\a\\b"},
        {"C:/a//b/./c/..//", "C:\\a\\b"},
        {".", sHere},
        {"x/y/..", sHere + "\\x"},
    } : Cases{
        {"", ""},
        {"/", "/"},
        {"/..", "/"},
        {"/a/b/", "/a/b"},
        {"/a//b/./c/..//", "/a/b"},
        {"/a/b/../../..", "/"},
        {".", sHere},
        {"x/y/..", sHere + "/x"},
    };
    for (const auto& [sIn, sOut] : aCases) EXPECT_EQ(fs::AbsoluteNormalPath(sIn), sOut) << sIn;
    const std::vector<const char*> aRoots = bWindows ? std::vector<const char*>{"C:\\", "C:/", "C:\\.."}
                                                     : std::vector<const char*>{"/", "//"};
    for (const char* sRoot : aRoots) EXPECT_TRUE(fs::IsRootPath(fs::AbsoluteNormalPath(sRoot))) << sRoot;
    for (const char* sNot : {"", "/a", "/a/..", "C:\\a"}) EXPECT_FALSE(fs::IsRootPath(sNot)) << sNot;
}

TEST(RenameNoReplace, NeverReplacesAnyEntry) {
    const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> aTaken = {
        {"empty folder", [](const std::string& sPath) { stdfs::create_directory(sPath); }},
        {"file", [](const std::string& sPath) { WriteFile(sPath, "theirs"); }},
        {"dangling link", [](const std::string& sPath) { stdfs::create_symlink(sPath + "-nowhere", sPath); }},
    };
    for (const auto& [sKind, fTake] : aTaken) {
        if (std::string(sKind) == "dangling link" && !test::LinksAndModes()) continue;
        TempDir oDir;
        WriteFile(oDir / "new/page.html", "mine");
        fTake(oDir / "dest");
        EXPECT_TRUE(fs::EntryExists(oDir / "dest")) << sKind;
        const auto aBefore = Snapshot(oDir.Path());
        bool bExisted = false;
        EXPECT_TRUE(fs::RenameNoReplace(oDir / "new", oDir / "dest", bExisted).Failed()) << sKind;
        EXPECT_TRUE(bExisted) << sKind;
        EXPECT_EQ(Snapshot(oDir.Path()), aBefore) << sKind;
    }
    TempDir oDir;
    WriteFile(oDir / "new/page.html", "mine");
    EXPECT_FALSE(fs::EntryExists(oDir / "dest"));
    bool bExisted = true;
    EXPECT_FALSE(fs::RenameNoReplace(oDir / "new", oDir / "dest", bExisted).Failed());
    EXPECT_FALSE(bExisted);
    EXPECT_EQ(ReadFile(oDir / "dest/page.html"), "mine");
    EXPECT_FALSE(Exists(oDir / "new"));
}

}  // namespace
}  // namespace tagshift

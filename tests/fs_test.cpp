// The existence tests and the file operations the conversion relies on.
#include <gtest/gtest.h>
#include <sys/stat.h>

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

TEST(ExistenceTests, FoldersFilesAndNothing) {
    TempDir oDir;
    WriteFile(oDir / "site/page.html", "x");
    WriteFile(oDir / "site/.hidden.js", "x");
    WriteFile(oDir / "site/a.js", "x");
    stdfs::create_directory(oDir / "site/folder.js");
    stdfs::create_symlink(oDir / "site", oDir / "link-to-folder");

    EXPECT_TRUE(fs::DirExists(oDir / "site"));
    EXPECT_TRUE(fs::DirExists("/"));
    EXPECT_TRUE(fs::DirExists(oDir / "link-to-folder"));
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

TEST(ExistenceTests, WildcardsInTheLastComponent) {
    TempDir oDir;
    WriteFile(oDir / "a/x.js", "x");
    WriteFile(oDir / "b/.hidden.js", "x");
    stdfs::create_directory(oDir / "b/dir.js");
    EXPECT_TRUE(fs::FileExists(oDir / "a/*.js"));
    EXPECT_TRUE(fs::FileExists(oDir / "a/?.js"));
    EXPECT_FALSE(fs::FileExists(oDir / "a/*.css"));
    EXPECT_FALSE(fs::FileExists(oDir / "b/*.js"));  // only a hidden file and a folder
}

TEST(FileOperations, AtomicWriteReplacesContentKeepsModeAndNeverFollowsLinks) {
    TempDir oDir;
    WriteFile(oDir / "page.html", "old content that is longer");
    ::chmod((oDir / "page.html").c_str(), 0640);
    ASSERT_FALSE(fs::WriteFileAtomic(oDir / "page.html", "new"));
    EXPECT_EQ(ReadFile(oDir / "page.html"), "new");
    struct stat oStat {};
    ::stat((oDir / "page.html").c_str(), &oStat);
    EXPECT_EQ(oStat.st_mode & 07777, 0640u);

    // A link in the tree is replaced by the file; its target is untouched.
    WriteFile(oDir / "outside.txt", "keep");
    stdfs::create_symlink(oDir / "outside.txt", oDir / "log.txt");
    ASSERT_FALSE(fs::WriteFileAtomic(oDir / "log.txt", "log"));
    EXPECT_FALSE(stdfs::is_symlink(oDir / "log.txt"));
    EXPECT_EQ(ReadFile(oDir / "log.txt"), "log");
    EXPECT_EQ(ReadFile(oDir / "outside.txt"), "keep");

    // A new file, and a replaced one, take the given mode (and times).
    fs::FileInfo oLike;
    oLike.iMode = 0604;
    oLike.oModified.tv_sec = 1000000000;
    ASSERT_FALSE(fs::WriteFileAtomic(oDir / "new.html", "fresh", &oLike, true));
    ASSERT_FALSE(fs::WriteFileAtomic(oDir / "page.html", "newer", &oLike));
    EXPECT_EQ(ReadFile(oDir / "new.html"), "fresh");
    EXPECT_EQ(ReadFile(oDir / "page.html"), "newer");
    ::stat((oDir / "new.html").c_str(), &oStat);
    EXPECT_EQ(oStat.st_mode & 07777, 0604u);
    EXPECT_EQ(oStat.st_mtim.tv_sec, 1000000000);
    ::stat((oDir / "page.html").c_str(), &oStat);
    EXPECT_EQ(oStat.st_mode & 07777, 0604u);

    // A folder in the way stays; no temporary file is left behind, also
    // after a failure.
    stdfs::create_directory(oDir / "folder.html");
    EXPECT_TRUE(fs::WriteFileAtomic(oDir / "folder.html", "x", &oLike));
    EXPECT_TRUE(stdfs::is_directory(oDir / "folder.html"));
    EXPECT_TRUE(fs::WriteFileAtomic(oDir / "missing/page.html", "x"));
    EXPECT_EQ(Snapshot(oDir.Path()).size(), 5u);
}

TEST(FileOperations, AppendCreatesAppendsUndoesAndRefusesLinks) {
    TempDir oDir;
    fs::AppendMark oMark;
    ASSERT_FALSE(fs::AppendToFile(oDir / "object.js", "one", oMark));
    EXPECT_FALSE(oMark.bExisted);
    ASSERT_FALSE(fs::AppendToFile(oDir / "object.js", "two", oMark));
    EXPECT_EQ(ReadFile(oDir / "object.js"), "onetwo");
    EXPECT_TRUE(oMark.bExisted);
    EXPECT_EQ(oMark.iSize, 3u);
    fs::UndoAppend(oDir / "object.js", oMark);
    EXPECT_EQ(ReadFile(oDir / "object.js"), "one");
    fs::UndoAppend(oDir / "object.js", fs::AppendMark{});
    EXPECT_FALSE(Exists(oDir / "object.js"));

    WriteFile(oDir / "outside.js", "keep");
    stdfs::create_symlink(oDir / "outside.js", oDir / "embed.js");
    fs::FsError oError = fs::AppendToFile(oDir / "embed.js", "x", oMark);
    EXPECT_TRUE(oError);
    EXPECT_EQ(oError.sPath, oDir / "embed.js");
    EXPECT_EQ(ReadFile(oDir / "outside.js"), "keep");

    stdfs::create_directory(oDir / "dir.js");
    EXPECT_TRUE(fs::AppendToFile(oDir / "dir.js", "x", oMark));
}

TEST(FileOperations, ReadWholeFileReadsEveryByte) {
    TempDir oDir;
    std::string sData(3 << 20, '\0');
    for (std::size_t i = 0; i < sData.size(); ++i) sData[i] = static_cast<char>(i * 7);
    WriteFile(oDir / "big.html", sData);
    std::string sRead;
    ASSERT_FALSE(fs::ReadWholeFile(oDir / "big.html", sRead));
    EXPECT_EQ(sRead, sData);
    WriteFile(oDir / "empty.html", "");
    ASSERT_FALSE(fs::ReadWholeFile(oDir / "empty.html", sRead));
    EXPECT_EQ(sRead, "");
    EXPECT_TRUE(fs::ReadWholeFile(oDir / "missing.html", sRead));
}

TEST(FolderListing, FilesAndFoldersInByteOrderWithoutLinks) {
    TempDir oDir;
    for (const char* sName : {"b.html", "B.html", "a.html", "\xc3\xa9.html", "_.html"}) WriteFile(oDir / sName, "");
    for (const char* sName : {"z", "A", "m"}) stdfs::create_directory(oDir / sName);
    stdfs::create_symlink(oDir / "a.html", oDir / "link.html");
    stdfs::create_directory_symlink(oDir / "z", oDir / "linkdir");
    fs::FolderListing oListing;
    ASSERT_FALSE(fs::ListFolder(oDir.Path(), oListing));
    EXPECT_EQ(oListing.aFiles, (std::vector<std::string>{"B.html", "_.html", "a.html", "b.html", "\xc3\xa9.html"}));
    EXPECT_EQ(oListing.aFolders, (std::vector<std::string>{"A", "m", "z"}));
    EXPECT_TRUE(fs::ListFolder(oDir / "missing", oListing));
}

TEST(TreeCopy, CopiesEverythingLinksAsLinks) {
    TempDir oDir;
    WriteFile(oDir / "src/index.html", "<object></object>");
    WriteFile(oDir / "src/a/b/c/deep.htm", std::string(1 << 20, 'd'));
    stdfs::create_directories(oDir / "src/empty/inner");
    stdfs::create_symlink("index.html", oDir / "src/relative-link.html");
    stdfs::create_symlink("/etc", oDir / "src/a/absolute-link");
    ::chmod((oDir / "src/index.html").c_str(), 0444);
    ::chmod((oDir / "src/a").c_str(), 0555);

    ASSERT_FALSE(fs::CopyTree(oDir / "src", oDir / "dst"));
    ::chmod((oDir / "src/a").c_str(), 0755);
    EXPECT_EQ(Snapshot(oDir / "src"), Snapshot(oDir / "dst"));
    struct stat oStat {};
    ::stat((oDir / "dst/index.html").c_str(), &oStat);
    EXPECT_EQ(oStat.st_mode & 0777, 0444u);
    ::stat((oDir / "dst/a").c_str(), &oStat);
    EXPECT_EQ(oStat.st_mode & 0777, 0755u);  // the copy's folders stay writable

    // The destination must not exist yet.
    EXPECT_TRUE(fs::CopyTree(oDir / "src", oDir / "dst"));
}

TEST(TreeCopy, NeverDescendsIntoItsOwnDestination) {
    TempDir oDir;
    WriteFile(oDir / "src/page.html", "p");
    WriteFile(oDir / "src/sub/x.html", "x");
    ASSERT_FALSE(fs::CopyTree(oDir / "src", oDir / "src/_Converted"));
    EXPECT_EQ(ReadFile(oDir / "src/_Converted/page.html"), "p");
    EXPECT_EQ(ReadFile(oDir / "src/_Converted/sub/x.html"), "x");
    EXPECT_FALSE(Exists(oDir / "src/_Converted/_Converted"));
}

TEST(TreeCopy, AFailurePartWayRemovesThePartialCopyAndNamesThePath) {
    TempDir oDir;
    WriteFile(oDir / "src/a.html", "a");
    WriteFile(oDir / "src/m/broken.gif", "b");
    WriteFile(oDir / "src/z.html", "z");
    fs::SetFaultHookForTesting([](fs::FsOp eOp, const std::string& sPath) {
        return eOp == fs::FsOp::CopyFile && sPath.find("broken.gif") != std::string::npos ? "Input/output error"
                                                                                          : "";
    });
    fs::FsError oError = fs::CopyTree(oDir / "src", oDir / "dst");
    fs::SetFaultHookForTesting(nullptr);
    EXPECT_EQ(oError.sPath, oDir / "src/m/broken.gif");
    EXPECT_EQ(oError.sReason, "Input/output error");
    EXPECT_FALSE(Exists(oDir / "dst"));
}

TEST(SourcePaths, AbsoluteAndNormalWithoutLookingAtTheDisk) {
    const std::string sHere = stdfs::current_path().string();
    const std::vector<std::pair<std::string, std::string>> aCases = {
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
    for (const char* sRoot : {"/", "//"}) EXPECT_TRUE(fs::IsRootPath(fs::AbsoluteNormalPath(sRoot))) << sRoot;
    for (const char* sNot : {"", "/a", "/a/.."}) EXPECT_FALSE(fs::IsRootPath(sNot)) << sNot;
}

TEST(RenameNoReplace, NeverReplacesAnyEntry) {
    const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> aTaken = {
        {"empty folder", [](const std::string& sPath) { stdfs::create_directory(sPath); }},
        {"file", [](const std::string& sPath) { WriteFile(sPath, "theirs"); }},
        {"dangling link", [](const std::string& sPath) { stdfs::create_symlink(sPath + "-nowhere", sPath); }},
    };
    for (const auto& [sKind, fTake] : aTaken) {
        TempDir oDir;
        WriteFile(oDir / "new/page.html", "mine");
        fTake(oDir / "dest");
        EXPECT_TRUE(fs::EntryExists(oDir / "dest")) << sKind;
        const auto aBefore = Snapshot(oDir.Path());
        bool bExisted = false;
        EXPECT_TRUE(fs::RenameNoReplace(oDir / "new", oDir / "dest", bExisted)) << sKind;
        EXPECT_TRUE(bExisted) << sKind;
        EXPECT_EQ(Snapshot(oDir.Path()), aBefore) << sKind;
    }
    TempDir oDir;
    WriteFile(oDir / "new/page.html", "mine");
    EXPECT_FALSE(fs::EntryExists(oDir / "dest"));
    bool bExisted = true;
    EXPECT_FALSE(fs::RenameNoReplace(oDir / "new", oDir / "dest", bExisted));
    EXPECT_FALSE(bExisted);
    EXPECT_EQ(ReadFile(oDir / "dest/page.html"), "mine");
    EXPECT_FALSE(Exists(oDir / "new"));
}

}  // namespace
}  // namespace tagshift

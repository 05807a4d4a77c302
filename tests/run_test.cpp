// Whole conversion runs on real folder trees, driven through a recording
// host, and the headless converter's command line.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestSupport.h"
#include "convert/ConversionRun.h"
#include "fs/FileSystem.h"

namespace tagshift {
namespace {

using test::Exists;
using test::ReadFile;
using test::RecordingHost;
using test::ShellQuote;
using test::Snapshot;
using test::TempDir;
using test::WriteFile;
namespace stdfs = std::filesystem;

const std::string kObj = "<script src='object.js' type='text/javascript'></script><script type='text/javascript'>InsertObject";
const std::string kEmb = "<script src='embed.js' type='text/javascript'></script><script type='text/javascript'>InsertEmbed";

std::vector<std::string> CheckedFiles(const RecordingHost& oHost) {
    std::vector<std::string> aNames;
    const std::string sPrefix = "Progress: Checking File: ";
    for (const std::string& sStatus : oHost.aStatuses)
        if (sStatus.rfind(sPrefix, 0) == 0) aNames.push_back(sStatus.substr(sPrefix.size()));
    return aNames;
}

struct Fixture {
    TempDir oDir;
    RecordingHost oHost;
    ConversionRun oRun{oHost};
    std::string Source() const { return oDir / "site"; }
    std::string Dest() const { return oDir / "site_Converted"; }
    void Convert() {
        oRun.sSourceDir = Source();
        oRun.cmd_Convert_Click();
    }
};

TEST(ConversionRun, CompletedRunShowsLogsAndWritesEverything) {
    Fixture f;
    WriteFile(f.Source() + "/index.html", "<p>\r\n<object data=a>\r\n<param name=b>\r\n</object>\r\n<embed src=c></embed>");
    WriteFile(f.Source() + "/plain.htm", "no blocks here\n");
    WriteFile(f.Source() + "/image.gif", "GIF89a");
    WriteFile(f.Source() + "/sub/page.php", "<object></object>");
    f.Convert();

    const std::vector<std::string> aFirst(f.oHost.aStatuses.begin(), f.oHost.aStatuses.begin() + 5);
    EXPECT_EQ(aFirst, (std::vector<std::string>{"Progress: Disabling Interface", "Progress: Checking Directory",
                                                "Progress: Checking File Names", "Progress: Copying Directory",
                                                "Progress: Preparing Javascript"}));
    EXPECT_EQ(CheckedFiles(f.oHost), (std::vector<std::string>{"image.gif", "index.html", "plain.htm", "page.php"}));
    EXPECT_EQ(f.oHost.aStatuses.back(), "Progress: Website Converted");
    EXPECT_EQ(f.oHost.aEnableChanges, (std::vector<bool>{false, true}));

    ASSERT_EQ(f.oHost.aMessages.size(), 1u);
    const RecordingHost::Message& oSummary = f.oHost.aMessages[0];
    EXPECT_EQ(oSummary.sPrompt,
              "Files Converted: 3 | Functions Replaced: 3\r\nYour new website(s) are visible at " + f.Dest());
    EXPECT_EQ(oSummary.sTitle, "Process Complete");
    EXPECT_EQ(oSummary.iStyle, 64);
    EXPECT_FALSE(oSummary.bActionsEnabled);
    EXPECT_EQ(f.oRun.eOutcome, RunOutcome::Completed);

    EXPECT_EQ(ReadFile(f.Dest() + "/converter_log.txt"),
              "Process Started\r\nCopying Folder:" + f.Source() + "\r\nDestination Folder:" + f.Dest() +
                  "\r\nProcessing File:" + f.Dest() + "/index.html\r\nProcessing File:" + f.Dest() +
                  "/plain.htm\r\nProcessing File:" + f.Dest() + "/sub/page.php\r\nProcess Complete");
    EXPECT_EQ(ReadFile(f.Dest() + "/index.html"), "<p>\r\n" + kObj + "1();</script>\r\n" + kEmb + "2();</script>");
    EXPECT_EQ(ReadFile(f.Dest() + "/object.js"),
              "function InsertObject1()\r\n{\r\ndocument.write('<object data=a>');\r\n"
              "document.write('<param name=b>');\r\ndocument.write('</object>');\r\n}\r\n");
    EXPECT_EQ(ReadFile(f.Dest() + "/embed.js"),
              "function InsertEmbed2()\r\n{\r\ndocument.write('<embed src=c></embed>');\r\n}\r\n");
    EXPECT_EQ(ReadFile(f.Dest() + "/plain.htm"), "no blocks here\n");
    EXPECT_EQ(ReadFile(f.Dest() + "/sub/page.php"), kObj + "3();</script>");
    EXPECT_EQ(ReadFile(f.Dest() + "/sub/object.js"),
              "function InsertObject3()\r\n{\r\ndocument.write('<object></object>');\r\n}\r\n");
    EXPECT_FALSE(Exists(f.Dest() + "/sub/embed.js"));
}

TEST(ConversionRun, WalkVisitsFilesBeforeSubfoldersInByteOrder) {
    Fixture f;
    for (const char* sPath : {"a2", "a1", "D/d1", "B/C/c1", "B/b1"}) WriteFile(f.Source() + "/" + sPath, "");
    stdfs::create_directories(f.Source() + "/B/empty");
    f.Convert();
    EXPECT_EQ(CheckedFiles(f.oHost), (std::vector<std::string>{"a1", "a2", "b1", "c1", "d1"}));
    // Yields: after copying each of the five folders, and when the walk
    // enters it, goes from its files to its subfolders and leaves it; plus
    // one per status text.
    EXPECT_EQ(f.oHost.iYields, 5 * 4 + static_cast<long long>(f.oHost.aStatuses.size()));
}

TEST(ConversionRun, ForeseenFailuresRefuseBeforeAnythingIsWritten) {
    struct Case {
        const char* sName;
        std::function<void(Fixture&)> fSetUp;
        std::string sError;
        std::string sLogLine;
        std::string sStatus;
    };
    const std::vector<Case> aCases = {
        {"no folder chosen", [](Fixture& f) { f.oRun.sSourceDir = ""; },
         "No folder chosen or chosen folder does not exist...", "No Folder chosen or Folder does not exist",
         "Progress: Checking Directory"},
        {"a file, not a folder",
         [](Fixture& f) {
             WriteFile(f.oDir / "file", "x");
             f.oRun.sSourceDir = f.oDir / "file";
         },
         "No folder chosen or chosen folder does not exist...", "No Folder chosen or Folder does not exist",
         "Progress: Checking Directory"},
        {"empty pattern list",
         [](Fixture& f) {
             WriteFile(f.Source() + "/a.html", "");
             f.oRun.sSourceDir = f.Source();
             f.oHost.sPatterns = "";
         },
         "You must select a pattern...", "No file types available", "Progress: Checking File Names"},
        {"only pieces too short to select anything",
         [](Fixture& f) {
             WriteFile(f.Source() + "/a.html", "");
             f.oRun.sSourceDir = f.Source();
             f.oHost.sPatterns = ";x;";
         },
         "You must select a pattern...", "No file types available", "Progress: Checking File Names"},
        {"a file has the destination's name",
         [](Fixture& f) {
             WriteFile(f.Source() + "/a.html", "");
             WriteFile(f.Dest(), "not a folder");
             f.oRun.sSourceDir = f.Source();
         },
         "A converted folder of this name already exists - have you already converted this one?",
         "Converted folder already exists", "Progress: Copying Directory"},
        {"a dangling link has the destination's name",
         [](Fixture& f) {
             WriteFile(f.Source() + "/a.html", "");
             stdfs::create_symlink(f.oDir / "nowhere", f.Dest());
             f.oRun.sSourceDir = f.Source();
         },
         "A converted folder of this name already exists - have you already converted this one?",
         "Converted folder already exists", "Progress: Copying Directory"},
        {"destination exists",
         [](Fixture& f) {
             WriteFile(f.Source() + "/a.html", "");
             WriteFile(f.Dest() + "/earlier.txt", "earlier result");
             f.oRun.sSourceDir = f.Source();
         },
         "A converted folder of this name already exists - have you already converted this one?",
         "Converted folder already exists", "Progress: Copying Directory"},
    };
    for (const Case& oCase : aCases) {
        Fixture f;
        f.oRun.iFileCount = 5;
        f.oRun.iFunctionCount = 7;
        oCase.fSetUp(f);
        const auto aBefore = Snapshot(f.oDir.Path());
        f.oRun.cmd_Convert_Click();
        EXPECT_EQ(Snapshot(f.oDir.Path()), aBefore) << oCase.sName;
        EXPECT_EQ(f.oRun.eOutcome, RunOutcome::Refused) << oCase.sName;
        EXPECT_EQ(f.oRun.sLog, "Process Started\r\n" + oCase.sLogLine + "\r\n") << oCase.sName;
        EXPECT_EQ(f.oHost.aStatuses.back(), oCase.sStatus) << oCase.sName;
        EXPECT_EQ(f.oRun.iFileCount, 0) << oCase.sName;
        EXPECT_EQ(f.oRun.iFunctionCount, 0) << oCase.sName;
        EXPECT_EQ(f.oHost.aEnableChanges, (std::vector<bool>{false, true})) << oCase.sName;
        ASSERT_EQ(f.oHost.aMessages.size(), 1u) << oCase.sName;
        EXPECT_EQ(f.oHost.aMessages[0].sPrompt, oCase.sError) << oCase.sName;
        EXPECT_EQ(f.oHost.aMessages[0].sTitle, "Error");
        EXPECT_EQ(f.oHost.aMessages[0].iStyle, 16);
        EXPECT_TRUE(f.oHost.aMessages[0].bActionsEnabled) << "the box comes after the controls are enabled";
    }
}

TEST(ConversionRun, PatternSelection) {
    struct Case {
        std::string sPatterns;
        std::vector<std::string> aProcessed;  // pages rewritten, in order
    };
    const std::vector<std::string> aNames = {"INDEX.HTM", "a.php3", "b.aspx", "htm", "page.shtml", "page.xhtm",
                                             "x.html", "y.js"};
    const std::vector<Case> aCases = {
        {"*.htm;*.html;*.php;*.php3;*.asp;*.aspx", {"a.php3", "b.aspx", "htm", "page.shtml", "page.xhtm", "x.html"}},
        {"*.", aNames},
        {"*.html;*.html", {"page.shtml", "page.shtml", "x.html", "x.html"}},
        {"*.htm; *.html", {"htm", "page.xhtm", "x.html"}},
        {"*.HTM", {"INDEX.HTM"}},
    };
    for (const Case& oCase : aCases) {
        Fixture f;
        for (const std::string& sName : aNames) WriteFile(f.Source() + "/" + sName, "<object></object>");
        f.oHost.sPatterns = oCase.sPatterns;
        f.Convert();
        std::vector<std::string> aProcessed;
        std::size_t iAt = 0;
        const std::string sPrefix = "Processing File:" + f.Dest() + "/";
        while ((iAt = f.oRun.sLog.find(sPrefix, iAt)) != std::string::npos) {
            iAt += sPrefix.size();
            aProcessed.push_back(f.oRun.sLog.substr(iAt, f.oRun.sLog.find('\r', iAt) - iAt));
        }
        EXPECT_EQ(aProcessed, oCase.aProcessed) << oCase.sPatterns;
        EXPECT_EQ(f.oRun.iFileCount, static_cast<long long>(oCase.aProcessed.size())) << oCase.sPatterns;
        EXPECT_EQ(f.oRun.eOutcome, RunOutcome::Completed) << oCase.sPatterns;
    }
}

TEST(ConversionRun, ScriptFilesPerFolderKeepEarlierContentAndRunWideNumbers) {
    Fixture f;
    WriteFile(f.Source() + "/object.js", "// site's own script\n");
    WriteFile(f.Source() + "/a.html", "<object>1</object><object>2</object>");
    WriteFile(f.Source() + "/b.html", "<embed>3</embed><object>4</object>");
    WriteFile(f.Source() + "/sub/c.html", "<object>5</object>");
    f.Convert();
    EXPECT_EQ(ReadFile(f.Dest() + "/object.js"),
              "// site's own script\n"
              "function InsertObject1()\r\n{\r\ndocument.write('<object>1</object>');\r\n}\r\n"
              "function InsertObject2()\r\n{\r\ndocument.write('<object>2</object>');\r\n}\r\n"
              "function InsertObject3()\r\n{\r\ndocument.write('<object>4</object>');\r\n}\r\n");
    EXPECT_EQ(ReadFile(f.Dest() + "/embed.js"),
              "function InsertEmbed4()\r\n{\r\ndocument.write('<embed>3</embed>');\r\n}\r\n");
    EXPECT_EQ(ReadFile(f.Dest() + "/sub/object.js"),
              "function InsertObject5()\r\n{\r\ndocument.write('<object>5</object>');\r\n}\r\n");
    EXPECT_EQ(ReadFile(f.Source() + "/object.js"), "// site's own script\n");
}

TEST(ConversionRun, APageThatCannotBeConvertedKeepsItsCopyAndIsReported) {
    Fixture f;
    WriteFile(f.Source() + "/a.html", "<object>a</object>");
    // In "broken" the embed script cannot be written (a folder has its name):
    // the page's object function that was already appended is taken back.
    WriteFile(f.Source() + "/broken/b.html", "<object>b</object><embed>b</embed>");
    WriteFile(f.Source() + "/broken/c.html", "<object>c</object>");
    stdfs::create_directories(f.Source() + "/broken/embed.js");
    // A page that cannot be read, and one that cannot be written back.
    WriteFile(f.Source() + "/d.html", "<object>d</object>");
    WriteFile(f.Source() + "/e.html", "<object>e</object>");
    WriteFile(f.Source() + "/z.html", "<embed>z</embed>");
    // And one that can be neither converted nor copied: the run goes on.
    WriteFile(f.Source() + "/f.html", "<object>f</object>");
    fs::SetFaultHookForTesting([](fs::FsOp eOp, const std::string& sPath) -> std::string {
        if (eOp == fs::FsOp::Read && sPath.find("/d.html") != std::string::npos) return "Permission denied";
        if (eOp == fs::FsOp::WriteAtomic && sPath.find("/e.html") != std::string::npos) return "No space left on device";
        if ((eOp == fs::FsOp::WriteAtomic || eOp == fs::FsOp::CopyFile) && sPath.find("/f.html") != std::string::npos)
            return "File name too long";
        return "";
    });
    f.Convert();
    fs::SetFaultHookForTesting(nullptr);

    EXPECT_EQ(f.oRun.eOutcome, RunOutcome::CompletedWithFailures);
    EXPECT_EQ(f.oRun.iFailedCount, 4);
    EXPECT_EQ(f.oRun.iFileCount, 3);      // a, c, z
    EXPECT_EQ(f.oRun.iFunctionCount, 3);  // one block each
    ASSERT_EQ(f.oHost.aMessages.size(), 1u);
    EXPECT_EQ(f.oHost.aMessages[0].sPrompt, "Files Converted: 3 | Functions Replaced: 3\r\n"
                                            "Your new website(s) are visible at " + f.Dest() +
                                                "\r\nPages Not Converted: 4 (see converter_log.txt)");
    const std::string sLog = ReadFile(f.Dest() + "/converter_log.txt");
    EXPECT_NE(sLog.find("Failed File:" + f.Dest() + "/f.html - File name too long"), std::string::npos) << sLog;
    EXPECT_FALSE(Exists(f.Dest() + "/f.html"));
    EXPECT_NE(sLog.find("Processing File:" + f.Dest() + "/broken/b.html\r\nFailed File:" + f.Dest() +
                        "/broken/b.html - " + f.Dest() + "/broken/embed.js: Is a directory\r\n"),
              std::string::npos)
        << sLog;
    EXPECT_NE(sLog.find("Failed File:" + f.Dest() + "/d.html - Permission denied\r\n"), std::string::npos);
    EXPECT_NE(sLog.find("Failed File:" + f.Dest() + "/e.html - No space left on device\r\n"), std::string::npos);

    for (const char* sPage : {"/broken/b.html", "/d.html", "/e.html"})
        EXPECT_EQ(ReadFile(f.Dest() + sPage), ReadFile(f.Source() + sPage)) << sPage;
    // The failed pages' numbers are reused: the script files hold exactly
    // the functions of the converted pages.
    EXPECT_EQ(ReadFile(f.Dest() + "/object.js"),
              "function InsertObject1()\r\n{\r\ndocument.write('<object>a</object>');\r\n}\r\n");
    EXPECT_EQ(ReadFile(f.Dest() + "/embed.js"),
              "function InsertEmbed2()\r\n{\r\ndocument.write('<embed>z</embed>');\r\n}\r\n");
    EXPECT_EQ(ReadFile(f.Dest() + "/z.html"), kEmb + "2();</script>");
    EXPECT_EQ(ReadFile(f.Dest() + "/broken/object.js"),
              "function InsertObject3()\r\n{\r\ndocument.write('<object>c</object>');\r\n}\r\n");
    // No temporary file is left anywhere.
    for (const auto& [sPath, sEntry] : Snapshot(f.Dest()))
        EXPECT_EQ(sPath.find(".tagshift-"), std::string::npos) << sPath;
}

TEST(ConversionRun, LinksAreCopiedButNeverFollowedOrWritten) {
    Fixture f;
    WriteFile(f.oDir / "outside/page.html", "<object>outside</object>");
    WriteFile(f.oDir / "outside/object.js", "// not ours\n");
    WriteFile(f.Source() + "/in/page.html", "<object>in</object>");
    stdfs::create_symlink(f.oDir / "outside/page.html", f.Source() + "/linked.html");
    stdfs::create_directory_symlink(f.oDir / "outside", f.Source() + "/linked-folder");
    stdfs::create_symlink(f.oDir / "outside/object.js", f.Source() + "/in/object.js");
    const auto aOutside = Snapshot(f.oDir / "outside");
    f.Convert();
    EXPECT_EQ(Snapshot(f.oDir / "outside"), aOutside);
    EXPECT_TRUE(stdfs::is_symlink(f.Dest() + "/linked.html"));
    EXPECT_TRUE(stdfs::is_symlink(f.Dest() + "/linked-folder"));
    EXPECT_EQ(CheckedFiles(f.oHost), (std::vector<std::string>{"page.html"}));
    EXPECT_EQ(f.oRun.iFailedCount, 1);  // its script file is a link out of the tree
    EXPECT_EQ(ReadFile(f.Dest() + "/in/page.html"), "<object>in</object>");
}

TEST(ConversionRun, RunWithMoreThan32767BlocksAndLongPages) {
    Fixture f;
    std::string sPage(40000, ' ');
    for (int i = 0; i < 12000; ++i) sPage += "<object>" + std::to_string(i) + "</object>\r\n";
    for (const char* sName : {"/a.html", "/b.html", "/c.html"}) WriteFile(f.Source() + sName, sPage);
    f.Convert();
    EXPECT_EQ(f.oRun.iFunctionCount, 36000);
    EXPECT_EQ(f.oRun.eOutcome, RunOutcome::Completed);
    const std::string sConverted = ReadFile(f.Dest() + "/c.html");
    EXPECT_EQ(sConverted.substr(0, 40000), std::string(40000, ' '));
    EXPECT_NE(sConverted.find("InsertObject36000();</script>\r\n"), std::string::npos);
    EXPECT_NE(ReadFile(f.Dest() + "/object.js").find("function InsertObject36000()\r\n"), std::string::npos);
}

// Names in the new folder's parent other than the source's own.
std::vector<std::string> Leftovers(const std::string& sParent) {
    std::vector<std::string> aNames;
    for (const auto& oEntry : stdfs::directory_iterator(sParent))
        if (oEntry.path().filename() != "site") aNames.push_back(oEntry.path().filename().string());
    return aNames;
}

TEST(ConversionRun, AnyFormOfTheSourcePathConvertsBesideItAndAnOldLogIsReplaced) {
    for (const std::string sForm : {"/", "//./", "/sub/..", "/./sub/../"}) {
        Fixture f;
        WriteFile(f.Source() + "/converter_log.txt", "old log");
        WriteFile(f.Source() + "/sub/a.html", "<object></object>");
        const auto aBefore = Snapshot(f.Source());
        f.oRun.sSourceDir = f.Source() + sForm;
        f.oRun.cmd_Convert_Click();
        EXPECT_EQ(f.oRun.eOutcome, RunOutcome::Completed) << sForm;
        EXPECT_EQ(f.oRun.sDestDir, f.Dest()) << sForm;
        EXPECT_EQ(Snapshot(f.Source()), aBefore) << sForm;
        EXPECT_EQ(ReadFile(f.Dest() + "/converter_log.txt").substr(0, 17 + 15 + f.Source().size() + 2),
                  "Process Started\r\nCopying Folder:" + f.Source() + "\r\n")
            << sForm;
        EXPECT_EQ(Leftovers(f.oDir.Path()), (std::vector<std::string>{"site_Converted"})) << sForm;
    }
}

TEST(ConversionRun, TheNewTreeTakesItsNameOnlyWhenCompleteAndNeverReplacesAnEntry) {
    Fixture f;
    WriteFile(f.Source() + "/a.html", "<object></object>");
    WriteFile(f.Source() + "/b.html", "<object></object>");
    std::vector<std::string> aDuringWalk;
    f.oHost.fOnStatus = [&](const std::string& sStatus) {
        if (sStatus != "Progress: Checking File: b.html") return;
        aDuringWalk = Leftovers(f.oDir.Path());
        WriteFile(f.Dest() + "/meanwhile.txt", "someone else's");
    };
    f.Convert();
    ASSERT_EQ(aDuringWalk.size(), 1u);
    EXPECT_EQ(aDuringWalk[0].size(), std::string("site_Converted.incomplete-").size() + 6) << aDuringWalk[0];
    EXPECT_EQ(aDuringWalk[0].rfind("site_Converted.incomplete-", 0), 0u) << aDuringWalk[0];
    EXPECT_EQ(f.oRun.eOutcome, RunOutcome::Refused);
    ASSERT_EQ(f.oHost.aMessages.size(), 1u);
    EXPECT_EQ(f.oHost.aMessages[0].sPrompt,
              "A converted folder of this name already exists - have you already converted this one?");
    EXPECT_EQ(Snapshot(f.Dest()), (std::map<std::string, std::string>{{"meanwhile.txt", "F:someone else's"}}));
    EXPECT_EQ(Leftovers(f.oDir.Path()), (std::vector<std::string>{"site_Converted"}));
}

TEST(ConversionRun, ReentryAndStopRequests) {
    // A click while a run is in progress does nothing.
    {
        Fixture f;
        WriteFile(f.Source() + "/a.html", "<object></object>");
        WriteFile(f.Source() + "/b.html", "<object></object>");
        int iNested = 0;
        f.oHost.fOnStatus = [&](const std::string& sStatus) {
            if (sStatus == "Progress: Checking File: b.html") {
                ++iNested;
                f.oRun.cmd_Convert_Click();
            }
        };
        f.Convert();
        EXPECT_EQ(iNested, 1);
        EXPECT_EQ(f.oRun.iFunctionCount, 2);
        EXPECT_EQ(f.oHost.aMessages.size(), 1u);
        EXPECT_EQ(f.oHost.aEnableChanges, (std::vector<bool>{false, true}));
    }
    // A stop request ends the run after the page in progress, quietly, and
    // leaves nothing: not even a log copied from the source.
    {
        Fixture f;
        for (const char* sName : {"/a.html", "/b.html", "/c.html", "/d/e.htm"})
            WriteFile(f.Source() + sName, "<object></object>");
        WriteFile(f.Source() + "/converter_log.txt", "Process Started\r\nProcess Complete");
        f.oHost.fOnStatus = [&](const std::string& sStatus) {
            if (sStatus == "Progress: Checking File: b.html") f.oHost.bStop = true;
        };
        f.Convert();
        EXPECT_EQ(f.oRun.eOutcome, RunOutcome::Stopped);
        EXPECT_TRUE(f.oHost.aMessages.empty());
        EXPECT_TRUE(Leftovers(f.oDir.Path()).empty());
        EXPECT_EQ(f.oHost.aStatuses.back(), "Progress: Checking File: b.html");
        EXPECT_EQ(f.oHost.aEnableChanges, (std::vector<bool>{false, true}));
        EXPECT_FALSE(f.oRun.IsRunning());
    }
    // A stop request during the copy takes the partial copy away.
    {
        Fixture f;
        WriteFile(f.Source() + "/a/x.html", "x");
        WriteFile(f.Source() + "/b/y.html", "y");
        int iYieldsWhileCopying = 0;  // the first is the status text's own
        f.oHost.fOnYield = [&] {
            if (f.oHost.aStatuses.back() == "Progress: Copying Directory" && ++iYieldsWhileCopying == 2)
                f.oHost.bStop = true;
        };
        f.Convert();
        EXPECT_EQ(f.oRun.eOutcome, RunOutcome::Stopped);
        EXPECT_EQ(iYieldsWhileCopying, 2);
        EXPECT_TRUE(f.oHost.aMessages.empty());
        EXPECT_TRUE(Leftovers(f.oDir.Path()).empty());
    }
}

TEST(ConversionRun, CopiesKeepModesAndTimesAndScriptFilesAreNeverPages) {
    Fixture f;
    WriteFile(f.Source() + "/plain.html", "no blocks");
    WriteFile(f.Source() + "/page.html", "<object></object>");
    WriteFile(f.Source() + "/embed.js", "// <embed></embed>\n");
    for (const char* sName : {"/plain.html", "/page.html"}) {
        ::chmod((f.Source() + sName).c_str(), 0604);
        stdfs::last_write_time(f.Source() + sName, stdfs::file_time_type::clock::now() - std::chrono::hours(48));
    }
    f.oHost.sPatterns = "*.html;*.js";
    f.Convert();
    EXPECT_EQ(f.oRun.iFileCount, 2);
    EXPECT_EQ(ReadFile(f.Dest() + "/embed.js"), "// <embed></embed>\n");
    for (const char* sName : {"/plain.html", "/page.html"})
        EXPECT_EQ(stdfs::status(f.Dest() + sName).permissions(), stdfs::perms(0604)) << sName;
    EXPECT_EQ(stdfs::last_write_time(f.Dest() + "/plain.html"), stdfs::last_write_time(f.Source() + "/plain.html"));
    EXPECT_GT(stdfs::last_write_time(f.Dest() + "/page.html"), stdfs::last_write_time(f.Source() + "/page.html"));
}

TEST(ConversionRun, AFolderThatCannotBeReadEndsTheRunAndTakesTheCopyAway) {
    Fixture f;
    WriteFile(f.Source() + "/a.html", "<object></object>");
    WriteFile(f.Source() + "/sub/b.html", "<object></object>");
    bool bCopied = false;
    fs::SetFaultHookForTesting([&](fs::FsOp eOp, const std::string& sPath) -> std::string {
        if (eOp == fs::FsOp::CopyFile) bCopied = true;
        return eOp == fs::FsOp::ListFolder && sPath == f.Source() + "/sub" ? "Permission denied" : "";
    });
    f.Convert();
    fs::SetFaultHookForTesting(nullptr);
    EXPECT_EQ(f.oRun.eOutcome, RunOutcome::Failed);
    EXPECT_FALSE(bCopied) << "selected pages are left out of the copy";
    EXPECT_TRUE(Leftovers(f.oDir.Path()).empty());
    ASSERT_EQ(f.oHost.aMessages.size(), 1u);
    EXPECT_EQ(f.oHost.aMessages[0].sPrompt, "A folder of the site could not be read: " + f.Source() + "/sub - Permission denied");
}

TEST(ConversionRun, CopyAndLogFailuresNameThePathAndLeaveNoLog) {
    {
        Fixture f;
        WriteFile(f.Source() + "/a.html", "a");
        WriteFile(f.Source() + "/b.gif", "b");
        fs::SetFaultHookForTesting([](fs::FsOp eOp, const std::string& sPath) {
            return eOp == fs::FsOp::CopyFile && sPath.find("b.gif") != std::string::npos ? "Input/output error" : "";
        });
        f.Convert();
        fs::SetFaultHookForTesting(nullptr);
        EXPECT_EQ(f.oRun.eOutcome, RunOutcome::Failed);
        EXPECT_EQ(f.oRun.sFailure, f.Source() + "/b.gif - Input/output error");
        EXPECT_TRUE(Leftovers(f.oDir.Path()).empty());
        ASSERT_EQ(f.oHost.aMessages.size(), 1u);
        EXPECT_EQ(f.oHost.aMessages[0].sPrompt,
                  "The folder could not be copied: " + f.Source() + "/b.gif - Input/output error");
        EXPECT_EQ(f.oHost.aMessages[0].sTitle, "Error");
        EXPECT_TRUE(f.oHost.aMessages[0].bActionsEnabled);
        // The cause removed, the same source converts.
        f.oHost.aMessages.clear();
        f.oRun.cmd_Convert_Click();
        EXPECT_EQ(f.oRun.eOutcome, RunOutcome::Completed);
    }
    {
        Fixture f;
        WriteFile(f.Source() + "/a.html", "a");
        fs::SetFaultHookForTesting([](fs::FsOp eOp, const std::string& sPath) {
            return eOp == fs::FsOp::WriteAtomic && sPath.find("converter_log.txt") != std::string::npos
                       ? "Read-only file system"
                       : "";
        });
        f.Convert();
        fs::SetFaultHookForTesting(nullptr);
        EXPECT_EQ(f.oRun.eOutcome, RunOutcome::Failed);
        ASSERT_EQ(f.oHost.aMessages.size(), 2u);  // the summary, then the error
        EXPECT_EQ(f.oHost.aMessages[1].sPrompt,
                  "The run log could not be written: " + f.Dest() + "/converter_log.txt - Read-only file system");
        EXPECT_FALSE(Exists(f.Dest() + "/converter_log.txt"));
        EXPECT_NE(f.oHost.aStatuses.back(), "Progress: Website Converted");
    }
}

// The headless converter.
struct CliResult {
    int iStatus;
    std::string sOut;
    std::string sErr;
};

CliResult RunCli(const std::string& sArguments, const TempDir& oDir) {
    CliResult oResult{};
    const std::string sErrFile = oDir / "stderr.txt";
    oResult.iStatus = test::RunCommand(ShellQuote(TAGSHIFT_CLI) + " " + sArguments + " 2>" + ShellQuote(sErrFile) +
                                           " </dev/null",
                                       &oResult.sOut, false);
    oResult.sErr = ReadFile(sErrFile);
    return oResult;
}

TEST(HeadlessConverter, ExitStatusesAndOutput) {
    TempDir oDir;
    WriteFile(oDir / "site/a.html", "<object></object>");
    WriteFile(oDir / "site/b.htm", "<embed></embed>");

    CliResult oOk = RunCli(ShellQuote(oDir / "site") + "//", oDir);
    EXPECT_EQ(oOk.iStatus, 0);
    EXPECT_EQ(oOk.sOut, "Files Converted: 2 | Functions Replaced: 2\nYour new website(s) are visible at " +
                            (oDir / "site_Converted") + "\n");
    EXPECT_EQ(oOk.sErr, "");  // not a terminal: no progress line

    CliResult oAgain = RunCli(ShellQuote(oDir / "site"), oDir);
    EXPECT_EQ(oAgain.iStatus, 1);
    EXPECT_EQ(oAgain.sOut, "");
    EXPECT_EQ(oAgain.sErr, "A converted folder of this name already exists - have you already converted this one?\n");

    EXPECT_EQ(RunCli(ShellQuote(oDir / "missing"), oDir).iStatus, 1);
    CliResult oNoPatterns = RunCli("--patterns '' " + ShellQuote(oDir / "site"), oDir);
    EXPECT_EQ(oNoPatterns.iStatus, 1);
    EXPECT_EQ(oNoPatterns.sErr, "You must select a pattern...\n");

    for (const std::string& sBad : {std::string(""), std::string("--bogus x"), std::string("a b"),
                                    std::string("--patterns")}) {
        CliResult oUsage = RunCli(sBad, oDir);
        EXPECT_EQ(oUsage.iStatus, 2) << sBad;
        EXPECT_NE(oUsage.sErr.find("Usage: tagshift-convert"), std::string::npos) << sBad;
    }
    CliResult oHelp = RunCli("--help", oDir);
    EXPECT_EQ(oHelp.iStatus, 0);
    for (const char* sStatus : {"\n  0 ", "\n  1 ", "\n  2 ", "\n  3 ", "\n  4 "})
        EXPECT_NE(oHelp.sOut.find(sStatus), std::string::npos) << sStatus;
    EXPECT_EQ(RunCli("--version", oDir).sOut, "tagshift-convert 0.3\n");

    // --verbose shows every status on standard error; --patterns selects.
    WriteFile(oDir / "other/x.txt", "<object></object>");
    CliResult oVerbose = RunCli("--verbose --patterns='*.txt' " + ShellQuote(oDir / "other"), oDir);
    EXPECT_EQ(oVerbose.iStatus, 0);
    EXPECT_EQ(oVerbose.sErr,
              "Progress: Disabling Interface\nProgress: Checking Directory\nProgress: Checking File Names\n"
              "Progress: Copying Directory\nProgress: Preparing Javascript\nProgress: Checking File: x.txt\n"
              "Progress: Website Converted\n");
    EXPECT_NE(oVerbose.sOut.find("Files Converted: 1 | Functions Replaced: 1\n"), std::string::npos);
}

TEST(HeadlessConverter, FailedPagesAndFailedRuns) {
    TempDir oDir;
    WriteFile(oDir / "site/a.html", "<object></object>");
    stdfs::create_directories(oDir / "site/object.js");
    CliResult oPages = RunCli(ShellQuote(oDir / "site"), oDir);
    EXPECT_EQ(oPages.iStatus, 3);
    EXPECT_NE(oPages.sOut.find("\nPages Not Converted: 1 (see converter_log.txt)\n"), std::string::npos);
    EXPECT_NE(oPages.sErr.find("Failed File:" + (oDir / "site_Converted/a.html")), std::string::npos);
}

// Runs of the headless converter at the edges: sCommand is run by the shell
// in a fresh folder sWork that holds a small site; {cli} stands for the
// converter (run as sUser's prefix gives), {status} for a file outside sWork.
struct EdgeCase {
    const char* sName;
    std::function<void(const std::string& sWork)> fSetUp;
    std::string sCommand;
    int iStatus;
    std::function<void(const std::string& sWork, const CliResult& oResult)> fCheck;
};

void RunEdgeCases(const std::vector<EdgeCase>& aCases, const std::string& sPrefix, bool bGiveAway) {
    for (const EdgeCase& oCase : aCases) {
        TempDir oDir;
        ::chmod(oDir.Path().c_str(), 0755);
        const std::string sWork = oDir / "work";
        WriteFile(sWork + "/site/a.html", "<object>a</object>");
        WriteFile(sWork + "/site/sub/b.htm", "<embed>b</embed>");
        if (bGiveAway) {
            const struct passwd* pNobody = ::getpwnam("nobody");
            ASSERT_TRUE(pNobody && ::chown(sWork.c_str(), pNobody->pw_uid, pNobody->pw_gid) == 0);
        }
        oCase.fSetUp(sWork);
        std::string sCommand = oCase.sCommand;
        for (std::size_t iAt; (iAt = sCommand.find("{cli}")) != std::string::npos;)
            sCommand.replace(iAt, 5, sPrefix + ShellQuote(TAGSHIFT_CLI));
        for (std::size_t iAt; (iAt = sCommand.find("{status}")) != std::string::npos;)
            sCommand.replace(iAt, 8, ShellQuote(oDir / "status"));
        CliResult oResult{};
        oResult.iStatus = test::RunCommand("cd " + ShellQuote(sWork) + " && (" + sCommand + ") 2>" +
                                               ShellQuote(oDir / "stderr.txt") + " </dev/null",
                                           &oResult.sOut, false);
        oResult.sErr = ReadFile(oDir / "stderr.txt");
        EXPECT_EQ(oResult.iStatus, oCase.iStatus) << oCase.sName << "\n" << oResult.sErr;
        oCase.fCheck(sWork, oResult);
        test::RunCommand("chmod -R u+rwX " + ShellQuote(sWork));
    }
}

// The site converted completely beside its source, and nothing else there.
void ExpectConverted(const std::string& sWork, const char* sCase) {
    EXPECT_EQ(Leftovers(sWork), (std::vector<std::string>{"site_Converted"})) << sCase;
    if (!Exists(sWork + "/site_Converted/converter_log.txt")) return ADD_FAILURE() << sCase << ": no log";
    EXPECT_EQ(ReadFile(sWork + "/site_Converted/a.html"), kObj + "1();</script>") << sCase;
    EXPECT_EQ(ReadFile(sWork + "/site_Converted/sub/b.htm"), kEmb + "2();</script>") << sCase;
    const std::string sLog = ReadFile(sWork + "/site_Converted/converter_log.txt");
    EXPECT_NE(sLog.find("Copying Folder:" + sWork + "/site\r\n"), std::string::npos) << sCase << sLog;
    EXPECT_EQ(sLog.substr(sLog.size() - 16), "Process Complete") << sCase;
}

const char* const kExistsMessage = "A converted folder of this name already exists";

TEST(HeadlessConverter, EdgesOfSourcePathsDestinationsPatternsAndOutputs) {
    auto Nothing = [](const std::string&) {};
    const std::vector<EdgeCase> aCases = {
        {"source given as .", Nothing, "cd site && {cli} .", 0,
         [](const std::string& sWork, const CliResult& oResult) {
             ExpectConverted(sWork, ".");
             EXPECT_EQ(Snapshot(sWork + "/site").size(), 3u);
             EXPECT_NE(oResult.sOut.find("visible at " + sWork + "/site_Converted\n"), std::string::npos);
         }},
        {"source given as ..", Nothing, "cd site/sub && {cli} ..", 0,
         [](const std::string& sWork, const CliResult&) {
             ExpectConverted(sWork, "..");
             EXPECT_EQ(Snapshot(sWork + "/site").size(), 3u);
         }},
        {"a file named like the destination",
         [](const std::string& sWork) { WriteFile(sWork + "/site_Converted", "mine"); }, "{cli} site", 1,
         [](const std::string& sWork, const CliResult& oResult) {
             EXPECT_EQ(oResult.sErr.rfind(kExistsMessage, 0), 0u) << oResult.sErr;
             EXPECT_EQ(ReadFile(sWork + "/site_Converted"), "mine");
         }},
        {"a dangling link named like the destination",
         [](const std::string& sWork) { stdfs::create_symlink(sWork + "/nowhere", sWork + "/site_Converted"); },
         "{cli} site", 1,
         [](const std::string& sWork, const CliResult& oResult) {
             EXPECT_EQ(oResult.sErr.rfind(kExistsMessage, 0), 0u) << oResult.sErr;
             EXPECT_TRUE(stdfs::is_symlink(sWork + "/site_Converted"));
         }},
        {"no usable pattern", Nothing, "{cli} --patterns ';' site", 1,
         [](const std::string& sWork, const CliResult& oResult) {
             EXPECT_EQ(oResult.sErr, "You must select a pattern...\n");
             EXPECT_TRUE(Leftovers(sWork).empty());
         }},
        // The reader of the output is gone before anything is written.
        {"standard output read by nobody", Nothing,
         "{ sleep 0.05; {cli} site; echo $? >{status}; } | true; exit $(cat {status})", 0,
         [](const std::string& sWork, const CliResult&) { ExpectConverted(sWork, "stdout"); }},
        {"standard error read by nobody", Nothing,
         "{ sleep 0.05; {cli} --verbose site 2>&1 >/dev/null; echo $? >{status}; } | true; exit $(cat {status})", 0,
         [](const std::string& sWork, const CliResult&) { ExpectConverted(sWork, "stderr"); }},
    };
    RunEdgeCases(aCases, "", false);
}

// Permissions bind only an ordinary user: as root the cases run as nobody.
TEST(HeadlessConverter, EdgesOfPermissionsAsAnOrdinaryUser) {
    std::string sPrefix;
    const bool bRoot = ::geteuid() == 0;
    if (bRoot) {
        if (test::RunCommand("command -v setpriv >/dev/null && getent passwd nobody >/dev/null && "
                             "getent group nogroup >/dev/null") != 0)
            GTEST_SKIP() << "running as root without setpriv or the nobody user and nogroup group: the "
                            "permission cases cannot run as an ordinary user";
        sPrefix = "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
    }
    // The root folder is here too: should its refusal fail, an ordinary user
    // cannot start copying the whole file system.
    const std::vector<EdgeCase> aCases = {
        {"the root folder", [](const std::string&) {}, "{cli} /", 1,
         [](const std::string& sWork, const CliResult& oResult) {
             EXPECT_NE(oResult.sErr.find("cannot be converted"), std::string::npos) << oResult.sErr;
             EXPECT_FALSE(Exists("/_Converted"));
             EXPECT_TRUE(Leftovers(sWork).empty());
         }},
        {"an unreadable page",
         [](const std::string& sWork) {
             WriteFile(sWork + "/site/p.htm", "<object>p</object>");
             ::chmod((sWork + "/site/p.htm").c_str(), 0);
         },
         "{cli} site", 3,
         [](const std::string& sWork, const CliResult& oResult) {
             EXPECT_NE(oResult.sErr.find("Failed File:" + sWork + "/site_Converted/p.htm"), std::string::npos)
                 << oResult.sErr;
             ASSERT_TRUE(Exists(sWork + "/site_Converted/converter_log.txt"));
             EXPECT_EQ(ReadFile(sWork + "/site_Converted/a.html"), kObj + "1();</script>");
             EXPECT_NE(ReadFile(sWork + "/site_Converted/converter_log.txt").find("Failed File:"), std::string::npos);
         }},
        {"a read-only script file",
         [](const std::string& sWork) {
             WriteFile(sWork + "/site/object.js", "// own\n");
             ::chmod((sWork + "/site/object.js").c_str(), 0444);
         },
         "{cli} site", 0,
         [](const std::string& sWork, const CliResult&) {
             ExpectConverted(sWork, "read-only object.js");
             ASSERT_TRUE(Exists(sWork + "/site_Converted/object.js"));
             EXPECT_EQ(ReadFile(sWork + "/site_Converted/object.js").rfind("// own\nfunction InsertObject1()", 0),
                       0u);
             EXPECT_EQ(stdfs::status(sWork + "/site_Converted/object.js").permissions(), stdfs::perms(0644));
         }},
        {"a folder that cannot be listed",
         [](const std::string& sWork) {
             WriteFile(sWork + "/site/locked/x.gif", "GIF");
             ::chmod((sWork + "/site/locked").c_str(), 0);
         },
         "{cli} site", 4,
         [](const std::string& sWork, const CliResult& oResult) {
             EXPECT_NE(oResult.sErr.find(sWork + "/site/locked"), std::string::npos) << oResult.sErr;
             EXPECT_TRUE(Leftovers(sWork).empty());
         }},
    };
    RunEdgeCases(aCases, sPrefix, bRoot);
}

// Starts the converter with --verbose and kills it with SIGKILL once it has
// written iLines status lines (never, when iLines is 0). Returns the number
// of lines it wrote.
int RunAndKill(const std::string& sDir, int iLines) {
    int aPipe[2];
    if (::pipe(aPipe) != 0) return -1;
    const pid_t iChild = ::fork();
    if (iChild == 0) {
        if (::chdir(sDir.c_str()) != 0) ::_exit(127);
        ::dup2(aPipe[1], 2);
        const int iNull = ::open("/dev/null", O_WRONLY);
        ::dup2(iNull, 1);
        ::close(aPipe[0]);
        ::close(aPipe[1]);
        ::execl(TAGSHIFT_CLI, TAGSHIFT_CLI, "--verbose", "site", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(aPipe[1]);
    int iSeen = 0;
    char aBuffer[4096];
    for (ssize_t iRead; (iRead = ::read(aPipe[0], aBuffer, sizeof aBuffer)) > 0;) {
        for (ssize_t i = 0; i < iRead; ++i) iSeen += aBuffer[i] == '\n';
        if (iLines > 0 && iSeen >= iLines) {
            ::kill(iChild, SIGKILL);
            break;
        }
    }
    ::close(aPipe[0]);
    int iStatus = 0;
    ::waitpid(iChild, &iStatus, 0);
    return iSeen;
}

TEST(HeadlessConverter, AKilledRunLeavesTheDestinationAbsentOrComplete) {
    TempDir oDir;
    WriteFile(oDir / "site/converter_log.txt", "Process Started\r\nProcess Complete");
    for (int iFolder = 0; iFolder < 3; ++iFolder)
        for (int iPage = 0; iPage < 30; ++iPage)
            WriteFile(oDir / ("site/f" + std::to_string(iFolder) + "/p" + std::to_string(iPage) + ".html"),
                      std::string(2000, 'x') + "<object>" + std::to_string(iPage) + "</object>\r\n<embed></embed>");
    const int iLines = RunAndKill(oDir.Path(), 0);
    const auto aComplete = Snapshot(oDir / "site_Converted");
    ASSERT_EQ(aComplete.at("f2/p9.html").find("<object"), std::string::npos);
    stdfs::remove_all(oDir / "site_Converted");

    for (int iAt : {1, 4, 5, 6, iLines / 4, iLines / 2, iLines * 3 / 4, iLines - 2, iLines - 1}) {
        RunAndKill(oDir.Path(), iAt);
        if (Exists(oDir / "site_Converted")) {
            auto aLeft = Snapshot(oDir / "site_Converted");
            auto aExpected = aComplete;
            // Killed between the rename and the log: everything but the log.
            if (aLeft.count("converter_log.txt") == 0) aExpected.erase("converter_log.txt");
            EXPECT_EQ(aLeft, aExpected) << "killed after line " << iAt;
            stdfs::remove_all(oDir / "site_Converted");
        }
        for (const std::string& sLeft : Leftovers(oDir.Path())) {
            EXPECT_EQ(sLeft.rfind("site_Converted.incomplete-", 0), 0u) << sLeft;
            stdfs::remove_all(oDir / sLeft);
        }
    }
}

}  // namespace
}  // namespace tagshift

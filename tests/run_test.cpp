// Whole conversion runs on real folder trees, driven through a recording
// host, and the headless converter's command line.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "TestSupport.h"
#include "convert/Conversion.h"
#include "fs/FileSystem.h"

namespace tagshift {
namespace {

using test::Exists;
using test::Leftovers;
using test::ReadFile;
using test::RecordingObserver;
using test::Native;
using test::Snapshot;
using test::TempDir;
using test::WriteFile;
namespace stdfs = std::filesystem;

const std::string kObj = "<script src='object.js' type='text/javascript'></script><script type='text/javascript'>InsertObject";
const std::string kEmb = "<script src='embed.js' type='text/javascript'></script><script type='text/javascript'>InsertEmbed";

std::vector<std::string> CheckedFiles(const RecordingObserver& oHost) {
    std::vector<std::string> aNames;
    const std::string sPrefix = "Progress: Checking File: ";
    for (const std::string& sStatus : oHost.aStatuses)
        if (sStatus.rfind(sPrefix, 0) == 0) aNames.push_back(sStatus.substr(sPrefix.size()));
    return aNames;
}

struct Fixture {
    TempDir oDir;
    RecordingObserver oHost;
    ConversionRequest oRequest;
    ConversionResult oResult;
    std::string Source() const { return oDir / "site"; }
    std::string Dest() const { return oDir / "site_Converted"; }
    void Run() { oResult = tagshift::Convert(oRequest, oHost); }
    void Convert() {
        oRequest.sourceFolder = Source();
        Run();
    }
};

TEST(ConversionRun, CompletedRunShowsLogsAndWritesEverything) {
    Fixture f;
    WriteFile(f.Source() + Native("/index.html"), "<p>\r\n<object data=a>\r\n<param name=b>\r\n</object>\r\n<embed src=c></embed>");
    WriteFile(f.Source() + Native("/plain.htm"), "no blocks here\n");
    WriteFile(f.Source() + Native("/image.gif"), "GIF89a");
    WriteFile(f.Source() + Native("/sub/page.php"), "<object></object>");
    f.Convert();

    const std::vector<std::string> aFirst(f.oHost.aStatuses.begin(), f.oHost.aStatuses.begin() + 5);
    EXPECT_EQ(aFirst, (std::vector<std::string>{"Progress: Disabling Interface", "Progress: Checking Directory",
                                                "Progress: Checking File Names", "Progress: Copying Directory",
                                                "Progress: Preparing Javascript"}));
    EXPECT_EQ(CheckedFiles(f.oHost), (std::vector<std::string>{"image.gif", "index.html", "plain.htm", "page.php"}));
    EXPECT_EQ(f.oHost.aStatuses.back(), "Progress: Checking File: page.php");
    // Three pages selected by the copy, each reported when done.
    EXPECT_EQ(f.oHost.aProgress, (std::vector<std::pair<long long, long long>>{{0, 3}, {1, 3}, {2, 3}, {3, 3}}));

    EXPECT_EQ(f.oResult.summary,
              "Files Converted: 3 | Functions Replaced: 3\r\nYour new website(s) are visible at " + f.Dest());
    EXPECT_TRUE(f.oResult.error.empty());
    EXPECT_EQ(f.oResult.outcome, RunOutcome::Completed);
    EXPECT_EQ(f.oResult.logPath, f.Dest() + Native("/converter_log.txt"));

    EXPECT_EQ(ReadFile(f.Dest() + Native("/converter_log.txt")),
              "Process Started\r\nCopying Folder:" + f.Source() + "\r\nDestination Folder:" + f.Dest() +
                  "\r\nProcessing File:" + f.Dest() + Native("/index.html\r\nProcessing File:") + f.Dest() +
                  Native("/plain.htm\r\nProcessing File:") + f.Dest() + Native("/sub/page.php\r\nProcess Complete"));
    EXPECT_EQ(ReadFile(f.Dest() + Native("/index.html")), "<p>\r\n" + kObj + "1();</script>\r\n" + kEmb + "2();</script>");
    EXPECT_EQ(ReadFile(f.Dest() + Native("/object.js")),
              "function InsertObject1()\r\n{\r\ndocument.write('<object data=a>\\r\\n');\r\n"
              "document.write('<param name=b>\\r\\n');\r\ndocument.write('</object>');\r\n}\r\n");
    EXPECT_EQ(ReadFile(f.Dest() + Native("/embed.js")),
              "function InsertEmbed2()\r\n{\r\ndocument.write('<embed src=c></embed>');\r\n}\r\n");
    EXPECT_EQ(ReadFile(f.Dest() + Native("/plain.htm")), "no blocks here\n");
    EXPECT_EQ(ReadFile(f.Dest() + Native("/sub/page.php")), kObj + "3();</script>");
    EXPECT_EQ(ReadFile(f.Dest() + Native("/sub/object.js")),
              "function InsertObject3()\r\n{\r\ndocument.write('<object></object>');\r\n}\r\n");
    EXPECT_FALSE(Exists(f.Dest() + Native("/sub/embed.js")));
}

TEST(ConversionRun, WalkVisitsFilesBeforeSubfoldersInByteOrder) {
    Fixture f;
    for (const char* sPath : {"a2", "a1", "D/d1", "B/C/c1", "B/b1"}) WriteFile(f.Source() + Native("/") + sPath, "");
    stdfs::create_directories(f.Source() + Native("/B/empty"));
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
        bool bNeedsLinks = false;
    };
    const std::vector<Case> aCases = {
        {"no folder chosen", [](Fixture& f) { f.oRequest.sourceFolder = ""; },
         "No folder chosen or chosen folder does not exist...", "No Folder chosen or Folder does not exist",
         "Progress: Checking Directory"},
        {"a file, not a folder",
         [](Fixture& f) {
             WriteFile(f.oDir / "file", "x");
             f.oRequest.sourceFolder = f.oDir / "file";
         },
         "No folder chosen or chosen folder does not exist...", "No Folder chosen or Folder does not exist",
         "Progress: Checking Directory"},
        {"empty pattern list",
         [](Fixture& f) {
             WriteFile(f.Source() + Native("/a.html"), "");
             f.oRequest.sourceFolder = f.Source();
             f.oRequest.patterns = "";
         },
         "You must select a pattern...", "No file types available", "Progress: Checking File Names"},
        {"only pieces too short to select anything",
         [](Fixture& f) {
             WriteFile(f.Source() + Native("/a.html"), "");
             f.oRequest.sourceFolder = f.Source();
             f.oRequest.patterns = ";x;";
         },
         "You must select a pattern...", "No file types available", "Progress: Checking File Names"},
        {"a file has the destination's name",
         [](Fixture& f) {
             WriteFile(f.Source() + Native("/a.html"), "");
             WriteFile(f.Dest(), "not a folder");
             f.oRequest.sourceFolder = f.Source();
         },
         "A converted folder of this name already exists - have you already converted this one?",
         "Converted folder already exists", "Progress: Copying Directory"},
        {"a dangling link has the destination's name",
         [](Fixture& f) {
             WriteFile(f.Source() + Native("/a.html"), "");
             stdfs::create_symlink(f.oDir / "nowhere", f.Dest());
             f.oRequest.sourceFolder = f.Source();
         },
         "A converted folder of this name already exists - have you already converted this one?",
         "Converted folder already exists", "Progress: Copying Directory", true},
        {"destination exists",
         [](Fixture& f) {
             WriteFile(f.Source() + Native("/a.html"), "");
             WriteFile(f.Dest() + Native("/earlier.txt"), "earlier result");
             f.oRequest.sourceFolder = f.Source();
         },
         "A converted folder of this name already exists - have you already converted this one?",
         "Converted folder already exists", "Progress: Copying Directory"},
    };
    for (const Case& oCase : aCases) {
        if (oCase.bNeedsLinks && !test::LinksAndModes()) continue;
        Fixture f;
        oCase.fSetUp(f);
        const auto aBefore = Snapshot(f.oDir.Path());
        f.Run();
        EXPECT_EQ(Snapshot(f.oDir.Path()), aBefore) << oCase.sName;
        EXPECT_EQ(f.oResult.outcome, RunOutcome::Refused) << oCase.sName;
        EXPECT_EQ(f.oResult.log, "Process Started\r\n" + oCase.sLogLine + "\r\n") << oCase.sName;
        EXPECT_EQ(f.oHost.aStatuses.back(), oCase.sStatus) << oCase.sName;
        EXPECT_EQ(f.oResult.pagesConverted, 0) << oCase.sName;
        EXPECT_EQ(f.oResult.functionsReplaced, 0) << oCase.sName;
        EXPECT_EQ(f.oResult.error, oCase.sError) << oCase.sName;
        EXPECT_TRUE(f.oResult.summary.empty()) << oCase.sName;
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
        for (const std::string& sName : aNames) WriteFile(f.Source() + Native("/") + sName, "<object></object>");
        f.oRequest.patterns = oCase.sPatterns;
        f.Convert();
        std::vector<std::string> aProcessed;
        std::size_t iAt = 0;
        const std::string sPrefix = "Processing File:" + f.Dest() + Native("/");
        while ((iAt = f.oResult.log.find(sPrefix, iAt)) != std::string::npos) {
            iAt += sPrefix.size();
            aProcessed.push_back(f.oResult.log.substr(iAt, f.oResult.log.find('\r', iAt) - iAt));
        }
        EXPECT_EQ(aProcessed, oCase.aProcessed) << oCase.sPatterns;
        EXPECT_EQ(f.oResult.pagesConverted, static_cast<long long>(oCase.aProcessed.size())) << oCase.sPatterns;
        EXPECT_EQ(f.oResult.outcome, RunOutcome::Completed) << oCase.sPatterns;
    }
}

TEST(ConversionRun, ScriptFilesPerFolderKeepEarlierContentAndRunWideNumbers) {
    Fixture f;
    WriteFile(f.Source() + Native("/object.js"), "// site's own script\n");
    WriteFile(f.Source() + Native("/embed.js"), "// ends in a lone CR\r");
    WriteFile(f.Source() + Native("/sub/object.js"), "// no line end");
    WriteFile(f.Source() + Native("/a.html"), "<object>1</object><object>2</object>");
    WriteFile(f.Source() + Native("/b.html"), "<embed>3</embed><object>4</object>");
    WriteFile(f.Source() + Native("/sub/c.html"), "<object>5</object>");
    f.Convert();
    EXPECT_EQ(ReadFile(f.Dest() + Native("/object.js")),
              "// site's own script\n"
              "function InsertObject1()\r\n{\r\ndocument.write('<object>1</object>');\r\n}\r\n"
              "function InsertObject2()\r\n{\r\ndocument.write('<object>2</object>');\r\n}\r\n"
              "function InsertObject3()\r\n{\r\ndocument.write('<object>4</object>');\r\n}\r\n");
    EXPECT_EQ(ReadFile(f.Dest() + Native("/embed.js")),
              "// ends in a lone CR\r"
              "function InsertEmbed4()\r\n{\r\ndocument.write('<embed>3</embed>');\r\n}\r\n");
    EXPECT_EQ(ReadFile(f.Dest() + Native("/sub/object.js")),
              "// no line end\r\n"
              "function InsertObject5()\r\n{\r\ndocument.write('<object>5</object>');\r\n}\r\n");
    EXPECT_EQ(ReadFile(f.Source() + Native("/object.js")), "// site's own script\n");
}

TEST(ConversionRun, APageThatCannotBeConvertedKeepsItsCopyAndIsReported) {
    Fixture f;
    WriteFile(f.Source() + Native("/a.html"), "<object>a</object>");
    // In "broken" the embed script cannot be written (a folder has its name):
    // the page's object function that was already appended is taken back.
    WriteFile(f.Source() + Native("/broken/b.html"), "<object>b</object><embed>b</embed>");
    WriteFile(f.Source() + Native("/broken/c.html"), "<object>c</object>");
    stdfs::create_directories(f.Source() + Native("/broken/embed.js"));
    // A page that cannot be read, and one that cannot be written back (for
    // a reason of its own: a full disk would end the run).
    WriteFile(f.Source() + Native("/d.html"), "<object>d</object>");
    WriteFile(f.Source() + Native("/e.html"), "<object>e</object>");
    WriteFile(f.Source() + Native("/z.html"), "<embed>z</embed>");
    // And one that can be neither converted nor copied: the run goes on.
    WriteFile(f.Source() + Native("/f.html"), "<object>f</object>");
    fs::ScopedFaultHook oHook([](fs::FsOp eOp, const std::string& sPath) -> std::string {
        if (eOp == fs::FsOp::Read && sPath.find(Native("/d.html")) != std::string::npos) return "Permission denied";
        if (eOp == fs::FsOp::WriteAtomic && sPath.find(Native("/e.html")) != std::string::npos)
            return "Operation not permitted";
        if ((eOp == fs::FsOp::WriteAtomic || eOp == fs::FsOp::CopyFile) &&
            sPath.find(Native("/f.html")) != std::string::npos)
            return "File name too long";
        return "";
    });
    f.Convert();

    EXPECT_EQ(f.oResult.outcome, RunOutcome::CompletedWithFailures);
    EXPECT_EQ(f.oResult.pagesFailed, 4);
    EXPECT_EQ(f.oResult.pagesConverted, 3);      // a, c, z
    EXPECT_EQ(f.oResult.functionsReplaced, 3);  // one block each
    EXPECT_EQ(f.oResult.summary, "Files Converted: 3 | Functions Replaced: 3\r\n"
                                 "Your new website(s) are visible at " + f.Dest() +
                                     "\r\nPages Not Converted: 4 (see converter_log.txt)");
    EXPECT_EQ(f.oResult.failedEntries.size(), 4u);
    const std::string sLog = ReadFile(f.Dest() + Native("/converter_log.txt"));
    // A name too long is named as it failed: under the temporary name.
    EXPECT_NE(sLog.find("Failed File:" + f.Dest() + Native("/f.html - ") + f.Dest() + ".incomplete-"), std::string::npos)
        << sLog;
    EXPECT_NE(sLog.find(Native("/f.html: File name too long; not copied either: File name too long\r\n")),
              std::string::npos)
        << sLog;
    EXPECT_FALSE(Exists(f.Dest() + Native("/f.html")));
    EXPECT_NE(sLog.find("Processing File:" + f.Dest() + Native("/broken/b.html\r\nFailed File:") + f.Dest() +
                        Native("/broken/b.html - ") + f.Dest() + Native("/broken/embed.js: Is a directory\r\n")),
              std::string::npos)
        << sLog;
    EXPECT_NE(sLog.find("Failed File:" + f.Dest() + Native("/d.html - Permission denied\r\n")), std::string::npos);
    EXPECT_NE(sLog.find("Failed File:" + f.Dest() + Native("/e.html - Operation not permitted\r\n")),
              std::string::npos);

    for (const char* sPage : {"/broken/b.html", "/d.html", "/e.html"})
        EXPECT_EQ(ReadFile(f.Dest() + Native(sPage)), ReadFile(f.Source() + Native(sPage))) << sPage;
    // The failed pages' numbers are reused: the script files hold exactly
    // the functions of the converted pages.
    EXPECT_EQ(ReadFile(f.Dest() + Native("/object.js")),
              "function InsertObject1()\r\n{\r\ndocument.write('<object>a</object>');\r\n}\r\n");
    EXPECT_EQ(ReadFile(f.Dest() + Native("/embed.js")),
              "function InsertEmbed2()\r\n{\r\ndocument.write('<embed>z</embed>');\r\n}\r\n");
    EXPECT_EQ(ReadFile(f.Dest() + Native("/z.html")), kEmb + "2();</script>");
    EXPECT_EQ(ReadFile(f.Dest() + Native("/broken/object.js")),
              "function InsertObject3()\r\n{\r\ndocument.write('<object>c</object>');\r\n}\r\n");
    // No temporary file is left anywhere.
    for (const auto& [sPath, sEntry] : Snapshot(f.Dest()))
        EXPECT_EQ(sPath.find(".tagshift-"), std::string::npos) << sPath;
}

TEST(ConversionRun, LinksAreCopiedButNeverFollowedOrWritten) {
    if (!test::LinksAndModes()) GTEST_SKIP() << test::kNoLinksAndModes;
    Fixture f;
    WriteFile(f.oDir / "outside/page.html", "<object>outside</object>");
    WriteFile(f.oDir / "outside/object.js", "// not ours\n");
    WriteFile(f.Source() + Native("/in/page.html"), "<object>in</object>");
    stdfs::create_symlink(f.oDir / "outside/page.html", f.Source() + Native("/linked.html"));
    stdfs::create_directory_symlink(f.oDir / "outside", f.Source() + Native("/linked-folder"));
    stdfs::create_symlink(f.oDir / "outside/object.js", f.Source() + Native("/in/object.js"));
    const auto aOutside = Snapshot(f.oDir / "outside");
    f.Convert();
    EXPECT_EQ(Snapshot(f.oDir / "outside"), aOutside);
    EXPECT_TRUE(stdfs::is_symlink(f.Dest() + Native("/linked.html")));
    EXPECT_TRUE(stdfs::is_symlink(f.Dest() + Native("/linked-folder")));
    EXPECT_EQ(CheckedFiles(f.oHost), (std::vector<std::string>{"page.html"}));
    EXPECT_EQ(f.oResult.pagesFailed, 1);  // its script file is a link out of the tree
    EXPECT_EQ(ReadFile(f.Dest() + Native("/in/page.html")), "<object>in</object>");
}

TEST(ConversionRun, RunWithMoreThan32767BlocksAndLongPages) {
    Fixture f;
    std::string sPage(40000, ' ');
    for (int i = 0; i < 12000; ++i) sPage += "<object>" + std::to_string(i) + "</object>\r\n";
    for (const char* sName : {"/a.html", "/b.html", "/c.html"}) WriteFile(f.Source() + Native(sName), sPage);
    f.Convert();
    EXPECT_EQ(f.oResult.functionsReplaced, 36000);
    EXPECT_EQ(f.oResult.outcome, RunOutcome::Completed);
    const std::string sConverted = ReadFile(f.Dest() + Native("/c.html"));
    EXPECT_EQ(sConverted.substr(0, 40000), std::string(40000, ' '));
    EXPECT_NE(sConverted.find("InsertObject36000();</script>\r\n"), std::string::npos);
    EXPECT_NE(ReadFile(f.Dest() + Native("/object.js")).find("function InsertObject36000()\r\n"), std::string::npos);
}

TEST(ConversionRun, AnyFormOfTheSourcePathConvertsBesideItAndAnOldLogIsReplaced) {
    for (const std::string sForm : {"/", "//./", "/sub/..", "/./sub/../"}) {
        Fixture f;
        WriteFile(f.Source() + Native("/converter_log.txt"), "old log");
        WriteFile(f.Source() + Native("/sub/a.html"), "<object></object>");
        const auto aBefore = Snapshot(f.Source());
        f.oRequest.sourceFolder = f.Source() + sForm;
        f.Run();
        EXPECT_EQ(f.oResult.outcome, RunOutcome::Completed) << sForm;
        EXPECT_EQ(f.oResult.convertedFolder, f.Dest()) << sForm;
        EXPECT_EQ(Snapshot(f.Source()), aBefore) << sForm;
        EXPECT_EQ(ReadFile(f.Dest() + Native("/converter_log.txt")).substr(0, 17 + 15 + f.Source().size() + 2),
                  "Process Started\r\nCopying Folder:" + f.Source() + "\r\n")
            << sForm;
        EXPECT_EQ(Leftovers(f.oDir.Path()), (std::vector<std::string>{"site_Converted"})) << sForm;
    }
}

TEST(ConversionRun, TheNewTreeTakesItsNameOnlyWhenCompleteAndNeverReplacesAnEntry) {
    Fixture f;
    WriteFile(f.Source() + Native("/a.html"), "<object></object>");
    WriteFile(f.Source() + Native("/b.html"), "<object></object>");
    std::vector<std::string> aDuringWalk;
    f.oHost.fOnStatus = [&](const std::string& sStatus) {
        if (sStatus != "Progress: Checking File: b.html") return;
        aDuringWalk = Leftovers(f.oDir.Path());
        WriteFile(f.Dest() + Native("/meanwhile.txt"), "someone else's");
    };
    f.Convert();
    ASSERT_EQ(aDuringWalk.size(), 1u);
    EXPECT_EQ(aDuringWalk[0].size(), std::string("site_Converted.incomplete-").size() + 6) << aDuringWalk[0];
    EXPECT_EQ(aDuringWalk[0].rfind("site_Converted.incomplete-", 0), 0u) << aDuringWalk[0];
    EXPECT_EQ(f.oResult.outcome, RunOutcome::Refused);
    EXPECT_EQ(f.oResult.error,
              "A converted folder of this name already exists - have you already converted this one?");
    EXPECT_EQ(Snapshot(f.Dest()), (std::map<std::string, std::string>{{"meanwhile.txt", "F:someone else's"}}));
    EXPECT_EQ(Leftovers(f.oDir.Path()), (std::vector<std::string>{"site_Converted"}));
}

TEST(ConversionRun, StopRequests) {
    // A stop request ends the run after the page in progress, quietly, and
    // leaves nothing: not even a log copied from the source.
    {
        Fixture f;
        for (const char* sName : {"/a.html", "/b.html", "/c.html", "/d/e.htm"})
            WriteFile(f.Source() + sName, "<object></object>");
        WriteFile(f.Source() + Native("/converter_log.txt"), "Process Started\r\nProcess Complete");
        f.oHost.fOnStatus = [&](const std::string& sStatus) {
            if (sStatus == "Progress: Checking File: b.html") f.oHost.bStop = true;
        };
        f.Convert();
        EXPECT_EQ(f.oResult.outcome, RunOutcome::Stopped);
        EXPECT_TRUE(f.oResult.error.empty());
        EXPECT_TRUE(Leftovers(f.oDir.Path()).empty());
        EXPECT_EQ(f.oHost.aStatuses.back(), "Progress: Checking File: b.html");
    }
    // A stop request during the copy takes the partial copy away.
    {
        Fixture f;
        WriteFile(f.Source() + Native("/a/x.html"), "x");
        WriteFile(f.Source() + Native("/b/y.html"), "y");
        int iYieldsWhileCopying = 0;  // the first is the status text's own
        f.oHost.fOnYield = [&] {
            if (f.oHost.aStatuses.back() == "Progress: Copying Directory" && ++iYieldsWhileCopying == 2)
                f.oHost.bStop = true;
        };
        f.Convert();
        EXPECT_EQ(f.oResult.outcome, RunOutcome::Stopped);
        EXPECT_EQ(iYieldsWhileCopying, 2);
        EXPECT_TRUE(f.oResult.error.empty());
        EXPECT_TRUE(Leftovers(f.oDir.Path()).empty());
    }
}

TEST(ConversionRun, CopiesKeepModesAndTimesAndScriptFilesAreNeverPages) {
    Fixture f;
    WriteFile(f.Source() + Native("/plain.html"), "no blocks");
    WriteFile(f.Source() + Native("/page.html"), "<object></object>");
    WriteFile(f.Source() + Native("/embed.js"), "// <embed></embed>\n");
    for (const char* sName : {"/plain.html", "/page.html"}) {
        if (test::LinksAndModes()) stdfs::permissions(f.Source() + sName, stdfs::perms(0604));
        stdfs::last_write_time(f.Source() + Native(sName),
                               stdfs::file_time_type::clock::now() - std::chrono::hours(48));
    }
    f.oRequest.patterns = "*.html;*.js";
    f.Convert();
    EXPECT_EQ(f.oResult.pagesConverted, 2);
    EXPECT_EQ(ReadFile(f.Dest() + Native("/embed.js")), "// <embed></embed>\n");
    for (const char* sName : {"/plain.html", "/page.html"}) {
        if (test::LinksAndModes()) {
            EXPECT_EQ(stdfs::status(f.Dest() + sName).permissions(), stdfs::perms(0604)) << sName;
        }
    }
    EXPECT_EQ(stdfs::last_write_time(f.Dest() + Native("/plain.html")),
              stdfs::last_write_time(f.Source() + Native("/plain.html")));
    EXPECT_GT(stdfs::last_write_time(f.Dest() + Native("/page.html")),
              stdfs::last_write_time(f.Source() + Native("/page.html")));
}

// What the source will not give is a failure of that entry, logged and
// counted, and the run goes on: the published tree holds everything else.
TEST(ConversionRun, UnreadableEntriesAreFailuresNotTheEnd) {
    struct Case {
        const char* sName;
        fs::FsOp eOp;
        std::string sEntry;   // below the source
        std::string sReason;  // injected
        std::string sLine;    // the log line ("{dest}": the converted folder, "{reason}": the reason)
        long long iPagesFailed;
        long long iNotCopied;
    };
    const std::vector<Case> aCases = {
        {"an image that cannot be read", fs::FsOp::CopyFile, "/img/secret.gif", "Permission denied",
         "Failed File:{dest}/img/secret.gif - not copied: {reason}", 0, 1},
        {"an image on a failing disk", fs::FsOp::CopyFile, "/img/secret.gif", "Input/output error",
         "Failed File:{dest}/img/secret.gif - not copied: {reason}", 0, 1},
        {"a folder that cannot be listed", fs::FsOp::ListFolder, "/img", "Permission denied",
         "Failed Folder:{dest}/img - not copied: {reason}", 0, 1},
        {"a page that cannot be read", fs::FsOp::Read, "/b.html", "Input/output error",
         "Failed File:{dest}/b.html - {reason}; not copied either: {reason}", 1, 0},
    };
    for (const Case& oCase : aCases) {
        Fixture f;
        WriteFile(f.Source() + Native("/a.html"), "no blocks");
        WriteFile(f.Source() + Native("/b.html"), "no blocks either");
        WriteFile(f.Source() + Native("/img/secret.gif"), "GIF89a");
        WriteFile(f.Source() + Native("/img/open.gif"), "GIF89a");
        WriteFile(f.Source() + Native("/z/c.htm"), "<object></object>");
        const std::string sEntry = f.Source() + Native(oCase.sEntry);
        fs::ScopedFaultHook oHook([&](fs::FsOp eOp, const std::string& sPath) {
            // A page's copy as it was reads it again.
            const bool bOp = eOp == oCase.eOp || (oCase.eOp == fs::FsOp::Read && eOp == fs::FsOp::CopyFile);
            return bOp && sPath == sEntry ? oCase.sReason : std::string();
        });
        f.Convert();
        std::string sLine = Native(oCase.sLine);
        sLine.replace(sLine.find("{dest}"), 6, f.Dest());
        for (std::size_t iAt; (iAt = sLine.find("{reason}")) != std::string::npos;)
            sLine.replace(iAt, 8, oCase.sReason);
        EXPECT_EQ(f.oResult.outcome, RunOutcome::CompletedWithFailures) << oCase.sName << f.oResult.error;
        EXPECT_EQ(f.oResult.failedEntries, std::vector<std::string>{sLine}) << oCase.sName;
        EXPECT_EQ(f.oResult.pagesFailed, oCase.iPagesFailed) << oCase.sName;
        EXPECT_EQ(f.oResult.entriesNotCopied, oCase.iNotCopied) << oCase.sName;
        EXPECT_NE(f.oResult.summary.find(oCase.iNotCopied ? "\r\nFiles and Folders Not Copied: 1 (see converter_log.txt)"
                                                          : "\r\nPages Not Converted: 1 (see converter_log.txt)"),
                  std::string::npos)
            << oCase.sName << f.oResult.summary;
        // Everything else is there, the converted page included.
        auto aExpected = Snapshot(f.Source());
        for (auto oIt = aExpected.begin(); oIt != aExpected.end();)
            oIt = oIt->first.rfind(Native(oCase.sEntry.substr(1)), 0) == 0 ? aExpected.erase(oIt) : std::next(oIt);
        aExpected[Native("z/c.htm")] = "F:" + kObj + "1();</script>";
        aExpected[Native("z/object.js")] = "F:function InsertObject1()\r\n{\r\ndocument.write('<object></object>');\r\n}\r\n";
        aExpected["converter_log.txt"] = "F:" + f.oResult.log;
        EXPECT_EQ(Snapshot(f.Dest()), aExpected) << oCase.sName;
        EXPECT_NE(f.oResult.log.find(sLine + "\r\n"), std::string::npos) << oCase.sName;
    }
}

// A write into the new tree that fails for lack of room, a quota or an I/O
// error, the log, a page's copy that the tree cannot take, or a lack of
// open files end the run: nothing is left under any name, the error says
// what failed, and the pages that failed before are still named.
TEST(ConversionRun, WhatTheNewTreeCannotTakeEndsTheRunAndLeavesNothing) {
    struct Case {
        const char* sName;
        fs::FsOp eOp;
        std::string sEntry;   // below the new tree ("{tree}") or the source
        std::string sReason;  // injected
        std::string sError;   // "{dest}", "{source}": the two folders; "{reason}": the reason
        int iFailedBefore;  // a.html (unreadable) and b.html (not written back) fail in that order
    };
    const std::vector<Case> aCases = {
        {"a page on a full disk", fs::FsOp::WriteAtomic, "{tree}/c.html", "No space left on device",
         "The converted folder could not be written: {dest}/c.html - {reason}", 2},
        {"a script file on a failing disk", fs::FsOp::Append, "{tree}/object.js", "Input/output error",
         "The converted folder could not be written: {dest}/object.js - {reason}", 1},
        {"an image copied onto a full disk", fs::FsOp::CopyFile, "{tree}/img/x.gif", "No space left on device",
         "The folder could not be copied: {dest}/img/x.gif - {reason}", 0},
        {"the log", fs::FsOp::WriteAtomic, "{tree}/converter_log.txt", "Read-only file system",
         "The run log could not be written: {dest}/converter_log.txt - {reason}", 2},
        {"a page without its copy", fs::FsOp::CopyFile, "{tree}/b.html", "Operation not permitted",
         "The converted folder could not be written: {dest}/b.html - {reason}", 2},
        {"open files run out", fs::FsOp::Read, "/c.html", "Too many open files",
         "The site could not be converted: {source}/c.html - {reason}", 2},
    };
    for (const Case& oCase : aCases) {
        Fixture f;
        WriteFile(f.Source() + Native("/a.html"), "<object>a</object>");
        WriteFile(f.Source() + Native("/b.html"), "<object>b</object>");
        WriteFile(f.Source() + Native("/c.html"), "<object>c</object>");
        WriteFile(f.Source() + Native("/img/x.gif"), "GIF89a");
        {
        fs::ScopedFaultHook oHook([&](fs::FsOp eOp, const std::string& sPath) {
            // a.html cannot be read; b.html cannot be written back (a reason
            // of its own): both are that page's failure.
            if (eOp == fs::FsOp::Read && sPath == f.Source() + Native("/a.html")) return std::string("Permission denied");
            if (eOp == fs::FsOp::WriteAtomic && sPath.find(Native("/b.html")) != std::string::npos)
                return std::string("Operation not permitted");
            if (eOp != oCase.eOp) return std::string();
            const std::size_t iTree = sPath.find(".incomplete-");
            const std::string sBelow = iTree == std::string::npos ? sPath.substr(f.Source().size())
                                                                  : "{tree}" + sPath.substr(iTree + 18);
            return sBelow == Native(oCase.sEntry) ? oCase.sReason : std::string();
        });
        f.Convert();
        }
        std::string sError = Native(oCase.sError);
        if (std::size_t iAt = sError.find("{dest}"); iAt != std::string::npos) sError.replace(iAt, 6, f.Dest());
        if (std::size_t iAt = sError.find("{source}"); iAt != std::string::npos) sError.replace(iAt, 8, f.Source());
        sError.replace(sError.find("{reason}"), 8, oCase.sReason);
        EXPECT_EQ(f.oResult.outcome, RunOutcome::Failed) << oCase.sName;
        EXPECT_EQ(f.oResult.error, sError) << oCase.sName;
        EXPECT_TRUE(Leftovers(f.oDir.Path()).empty()) << oCase.sName;
        EXPECT_TRUE(f.oResult.logPath.empty()) << oCase.sName;
        EXPECT_TRUE(f.oResult.summary.empty()) << oCase.sName;
        const std::vector<std::string> aFailed = {"Failed File:" + f.Dest() + Native("/a.html - Permission denied"),
                                                  "Failed File:" + f.Dest() + Native("/b.html - Operation not permitted")};
        EXPECT_EQ(f.oResult.failedEntries,
                  std::vector<std::string>(aFailed.begin(), aFailed.begin() + oCase.iFailedBefore))
            << oCase.sName;
        // The cause removed, the same source converts.
        f.Run();
        EXPECT_EQ(f.oResult.outcome, RunOutcome::Completed) << oCase.sName;
    }
}

// The headless converter.
struct CliResult {
    int iStatus;
    std::string sOut;
    std::string sErr;
};

CliResult RunCli(std::vector<std::string> aArguments) {
    CliResult oResult{};
    aArguments.insert(aArguments.begin(), TAGSHIFT_CLI);
    oResult.iStatus = test::RunProgram(aArguments, &oResult.sOut, &oResult.sErr);
    return oResult;
}

TEST(HeadlessConverter, ExitStatusesAndOutput) {
    TempDir oDir;
    WriteFile(oDir / "site/a.html", "<object></object>");
    WriteFile(oDir / "site/b.htm", "<embed></embed>");

    CliResult oOk = RunCli({oDir / "site" + fs::kSeparator + "/"});
    EXPECT_EQ(oOk.iStatus, 0);
    EXPECT_EQ(oOk.sOut, "Files Converted: 2 | Functions Replaced: 2\nYour new website(s) are visible at " +
                            (oDir / "site_Converted") + "\n");
    EXPECT_EQ(oOk.sErr, "");  // not a terminal: no progress line

    CliResult oAgain = RunCli({oDir / "site"});
    EXPECT_EQ(oAgain.iStatus, 1);
    EXPECT_EQ(oAgain.sOut, "");
    EXPECT_EQ(oAgain.sErr, "A converted folder of this name already exists - have you already converted this one?\n");

    EXPECT_EQ(RunCli({oDir / "missing"}).iStatus, 1);
    CliResult oNoPatterns = RunCli({"--patterns", "", oDir / "site"});
    EXPECT_EQ(oNoPatterns.iStatus, 1);
    EXPECT_EQ(oNoPatterns.sErr, "You must select a pattern...\n");

    for (const std::vector<std::string>& aBad : std::initializer_list<std::vector<std::string>>{
             {}, {"--bogus", "x"}, {"a", "b"}, {"--patterns"}}) {
        CliResult oUsage = RunCli(aBad);
        EXPECT_EQ(oUsage.iStatus, 2) << aBad.size();
        EXPECT_NE(oUsage.sErr.find("Usage: tagshift-convert"), std::string::npos) << aBad.size();
    }
    CliResult oHelp = RunCli({"--help"});
    EXPECT_EQ(oHelp.iStatus, 0);
    for (const char* sStatus : {"\n  0 ", "\n  1 ", "\n  2 ", "\n  3 ", "\n  4 "})
        EXPECT_NE(oHelp.sOut.find(sStatus), std::string::npos) << sStatus;
    EXPECT_EQ(RunCli({"--version"}).sOut, std::string("tagshift-convert ") + TAGSHIFT_VERSION + "\n");

    // --verbose shows every status on standard error; --patterns selects.
    WriteFile(oDir / "other/x.txt", "<object></object>");
    CliResult oVerbose = RunCli({"--verbose", "--patterns=*.txt", oDir / "other"});
    EXPECT_EQ(oVerbose.iStatus, 0);
    EXPECT_EQ(oVerbose.sErr,
              "Progress: Disabling Interface\nProgress: Checking Directory\nProgress: Checking File Names\n"
              "Progress: Copying Directory\nProgress: Preparing Javascript\nProgress: Checking File: x.txt\n"
              "Progress: Website Converted\n");
    EXPECT_NE(oVerbose.sOut.find("Files Converted: 1 | Functions Replaced: 1\n"), std::string::npos);
}

TEST(HeadlessConverter, TagsLeftAloneAreCountedAndListedAndAnyCaseConvertsThem) {
    TempDir oDir;
    const std::string sPage = "<p>\n<OBJECT></OBJECT>\r\n<script>'<embed>'</script>";
    for (const char* sSite : {"plain", "verbose", "any"}) WriteFile(oDir / (sSite + std::string("/a.html")), sPage);

    // A page selected twice is reported once.
    CliResult oPlain = RunCli({"--patterns=*.html;*.html", oDir / "plain"});
    EXPECT_EQ(oPlain.iStatus, 0);
    EXPECT_EQ(oPlain.sOut, "Files Converted: 2 | Functions Replaced: 0\nYour new website(s) are visible at " +
                               (oDir / "plain_Converted") + "\nTags Left Alone: 2 (use --verbose to list them)\n");
    EXPECT_EQ(oPlain.sErr, "");
    // The log lists each tag once, with its page, line and why.
    const std::string sPlainLog = ReadFile(oDir / "plain_Converted/converter_log.txt");
    const std::string sPlainPage = oDir / "plain_Converted/a.html";
    EXPECT_NE(sPlainLog.find("\r\nTag Left Alone:" + sPlainPage + ":2: <OBJECT left as it is (capital letters)\r\n"),
              std::string::npos) << sPlainLog;
    EXPECT_NE(sPlainLog.find("\r\nTag Left Alone:" + sPlainPage + ":3: <embed left as it is (inside a script)\r\n"),
              std::string::npos) << sPlainLog;
    std::size_t iLines = 0;
    for (std::size_t iAt = 0; (iAt = sPlainLog.find("Tag Left Alone:", iAt)) != std::string::npos; ++iAt) ++iLines;
    EXPECT_EQ(iLines, 2u);

    CliResult oVerbose = RunCli({"--verbose", oDir / "verbose"});
    const std::string sWhere = oDir / "verbose_Converted/a.html";
    EXPECT_NE(oVerbose.sErr.find(sWhere + ":2: <OBJECT left as it is (capital letters)\n"), std::string::npos)
        << oVerbose.sErr;
    EXPECT_NE(oVerbose.sErr.find(sWhere + ":3: <embed left as it is (inside a script)\n"), std::string::npos)
        << oVerbose.sErr;

    CliResult oAny = RunCli({"--any-case", oDir / "any"});
    EXPECT_NE(oAny.sOut.find("Functions Replaced: 1\n"), std::string::npos) << oAny.sOut;
    EXPECT_NE(oAny.sOut.find("\nTags Left Alone: 1 "), std::string::npos) << oAny.sOut;
    EXPECT_EQ(ReadFile(oDir / "any_Converted/object.js"),
              "function InsertObject1()\r\n{\r\ndocument.write('<OBJECT></OBJECT>');\r\n}\r\n");
}

TEST(HeadlessConverter, FailedPagesAndFailedRuns) {
    TempDir oDir;
    WriteFile(oDir / "site/a.html", "<object></object>");
    stdfs::create_directories(oDir / "site/object.js");
    CliResult oPages = RunCli({oDir / "site"});
    EXPECT_EQ(oPages.iStatus, 3);
    EXPECT_NE(oPages.sOut.find("\nPages Not Converted: 1 (see converter_log.txt)\n"), std::string::npos);
    EXPECT_NE(oPages.sErr.find("Failed File:" + (oDir / "site_Converted/a.html")), std::string::npos);
}

}  // namespace
}  // namespace tagshift

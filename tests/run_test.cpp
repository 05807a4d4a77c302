// Whole conversion runs on real folder trees, driven through a recording
// host, and the headless converter's command line.
#include <gtest/gtest.h>

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <tuple>
#include <filesystem>

#include "TestSupport.h"
#include "convert/Conversion.h"
#include "convert/RunTexts.h"
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

std::vector<std::string> CheckedFiles(const RecordingObserver& host) {
    std::vector<std::string> names;
    const std::string prefix = "Progress: Checking File: ";
    for (const std::string& status : host.statuses)
        if (status.rfind(prefix, 0) == 0) names.push_back(status.substr(prefix.size()));
    return names;
}

struct Fixture {
    TempDir dir;
    RecordingObserver host;
    ConversionRequest request;
    ConversionResult result;
    std::string Source() const { return dir / "site"; }
    std::string Dest() const { return dir / "site_Converted"; }
    void Run() { result = tagshift::Convert(request, host); }
    void Convert() {
        request.sourceFolder = Source();
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

    const std::vector<std::string> first(f.host.statuses.begin(), f.host.statuses.begin() + 5);
    EXPECT_EQ(first, (std::vector<std::string>{"Progress: Disabling Interface", "Progress: Checking Directory",
                                                "Progress: Checking File Names", "Progress: Copying Directory",
                                                "Progress: Preparing Javascript"}));
    EXPECT_EQ(CheckedFiles(f.host), (std::vector<std::string>{"image.gif", "index.html", "plain.htm", "page.php"}));
    EXPECT_EQ(f.host.statuses.back(), "Progress: Checking File: page.php");
    // Three pages selected by the copy, each reported when done.
    EXPECT_EQ(f.host.progress, (std::vector<std::pair<long long, long long>>{{0, 3}, {1, 3}, {2, 3}, {3, 3}}));

    // plain.htm is selected but has no block: it stays as it was.
    EXPECT_EQ(SummaryText(f.result), "Files Converted: 3 | Functions Replaced: 3\r\nPages Changed: 2\r\n"
                                     "Your new website(s) are visible at " + f.Dest());
    EXPECT_TRUE(f.result.error.empty());
    EXPECT_EQ(f.result.outcome, RunOutcome::Completed);
    EXPECT_EQ(f.result.logPath, f.Dest() + Native("/converter_log.txt"));

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
    for (const char* path : {"a2", "a1", "D/d1", "B/C/c1", "B/b1"}) WriteFile(f.Source() + Native("/") + path, "");
    stdfs::create_directories(f.Source() + Native("/B/empty"));
    f.Convert();
    EXPECT_EQ(CheckedFiles(f.host), (std::vector<std::string>{"a1", "a2", "b1", "c1", "d1"}));
    // Yields: after copying each of the five folders, and when the walk
    // enters it, goes from its files to its subfolders and leaves it; plus
    // one per status text.
    EXPECT_EQ(f.host.yields, 5 * 4 + static_cast<long long>(f.host.statuses.size()));
}

TEST(ConversionRun, ForeseenFailuresRefuseBeforeAnythingIsWritten) {
    struct Case {
        const char* name;
        std::function<void(Fixture&)> setUp;
        std::string error;
        std::string logLine;
        std::string status;
        bool needsLinks = false;
    };
    const std::vector<Case> cases = {
        {"no folder chosen", [](Fixture& f) { f.request.sourceFolder = ""; },
         "No folder chosen or chosen folder does not exist...", "No Folder chosen or Folder does not exist",
         "Progress: Checking Directory"},
        {"a file, not a folder",
         [](Fixture& f) {
             WriteFile(f.dir / "file", "x");
             f.request.sourceFolder = f.dir / "file";
         },
         "No folder chosen or chosen folder does not exist...", "No Folder chosen or Folder does not exist",
         "Progress: Checking Directory"},
        {"empty pattern list",
         [](Fixture& f) {
             WriteFile(f.Source() + Native("/a.html"), "");
             f.request.sourceFolder = f.Source();
             f.request.patterns = "";
         },
         "You must select a pattern...", "No file types available", "Progress: Checking File Names"},
        {"only pieces too short to select anything",
         [](Fixture& f) {
             WriteFile(f.Source() + Native("/a.html"), "");
             f.request.sourceFolder = f.Source();
             f.request.patterns = ";x;";
         },
         "You must select a pattern...", "No file types available", "Progress: Checking File Names"},
        {"a file has the destination's name",
         [](Fixture& f) {
             WriteFile(f.Source() + Native("/a.html"), "");
             WriteFile(f.Dest(), "not a folder");
             f.request.sourceFolder = f.Source();
         },
         "A converted folder of this name already exists - have you already converted this one?",
         "Converted folder already exists", "Progress: Copying Directory"},
        {"a dangling link has the destination's name",
         [](Fixture& f) {
             WriteFile(f.Source() + Native("/a.html"), "");
             stdfs::create_symlink(f.dir / "nowhere", f.Dest());
             f.request.sourceFolder = f.Source();
         },
         "A converted folder of this name already exists - have you already converted this one?",
         "Converted folder already exists", "Progress: Copying Directory", true},
        {"destination exists",
         [](Fixture& f) {
             WriteFile(f.Source() + Native("/a.html"), "");
             WriteFile(f.Dest() + Native("/earlier.txt"), "earlier result");
             f.request.sourceFolder = f.Source();
         },
         "A converted folder of this name already exists - have you already converted this one?",
         "Converted folder already exists", "Progress: Copying Directory"},
    };
    for (const Case& testCase : cases) {
        if (testCase.needsLinks && !test::LinksAndModes()) continue;
        Fixture f;
        testCase.setUp(f);
        const auto before = Snapshot(f.dir.Path());
        f.Run();
        EXPECT_EQ(Snapshot(f.dir.Path()), before) << testCase.name;
        EXPECT_EQ(f.result.outcome, RunOutcome::Refused) << testCase.name;
        EXPECT_EQ(LogText(f.result), "Process Started\r\n" + testCase.logLine + "\r\n") << testCase.name;
        EXPECT_EQ(f.host.statuses.back(), testCase.status) << testCase.name;
        EXPECT_EQ(f.result.pagesConverted, 0) << testCase.name;
        EXPECT_EQ(f.result.functionsReplaced, 0) << testCase.name;
        EXPECT_EQ(f.result.error, testCase.error) << testCase.name;
        EXPECT_TRUE(SummaryText(f.result).empty()) << testCase.name;
    }
}

TEST(ConversionRun, PatternSelection) {
    struct Case {
        std::string patterns;
        std::vector<std::string> processed;  // pages rewritten, in order
    };
    const std::vector<std::string> names = {"INDEX.HTM", "a.php3", "b.aspx", "htm", "page.shtml", "page.xhtm",
                                             "x.html", "y.js"};
    const std::vector<Case> cases = {
        {"*.htm;*.html;*.php;*.php3;*.asp;*.aspx", {"a.php3", "b.aspx", "htm", "page.shtml", "page.xhtm", "x.html"}},
        {"*.", names},
        {"*.html;*.html", {"page.shtml", "page.shtml", "x.html", "x.html"}},
        {"*.htm; *.html", {"htm", "page.xhtm", "x.html"}},
        {"*.HTM", {"INDEX.HTM"}},
    };
    for (const Case& testCase : cases) {
        Fixture f;
        for (const std::string& name : names) WriteFile(f.Source() + Native("/") + name, "<object></object>");
        f.request.patterns = testCase.patterns;
        f.Convert();
        std::vector<std::string> processed;
        std::size_t at = 0;
        const std::string prefix = "Processing File:" + f.Dest() + Native("/");
        while ((at = LogText(f.result).find(prefix, at)) != std::string::npos) {
            at += prefix.size();
            processed.push_back(LogText(f.result).substr(at, LogText(f.result).find('\r', at) - at));
        }
        EXPECT_EQ(processed, testCase.processed) << testCase.patterns;
        EXPECT_EQ(f.result.pagesConverted, static_cast<long long>(testCase.processed.size())) << testCase.patterns;
        EXPECT_EQ(f.result.outcome, RunOutcome::Completed) << testCase.patterns;
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
    fs::ScopedFaultHook hook([](fs::FsOp op, const std::string& path) {
        if (op == fs::FsOp::Read && path.find(Native("/d.html")) != std::string::npos) return EACCES;
        if (op == fs::FsOp::WriteAtomic && path.find(Native("/e.html")) != std::string::npos) return EPERM;
        if ((op == fs::FsOp::WriteAtomic || op == fs::FsOp::CopyFile) &&
            path.find(Native("/f.html")) != std::string::npos)
            return ENAMETOOLONG;
        return 0;
    });
    f.Convert();

    EXPECT_EQ(f.result.outcome, RunOutcome::CompletedWithFailures);
    EXPECT_EQ(f.result.pagesFailed, 4);
    EXPECT_EQ(f.result.pagesConverted, 3);      // a, c, z
    EXPECT_EQ(f.result.functionsReplaced, 3);  // one block each
    EXPECT_EQ(SummaryText(f.result), "Files Converted: 3 | Functions Replaced: 3\r\n"
                                 "Your new website(s) are visible at " + f.Dest() +
                                     "\r\nPages Not Converted: 4 (see converter_log.txt)");
    EXPECT_EQ(FailureLines(f.result).size(), 4u);
    const std::string log = ReadFile(f.Dest() + Native("/converter_log.txt"));
    // A name too long is named as it failed: under the temporary name.
    EXPECT_NE(log.find("Failed File:" + f.Dest() + Native("/f.html - ") + f.Dest() + ".incomplete-"), std::string::npos)
        << log;
    EXPECT_NE(log.find(Native("/f.html: File name too long; not copied either: File name too long\r\n")),
              std::string::npos)
        << log;
    EXPECT_FALSE(Exists(f.Dest() + Native("/f.html")));
    EXPECT_NE(log.find("Processing File:" + f.Dest() + Native("/broken/b.html\r\nFailed File:") + f.Dest() +
                        Native("/broken/b.html - ") + f.Dest() + Native("/broken/embed.js: Is a directory\r\n")),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Failed File:" + f.Dest() + Native("/d.html - Permission denied\r\n")), std::string::npos);
    EXPECT_NE(log.find("Failed File:" + f.Dest() + Native("/e.html - Operation not permitted\r\n")),
              std::string::npos);

    for (const char* page : {"/broken/b.html", "/d.html", "/e.html"})
        EXPECT_EQ(ReadFile(f.Dest() + Native(page)), ReadFile(f.Source() + Native(page))) << page;
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
    for (const auto& [path, entry] : Snapshot(f.Dest()))
        EXPECT_EQ(path.find(".tagshift-"), std::string::npos) << path;
}

TEST(ConversionRun, LinksAreCopiedButNeverFollowedOrWritten) {
    if (!test::LinksAndModes()) GTEST_SKIP() << test::kNoLinksAndModes;
    Fixture f;
    WriteFile(f.dir / "outside/page.html", "<object>outside</object>");
    WriteFile(f.dir / "outside/object.js", "// not ours\n");
    WriteFile(f.Source() + Native("/in/page.html"), "<object>in</object>");
    stdfs::create_symlink(f.dir / "outside/page.html", f.Source() + Native("/linked.html"));
    stdfs::create_directory_symlink(f.dir / "outside", f.Source() + Native("/linked-folder"));
    stdfs::create_symlink(f.dir / "outside/object.js", f.Source() + Native("/in/object.js"));
    const auto outside = Snapshot(f.dir / "outside");
    f.Convert();
    EXPECT_EQ(Snapshot(f.dir / "outside"), outside);
    EXPECT_TRUE(stdfs::is_symlink(f.Dest() + Native("/linked.html")));
    EXPECT_TRUE(stdfs::is_symlink(f.Dest() + Native("/linked-folder")));
    EXPECT_EQ(CheckedFiles(f.host), (std::vector<std::string>{"page.html"}));
    EXPECT_EQ(f.result.pagesFailed, 1);  // its script file is a link out of the tree
    EXPECT_EQ(ReadFile(f.Dest() + Native("/in/page.html")), "<object>in</object>");
}

TEST(ConversionRun, RunWithMoreThan32767BlocksAndLongPages) {
    Fixture f;
    std::string page(40000, ' ');
    for (int i = 0; i < 12000; ++i) page += "<object>" + std::to_string(i) + "</object>\r\n";
    for (const char* name : {"/a.html", "/b.html", "/c.html"}) WriteFile(f.Source() + Native(name), page);
    f.Convert();
    EXPECT_EQ(f.result.functionsReplaced, 36000);
    EXPECT_EQ(f.result.outcome, RunOutcome::Completed);
    const std::string converted = ReadFile(f.Dest() + Native("/c.html"));
    EXPECT_EQ(converted.substr(0, 40000), std::string(40000, ' '));
    EXPECT_NE(converted.find("InsertObject36000();</script>\r\n"), std::string::npos);
    EXPECT_NE(ReadFile(f.Dest() + Native("/object.js")).find("function InsertObject36000()\r\n"), std::string::npos);
}

TEST(ConversionRun, AnyFormOfTheSourcePathConvertsBesideItAndAnOldLogIsReplaced) {
    for (const std::string form : {"/", "//./", "/sub/..", "/./sub/../"}) {
        Fixture f;
        WriteFile(f.Source() + Native("/converter_log.txt"), "old log");
        WriteFile(f.Source() + Native("/sub/a.html"), "<object></object>");
        const auto before = Snapshot(f.Source());
        f.request.sourceFolder = f.Source() + form;
        f.Run();
        EXPECT_EQ(f.result.outcome, RunOutcome::Completed) << form;
        EXPECT_EQ(f.result.convertedFolder, f.Dest()) << form;
        EXPECT_EQ(Snapshot(f.Source()), before) << form;
        EXPECT_EQ(ReadFile(f.Dest() + Native("/converter_log.txt")).substr(0, 17 + 15 + f.Source().size() + 2),
                  "Process Started\r\nCopying Folder:" + f.Source() + "\r\n")
            << form;
        EXPECT_EQ(Leftovers(f.dir.Path()), (std::vector<std::string>{"site_Converted"})) << form;
    }
}

TEST(ConversionRun, TheNewTreeTakesItsNameOnlyWhenCompleteAndNeverReplacesAnEntry) {
    Fixture f;
    WriteFile(f.Source() + Native("/a.html"), "<object></object>");
    WriteFile(f.Source() + Native("/b.html"), "<object></object>");
    std::vector<std::string> duringWalk;
    f.host.onStatus = [&](const std::string& status) {
        if (status != "Progress: Checking File: b.html") return;
        duringWalk = Leftovers(f.dir.Path());
        WriteFile(f.Dest() + Native("/meanwhile.txt"), "someone else's");
    };
    f.Convert();
    ASSERT_EQ(duringWalk.size(), 1u);
    EXPECT_EQ(duringWalk[0].size(), std::string("site_Converted.incomplete-").size() + 6) << duringWalk[0];
    EXPECT_EQ(duringWalk[0].rfind("site_Converted.incomplete-", 0), 0u) << duringWalk[0];
    EXPECT_EQ(f.result.outcome, RunOutcome::Refused);
    EXPECT_EQ(f.result.error,
              "A converted folder of this name already exists - have you already converted this one?");
    EXPECT_EQ(Snapshot(f.Dest()), (std::map<std::string, std::string>{{"meanwhile.txt", "F:someone else's"}}));
    EXPECT_EQ(Leftovers(f.dir.Path()), (std::vector<std::string>{"site_Converted"}));
}

TEST(ConversionRun, StopRequests) {
    // A stop request ends the run after the page in progress, quietly, and
    // leaves nothing: not even a log copied from the source.
    {
        Fixture f;
        for (const char* name : {"/a.html", "/b.html", "/c.html", "/d/e.htm"})
            WriteFile(f.Source() + name, "<object></object>");
        WriteFile(f.Source() + Native("/converter_log.txt"), "Process Started\r\nProcess Complete");
        f.host.onStatus = [&](const std::string& status) {
            if (status == "Progress: Checking File: b.html") f.host.stop = true;
        };
        f.Convert();
        EXPECT_EQ(f.result.outcome, RunOutcome::Stopped);
        EXPECT_TRUE(f.result.error.empty());
        EXPECT_TRUE(Leftovers(f.dir.Path()).empty());
        EXPECT_EQ(f.host.statuses.back(), "Progress: Checking File: b.html");
    }
    // A stop request during the copy takes the partial copy away.
    {
        Fixture f;
        WriteFile(f.Source() + Native("/a/x.html"), "x");
        WriteFile(f.Source() + Native("/b/y.html"), "y");
        int yieldsWhileCopying = 0;  // the first is the status text's own
        f.host.onYield = [&] {
            if (f.host.statuses.back() == "Progress: Copying Directory" && ++yieldsWhileCopying == 2)
                f.host.stop = true;
        };
        f.Convert();
        EXPECT_EQ(f.result.outcome, RunOutcome::Stopped);
        EXPECT_EQ(yieldsWhileCopying, 2);
        EXPECT_TRUE(f.result.error.empty());
        EXPECT_TRUE(Leftovers(f.dir.Path()).empty());
    }
}

TEST(ConversionRun, CopiesKeepModesAndTimesAndScriptFilesAreNeverPages) {
    Fixture f;
    WriteFile(f.Source() + Native("/plain.html"), "no blocks");
    WriteFile(f.Source() + Native("/page.html"), "<object></object>");
    WriteFile(f.Source() + Native("/embed.js"), "// <embed></embed>\n");
    for (const char* name : {"/plain.html", "/page.html"}) {
        if (test::LinksAndModes()) stdfs::permissions(f.Source() + name, stdfs::perms(0604));
        stdfs::last_write_time(f.Source() + Native(name),
                               stdfs::file_time_type::clock::now() - std::chrono::hours(48));
    }
    f.request.patterns = "*.html;*.js";
    f.Convert();
    EXPECT_EQ(f.result.pagesConverted, 2);
    EXPECT_EQ(ReadFile(f.Dest() + Native("/embed.js")), "// <embed></embed>\n");
    for (const char* name : {"/plain.html", "/page.html"}) {
        if (test::LinksAndModes()) {
            EXPECT_EQ(stdfs::status(f.Dest() + name).permissions(), stdfs::perms(0604)) << name;
        }
    }
    EXPECT_EQ(stdfs::last_write_time(f.Dest() + Native("/plain.html")),
              stdfs::last_write_time(f.Source() + Native("/plain.html")));
    EXPECT_GT(stdfs::last_write_time(f.Dest() + Native("/page.html")),
              stdfs::last_write_time(f.Source() + Native("/page.html")));
}

// Paths past the 260 characters of the classic Windows calls, in the source
// folder's own path and below it.
TEST(ConversionRun, LongSourceAndPagePaths) {
    Fixture f;
    const std::string source = f.dir / (std::string(140, 's') + "/" + std::string(140, 'i') + "/site");
    const std::string page = Native("/" + std::string(140, 'p') + "/" + std::string(140, 'q') + "/page.html");
    ASSERT_GE(source.size(), 300u);
    ASSERT_GE(page.size(), 290u);
    WriteFile(source + page, "<object>x</object>");
    f.request.sourceFolder = source;
    f.Run();
    EXPECT_EQ(f.result.outcome, RunOutcome::Completed) << f.result.error;
    EXPECT_EQ(ReadFile(source + "_Converted" + page), kObj + "1();</script>");
}

// What the source will not give is a failure of that entry, logged and
// counted, and the run goes on: the published tree holds everything else.
TEST(ConversionRun, UnreadableEntriesAreFailuresNotTheEnd) {
    struct Case {
        const char* name;
        fs::FsOp op;
        std::string entry;   // below the source
        int code;            // injected
        std::string reason;  // its text
        std::string line;    // the log line ("{dest}": the converted folder, "{reason}": the reason)
        long long pagesFailed;
        long long notCopied;
    };
    const std::vector<Case> cases = {
        {"an image that cannot be read", fs::FsOp::CopyFile, "/img/secret.gif", EACCES, "Permission denied",
         "Failed File:{dest}/img/secret.gif - not copied: {reason}", 0, 1},
        {"an image on a failing disk", fs::FsOp::CopyFile, "/img/secret.gif", EIO, "Input/output error",
         "Failed File:{dest}/img/secret.gif - not copied: {reason}", 0, 1},
        {"a folder that cannot be listed", fs::FsOp::ListFolder, "/img", EACCES, "Permission denied",
         "Failed Folder:{dest}/img - not copied: {reason}", 0, 1},
        {"a page that cannot be read", fs::FsOp::Read, "/b.html", EIO, "Input/output error",
         "Failed File:{dest}/b.html - {reason}; not copied either: {reason}", 1, 0},
    };
    for (const Case& testCase : cases) {
        Fixture f;
        WriteFile(f.Source() + Native("/a.html"), "no blocks");
        WriteFile(f.Source() + Native("/b.html"), "no blocks either");
        WriteFile(f.Source() + Native("/img/secret.gif"), "GIF89a");
        WriteFile(f.Source() + Native("/img/open.gif"), "GIF89a");
        WriteFile(f.Source() + Native("/z/c.htm"), "<object></object>");
        const std::string entry = f.Source() + Native(testCase.entry);
        fs::ScopedFaultHook hook([&](fs::FsOp op, const std::string& path) {
            // A page's copy as it was reads it again.
            const bool opMatches = op == testCase.op || (testCase.op == fs::FsOp::Read && op == fs::FsOp::CopyFile);
            return opMatches && path == entry ? testCase.code : 0;
        });
        f.Convert();
        std::string line = Native(testCase.line);
        line.replace(line.find("{dest}"), 6, f.Dest());
        for (std::size_t at; (at = line.find("{reason}")) != std::string::npos;)
            line.replace(at, 8, testCase.reason);
        EXPECT_EQ(f.result.outcome, RunOutcome::CompletedWithFailures) << testCase.name << f.result.error;
        EXPECT_EQ(FailureLines(f.result), std::vector<std::string>{line}) << testCase.name;
        EXPECT_EQ(f.result.pagesFailed, testCase.pagesFailed) << testCase.name;
        EXPECT_EQ(f.result.entriesNotCopied, testCase.notCopied) << testCase.name;
        EXPECT_NE(SummaryText(f.result).find(testCase.notCopied ? "\r\nFiles and Folders Not Copied: 1 (see converter_log.txt)"
                                                          : "\r\nPages Not Converted: 1 (see converter_log.txt)"),
                  std::string::npos)
            << testCase.name << SummaryText(f.result);
        // Everything else is there, the converted page included.
        auto expected = Snapshot(f.Source());
        for (auto it = expected.begin(); it != expected.end();)
            it = it->first.rfind(Native(testCase.entry.substr(1)), 0) == 0 ? expected.erase(it) : std::next(it);
        expected[Native("z/c.htm")] = "F:" + kObj + "1();</script>";
        expected[Native("z/object.js")] = "F:function InsertObject1()\r\n{\r\ndocument.write('<object></object>');\r\n}\r\n";
        expected["converter_log.txt"] = "F:" + LogText(f.result);
        EXPECT_EQ(Snapshot(f.Dest()), expected) << testCase.name;
        EXPECT_NE(LogText(f.result).find(line + "\r\n"), std::string::npos) << testCase.name;
    }
}

// A write into the new tree that fails for lack of room, a quota or an I/O
// error, the log, a page's copy that the tree cannot take, or a lack of
// open files end the run: nothing is left under any name, the error says
// what failed, and the pages that failed before are still named.
TEST(ConversionRun, WhatTheNewTreeCannotTakeEndsTheRunAndLeavesNothing) {
    struct Case {
        const char* name;
        fs::FsOp op;
        std::string entry;   // below the new tree ("{tree}") or the source
        int code;            // injected
        std::string reason;  // its text
        std::string error;   // "{dest}", "{source}": the two folders; "{reason}": the reason
        int failedBefore;  // a.html (unreadable) and b.html (not written back) fail in that order
    };
    const std::vector<Case> cases = {
        {"a page on a full disk", fs::FsOp::WriteAtomic, "{tree}/c.html", ENOSPC, "No space left on device",
         "The converted folder could not be written: {dest}/c.html - {reason}", 2},
        {"a script file on a failing disk", fs::FsOp::Append, "{tree}/object.js", EIO, "Input/output error",
         "The converted folder could not be written: {dest}/object.js - {reason}", 1},
        {"an image copied onto a full disk", fs::FsOp::CopyFile, "{tree}/img/x.gif", ENOSPC, "No space left on device",
         "The folder could not be copied: {dest}/img/x.gif - {reason}", 0},
        {"the log", fs::FsOp::WriteAtomic, "{tree}/converter_log.txt", EROFS, "Read-only file system",
         "The run log could not be written: {dest}/converter_log.txt - {reason}", 2},
        {"a page without its copy", fs::FsOp::CopyFile, "{tree}/b.html", EPERM, "Operation not permitted",
         "The converted folder could not be written: {dest}/b.html - {reason}", 2},
        {"open files run out", fs::FsOp::Read, "/c.html", EMFILE, "Too many open files",
         "The site could not be converted: {source}/c.html - {reason}", 2},
    };
    for (const Case& testCase : cases) {
        Fixture f;
        WriteFile(f.Source() + Native("/a.html"), "<object>a</object>");
        WriteFile(f.Source() + Native("/b.html"), "<object>b</object>");
        WriteFile(f.Source() + Native("/c.html"), "<object>c</object>");
        WriteFile(f.Source() + Native("/img/x.gif"), "GIF89a");
        {
        fs::ScopedFaultHook hook([&](fs::FsOp op, const std::string& path) {
            // a.html cannot be read; b.html cannot be written back (a reason
            // of its own): both are that page's failure.
            if (op == fs::FsOp::Read && path == f.Source() + Native("/a.html")) return EACCES;
            if (op == fs::FsOp::WriteAtomic && path.find(Native("/b.html")) != std::string::npos) return EPERM;
            if (op != testCase.op) return 0;
            const std::size_t tree = path.find(".incomplete-");
            const std::string below = tree == std::string::npos ? path.substr(f.Source().size())
                                                                  : "{tree}" + path.substr(tree + 18);
            return below == Native(testCase.entry) ? testCase.code : 0;
        });
        f.Convert();
        }
        std::string error = Native(testCase.error);
        if (std::size_t at = error.find("{dest}"); at != std::string::npos) error.replace(at, 6, f.Dest());
        if (std::size_t at = error.find("{source}"); at != std::string::npos) error.replace(at, 8, f.Source());
        error.replace(error.find("{reason}"), 8, testCase.reason);
        EXPECT_EQ(f.result.outcome, RunOutcome::Failed) << testCase.name;
        EXPECT_EQ(f.result.error, error) << testCase.name;
        EXPECT_TRUE(Leftovers(f.dir.Path()).empty()) << testCase.name;
        EXPECT_TRUE(f.result.logPath.empty()) << testCase.name;
        EXPECT_TRUE(SummaryText(f.result).empty()) << testCase.name;
        const std::vector<std::string> failed = {"Failed File:" + f.Dest() + Native("/a.html - Permission denied"),
                                                  "Failed File:" + f.Dest() + Native("/b.html - Operation not permitted")};
        EXPECT_EQ(FailureLines(f.result),
                  std::vector<std::string>(failed.begin(), failed.begin() + testCase.failedBefore))
            << testCase.name;
        // The cause removed, the same source converts.
        f.Run();
        EXPECT_EQ(f.result.outcome, RunOutcome::Completed) << testCase.name;
    }
}

// The headless converter.
struct CliResult {
    int exitStatus;
    std::string out;
    std::string err;
};

CliResult RunCli(std::vector<std::string> arguments) {
    CliResult result{};
    arguments.insert(arguments.begin(), TAGSHIFT_CLI);
    result.exitStatus = test::RunProgram(arguments, &result.out, &result.err);
    return result;
}

// What a preview leaves: the source's parent exactly as it was (names,
// sizes, modes, times); and what it finds: the counts and failures of the
// run that follows it.
TEST(ConversionRun, APreviewWritesNothingAndCountsAsTheRunAfterIt) {
    auto manifest = [](const std::string& root) {
        std::vector<std::string> lines;
        for (const auto& entry : stdfs::recursive_directory_iterator(stdfs::u8path(root))) {
            const auto status = entry.symlink_status();
            std::string line = entry.path().u8string() + " " + std::to_string(static_cast<int>(status.permissions()));
            if (stdfs::is_regular_file(status))
                line += " " + std::to_string(entry.file_size()) + " " +
                        std::to_string(entry.last_write_time().time_since_epoch().count());
            lines.push_back(line);
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    struct Case {
        const char* name;
        bool faults;  // an unreadable image and an unreadable page; a page whose object.js is a folder
        RunOutcome outcome;
    };
    for (const Case& testCase : {Case{"sample site", false, RunOutcome::Completed},
                                 Case{"faults", true, RunOutcome::CompletedWithFailures}}) {
        Fixture f;
        stdfs::copy(std::string(TAGSHIFT_SOURCE_DIR) + "/examples/sample-site", f.Source(), stdfs::copy_options::recursive);
        if (testCase.faults) {
            WriteFile(f.Source() + Native("/image.gif"), "GIF89a");
            WriteFile(f.Source() + Native("/unread.html"), "<object>u</object>");
            WriteFile(f.Source() + Native("/folder/p.html"), "<object>p</object><embed>q</embed>");
            stdfs::create_directories(f.Source() + Native("/folder/object.js"));
        }
        fs::ScopedFaultHook hook([&](fs::FsOp op, const std::string& path) {
            if (!testCase.faults) return 0;
            const bool image = op == fs::FsOp::CopyFile && path == f.Source() + Native("/image.gif");
            const bool page = (op == fs::FsOp::Read || op == fs::FsOp::CopyFile) && path == f.Source() + Native("/unread.html");
            return image || page ? EACCES : 0;
        });
        const std::vector<std::string> before = manifest(f.dir.Path());
        f.request.dryRun = true;
        f.Convert();
        const ConversionResult preview = f.result;
        EXPECT_EQ(manifest(f.dir.Path()), before) << testCase.name;
        f.request.dryRun = false;
        f.Convert();
        EXPECT_EQ(preview.outcome, testCase.outcome) << testCase.name;
        EXPECT_EQ(f.result.outcome, testCase.outcome) << testCase.name;
        for (const auto& [what, a, b] : {std::tuple{"pages", preview.pagesConverted, f.result.pagesConverted},
                                         {"functions", preview.functionsReplaced, f.result.functionsReplaced},
                                         {"failed", preview.pagesFailed, f.result.pagesFailed},
                                         {"not copied", preview.entriesNotCopied, f.result.entriesNotCopied},
                                         {"left alone", preview.tagsLeftAlone, f.result.tagsLeftAlone},
                                         {"changed", PagesChanged(preview), PagesChanged(f.result)}})
            EXPECT_EQ(a, b) << testCase.name << ": " << what;
        EXPECT_EQ(FailureLines(preview), FailureLines(f.result)) << testCase.name;
    }
}

TEST(HeadlessConverter, ExitStatusesAndOutput) {
    TempDir dir;
    WriteFile(dir / "site/a.html", "<object></object>");
    WriteFile(dir / "site/b.htm", "<embed></embed>");

    CliResult ok = RunCli({dir / "site" + fs::kSeparator + "/"});
    EXPECT_EQ(ok.exitStatus, 0);
    EXPECT_EQ(ok.out, "Files Converted: 2 | Functions Replaced: 2\nYour new website(s) are visible at " +
                            (dir / "site_Converted") + "\n");
    EXPECT_EQ(ok.err, "");  // not a terminal: no progress line

    CliResult again = RunCli({dir / "site"});
    EXPECT_EQ(again.exitStatus, 1);
    EXPECT_EQ(again.out, "");
    EXPECT_EQ(again.err, "A converted folder of this name already exists - have you already converted this one?\n");

    EXPECT_EQ(RunCli({dir / "missing"}).exitStatus, 1);
    CliResult noPatterns = RunCli({"--patterns", "", dir / "site"});
    EXPECT_EQ(noPatterns.exitStatus, 1);
    EXPECT_EQ(noPatterns.err, "You must select a pattern...\n");

    // Bad usage: exit status 2, a message naming what was wrong, the usage line.
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{}, "tagshift-convert: no SOURCE folder given\n"},
        {{"--bogus", "x"}, "tagshift-convert: The following argument was not expected: --bogus\n"},
        {{"a", "b"}, "tagshift-convert: only one SOURCE folder can be converted at a time\n"},
        {{"--patterns"}, "tagshift-convert: --patterns: 1 required TEXT missing\n"},
        {{"-rf"}, "tagshift-convert: The following argument was not expected: -rf\n"},
    };
    for (const auto& [arguments, message] : bad) {
        CliResult usage = RunCli(arguments);
        EXPECT_EQ(usage.exitStatus, 2) << message;
        EXPECT_EQ(usage.err.rfind(message + "Usage: tagshift-convert", 0), 0u) << usage.err;
    }
    // After "--" a folder may start with '-'; a pattern without "*." is warned about.
    WriteFile(dir / "-rf/c.html", "<object></object>");
    CliResult dashed = RunCli({"--patterns=html", "--", dir / "-rf"});
    EXPECT_EQ(dashed.exitStatus, 0) << dashed.err;
    EXPECT_EQ(dashed.err, "tagshift-convert: warning: `html` selects every name that ends in `ml`; did you mean "
                          "`*.html`?\n");
    EXPECT_TRUE(Exists(dir / "-rf_Converted/c.html"));

    // --dry-run prints the summary a run would print, and writes nothing.
    WriteFile(dir / "preview/a.html", "<object></object>");
    CliResult preview = RunCli({"--dry-run", dir / "preview"});
    EXPECT_EQ(preview.exitStatus, 0);
    EXPECT_EQ(preview.out, "Files Converted: 1 | Functions Replaced: 1\nYour new website(s) would be written to " +
                               (dir / "preview_Converted") + "\n");
    EXPECT_FALSE(Exists(dir / "preview_Converted"));

    // --report writes the run's report after the run; one that cannot be
    // written is exit status 4, the converted folder staying complete.
    WriteFile(dir / "reported/a.html", "<object></object>");
    const CliResult unwritten = RunCli({"--report", dir / "no/such/folder/r.html", dir / "reported"});
    EXPECT_EQ(unwritten.exitStatus, 4);
    EXPECT_EQ(unwritten.err.rfind("tagshift-convert: the report could not be written: " +
                                      Native(dir / "no/such/folder/r.html") + " - ", 0),
              0u)
        << unwritten.err;
    EXPECT_TRUE(Exists(dir / "reported_Converted/converter_log.txt"));
    stdfs::remove_all(dir / "reported_Converted");
    EXPECT_EQ(RunCli({"--report=" + (dir / "r.html"), dir / "reported"}).exitStatus, 0);
    EXPECT_NE(ReadFile(dir / "r.html").find("a.html"), std::string::npos);
    CliResult help = RunCli({"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    for (const char* status : {"\n  0 ", "\n  1 ", "\n  2 ", "\n  3 ", "\n  4 "})
        EXPECT_NE(help.out.find(status), std::string::npos) << status;
    EXPECT_EQ(RunCli({"--version"}).out, std::string("tagshift-convert ") + TAGSHIFT_VERSION + "\n");

    // --verbose shows every status on standard error; --patterns selects.
    WriteFile(dir / "other/x.txt", "<object></object>");
    CliResult verbose = RunCli({"--verbose", "--patterns=*.txt", dir / "other"});
    EXPECT_EQ(verbose.exitStatus, 0);
    EXPECT_EQ(verbose.err,
              "Progress: Disabling Interface\nProgress: Checking Directory\nProgress: Checking File Names\n"
              "Progress: Copying Directory\nProgress: Preparing Javascript\nProgress: Checking File: x.txt\n"
              "Progress: Website Converted\n");
    EXPECT_NE(verbose.out.find("Files Converted: 1 | Functions Replaced: 1\n"), std::string::npos);
}

TEST(HeadlessConverter, TagsLeftAloneAreCountedAndListedAndAnyCaseConvertsThem) {
    TempDir dir;
    const std::string page = "<p>\n<OBJECT></OBJECT>\r\n<script>'<embed>'</script>";
    for (const char* site : {"plain", "verbose", "any"}) WriteFile(dir / (site + std::string("/a.html")), page);

    // A page selected twice is reported once.
    CliResult plain = RunCli({"--patterns=*.html;*.html", dir / "plain"});
    EXPECT_EQ(plain.exitStatus, 0);
    EXPECT_EQ(plain.out, "Files Converted: 2 | Functions Replaced: 0\nPages Changed: 0\nYour new website(s) are visible at " +
                               (dir / "plain_Converted") + "\nTags Left Alone: 2 (use --verbose to list them)\n");
    EXPECT_EQ(plain.err, "");
    // The log lists each tag once, with its page, line and why.
    const std::string plainLog = ReadFile(dir / "plain_Converted/converter_log.txt");
    const std::string plainPage = dir / "plain_Converted/a.html";
    EXPECT_NE(plainLog.find("\r\nTag Left Alone:" + plainPage + ":2: <OBJECT left as it is (capital letters)\r\n"),
              std::string::npos) << plainLog;
    EXPECT_NE(plainLog.find("\r\nTag Left Alone:" + plainPage + ":3: <embed left as it is (inside a script)\r\n"),
              std::string::npos) << plainLog;
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = plainLog.find("Tag Left Alone:", at)) != std::string::npos; ++at) ++lines;
    EXPECT_EQ(lines, 2u);

    CliResult verbose = RunCli({"--verbose", dir / "verbose"});
    const std::string where = dir / "verbose_Converted/a.html";
    EXPECT_NE(verbose.err.find(where + ":2: <OBJECT left as it is (capital letters)\n"), std::string::npos)
        << verbose.err;
    EXPECT_NE(verbose.err.find(where + ":3: <embed left as it is (inside a script)\n"), std::string::npos)
        << verbose.err;

    CliResult any = RunCli({"--any-case", dir / "any"});
    EXPECT_NE(any.out.find("Functions Replaced: 1\n"), std::string::npos) << any.out;
    EXPECT_NE(any.out.find("\nTags Left Alone: 1 "), std::string::npos) << any.out;
    EXPECT_EQ(ReadFile(dir / "any_Converted/object.js"),
              "function InsertObject1()\r\n{\r\ndocument.write('<OBJECT></OBJECT>');\r\n}\r\n");
}

TEST(HeadlessConverter, FailedPagesAndFailedRuns) {
    TempDir dir;
    WriteFile(dir / "site/a.html", "<object></object>");
    stdfs::create_directories(dir / "site/object.js");
    CliResult pages = RunCli({dir / "site"});
    EXPECT_EQ(pages.exitStatus, 3);
    EXPECT_NE(pages.out.find("\nPages Not Converted: 1 (see converter_log.txt)\n"), std::string::npos);
    EXPECT_NE(pages.err.find("Failed File:" + (dir / "site_Converted/a.html")), std::string::npos);
}

}  // namespace
}  // namespace tagshift

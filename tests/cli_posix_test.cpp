// The headless converter at the edges that only POSIX systems have: users
// and permissions, broken pipes, and runs killed with SIGKILL.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

#include "TestSupport.h"
#include "convert/ScriptFiles.h"

namespace tagshift {
namespace {

using test::Exists;
using test::Leftovers;
using test::ReadFile;
using test::Snapshot;
using test::TempDir;
using test::WriteFile;
namespace stdfs = std::filesystem;

const std::string kObj = std::string(KindTexts(TagKind::Object).sIncludeTag) + std::string(KindTexts(TagKind::Object).sCallStart);
const std::string kEmb = std::string(KindTexts(TagKind::Embed).sIncludeTag) + std::string(KindTexts(TagKind::Embed).sCallStart);

struct CliResult {
    int iStatus;
    std::string sOut;
    std::string sErr;
};

std::string ShellQuote(const std::string& sText) {
    std::string sQuoted = "'";
    for (char c : sText) sQuoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return sQuoted + "'";
}

// Runs a command line through /bin/sh; returns its exit status and collects
// its standard output.
int RunShell(const std::string& sCommand, std::string* pOutput = nullptr) {
    FILE* pPipe = ::popen(sCommand.c_str(), "r");
    if (!pPipe) return -1;
    char aBuffer[4096];
    for (std::size_t iRead; (iRead = std::fread(aBuffer, 1, sizeof aBuffer, pPipe)) > 0;)
        if (pOutput) pOutput->append(aBuffer, iRead);
    const int iStatus = ::pclose(pPipe);
    return WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : -1;
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
        oResult.iStatus = RunShell("cd " + ShellQuote(sWork) + " && (" + sCommand + ") 2>" +
                                               ShellQuote(oDir / "stderr.txt") + " </dev/null",
                                         &oResult.sOut);
        oResult.sErr = ReadFile(oDir / "stderr.txt");
        EXPECT_EQ(oResult.iStatus, oCase.iStatus) << oCase.sName << "\n" << oResult.sErr;
        oCase.fCheck(sWork, oResult);
        RunShell("chmod -R u+rwX " + ShellQuote(sWork));
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
        // Every copied or converted file keeps its source's bits, mode 0
        // too (root reads it), whatever the umask; a new script file takes
        // those of the page whose functions it receives first.
        {"umask 077 and every kind of file",
         [](const std::string& sWork) {
             const std::vector<std::pair<std::string, mode_t>> aModes = {
                 {"a.html", ::geteuid() == 0 ? 0 : 0400}, {"sub/b.htm", 0751}, {"img.gif", 0644},
                 {"style.css", 0604}, {"old/object.js", 0444}, {"plain.htm", 0664}};
             WriteFile(sWork + "/site/img.gif", "GIF89a");
             WriteFile(sWork + "/site/style.css", "p {}");
             WriteFile(sWork + "/site/old/object.js", "// own\n");
             WriteFile(sWork + "/site/plain.htm", "no blocks");
             for (const auto& [sName, iMode] : aModes) ::chmod((sWork + "/site/" + sName).c_str(), iMode);
         },
         "umask 077; {cli} site", 0,
         [](const std::string& sWork, const CliResult&) {
             auto Mode = [](const std::string& sPath) {
                 struct stat oStat {};
                 return ::lstat(sPath.c_str(), &oStat) == 0 ? oStat.st_mode & 07777 : 010000;
             };
             for (const auto& oEntry : stdfs::recursive_directory_iterator(sWork + "/site")) {
                 if (!oEntry.is_regular_file()) continue;
                 const std::string sRelative = stdfs::relative(oEntry.path(), sWork + "/site").string();
                 EXPECT_EQ(Mode(sWork + "/site_Converted/" + sRelative), Mode(oEntry.path().string())) << sRelative;
             }
             EXPECT_EQ(Mode(sWork + "/site_Converted/object.js"), Mode(sWork + "/site/a.html"));
             EXPECT_EQ(Mode(sWork + "/site_Converted/sub/embed.js"), 0751u);
         }},
        // The real source holds the link "self" to itself: its converted
        // folder would be written inside it.
        {"a source named through a link into itself",
         [](const std::string& sWork) {
             WriteFile(sWork + "/t/x/index.htm", "<object data=\"a\"></object>");
             stdfs::create_directory_symlink(".", sWork + "/t/x/self");
         },
         "{cli} t/x/self", 1,
         [](const std::string& sWork, const CliResult& oResult) {
             EXPECT_NE(oResult.sErr.find(sWork + "/t/x/self_Converted lies inside " + sWork + "/t/x\n"),
                       std::string::npos)
                 << oResult.sErr;
             std::vector<std::string> aNames;
             for (const auto& oEntry : stdfs::directory_iterator(sWork + "/t/x"))
                 aNames.push_back(oEntry.path().filename().string());
             std::sort(aNames.begin(), aNames.end());
             EXPECT_EQ(aNames, (std::vector<std::string>{"index.htm", "self"}));
             EXPECT_EQ(ReadFile(sWork + "/t/x/index.htm"), "<object data=\"a\"></object>");
         }},
        // The copy holds a folder open per level and runs out; taking the
        // unfinished tree away must not.
        {"a tree deeper than the open files allowed",
         [](const std::string& sWork) {
             std::string sDeep = sWork + "/site";
             for (int i = 0; i < 1022; ++i) ::mkdir((sDeep += "/d").c_str(), 0755);
             WriteFile(sDeep + "/p.html", "<object></object>");
         },
         "ulimit -n 1024 && {cli} site", 4,
         [](const std::string& sWork, const CliResult& oResult) {
             EXPECT_NE(oResult.sErr.find("Too many open files"), std::string::npos) << oResult.sErr;
             EXPECT_TRUE(Leftovers(sWork).empty());
         }},
        // The final name would fit; the temporary one, 18 bytes longer, does
        // not: the error names the path that was too long.
        {"a source path too long for the temporary name",
         [](const std::string& sWork) {
             std::string sRelative;
             while (sWork.size() + 1 + sRelative.size() + 201 + 5 < 4080) sRelative += std::string(200, 'n') + "/";
             sRelative += std::string(4080 - sWork.size() - 1 - sRelative.size() - 5, 'm') + "/site";
             WriteFile(sWork + "/" + sRelative + "/a.html", "<object></object>");
             WriteFile(sWork + "/longpath", sRelative);
         },
         "{cli} \"$(cat longpath)\"", 4,
         [](const std::string& sWork, const CliResult& oResult) {
             const std::string sSource = sWork + "/" + ReadFile(sWork + "/longpath");
             ASSERT_EQ(sSource.size(), 4080u);
             EXPECT_NE(oResult.sErr.find(sSource + "_Converted.incomplete-"), std::string::npos) << oResult.sErr;
             EXPECT_NE(oResult.sErr.find(" - File name too long\n"), std::string::npos) << oResult.sErr;
             EXPECT_EQ(oResult.sErr.find(sSource + "_Converted - "), std::string::npos) << oResult.sErr;
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
        if (RunShell("command -v setpriv >/dev/null && getent passwd nobody >/dev/null && "
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
             EXPECT_EQ(stdfs::status(sWork + "/site_Converted/object.js").permissions(), stdfs::perms(0444));
         }},
        // What the source will not give is a failure of its own; the run
        // goes on and publishes everything else, with its log.
        {"a folder that cannot be listed",
         [](const std::string& sWork) {
             WriteFile(sWork + "/site/locked/x.gif", "GIF");
             WriteFile(sWork + "/site/locked/y.html", "<object></object>");
             ::chmod((sWork + "/site/locked").c_str(), 0);
         },
         "{cli} site", 3,
         [](const std::string& sWork, const CliResult& oResult) {
             EXPECT_NE(oResult.sErr.find("Failed Folder:" + sWork +
                                         "/site_Converted/locked - not copied: Permission denied\n"),
                       std::string::npos)
                 << oResult.sErr;
             EXPECT_NE(oResult.sOut.find("\nFiles and Folders Not Copied: 1 (see converter_log.txt)\n"),
                       std::string::npos)
                 << oResult.sOut;
             ExpectConverted(sWork, "locked folder");
             EXPECT_FALSE(Exists(sWork + "/site_Converted/locked"));
         }},
        {"an image that cannot be read",
         [](const std::string& sWork) {
             WriteFile(sWork + "/site/img/secret.gif", "GIF");
             WriteFile(sWork + "/site/img/open.gif", "GIF");
             ::chmod((sWork + "/site/img/secret.gif").c_str(), 0);
         },
         "{cli} site", 3,
         [](const std::string& sWork, const CliResult& oResult) {
             EXPECT_NE(oResult.sErr.find("Failed File:" + sWork +
                                         "/site_Converted/img/secret.gif - not copied: Permission denied\n"),
                       std::string::npos)
                 << oResult.sErr;
             ExpectConverted(sWork, "unreadable image");
             EXPECT_EQ(Snapshot(sWork + "/site_Converted/img"),
                       (std::map<std::string, std::string>{{"open.gif", "F:GIF"}}));
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
            // The log is written before the rename: a tree under the final
            // name is complete, log and all.
            EXPECT_EQ(Snapshot(oDir / "site_Converted"), aComplete) << "killed after line " << iAt;
            stdfs::remove_all(oDir / "site_Converted");
        }
        for (const std::string& sLeft : Leftovers(oDir.Path())) {
            EXPECT_EQ(sLeft.rfind("site_Converted.incomplete-", 0), 0u) << sLeft;
            stdfs::remove_all(oDir / sLeft);
        }
    }
}

// A file system that runs out of room while the new tree is written: the
// run ends with a message that says what failed and leaves nothing, neither
// the new tree nor its temporary folder. Needs a small tmpfs (root).
TEST(HeadlessConverter, OnATerminalTheProgressLineShowsEveryStageAndThePageCount) {
    if (RunShell("command -v script >/dev/null") != 0) GTEST_SKIP() << "needs script(1) to give the converter a terminal";
    TempDir oDir;
    WriteFile(oDir / "site/a.html", "<object>a</object>");
    WriteFile(oDir / "site/b/c.htm", "<embed>b</embed>");
    std::string sOut;
    const std::string sCommand = ShellQuote(TAGSHIFT_CLI) + " " + ShellQuote(oDir / "site");
    ASSERT_EQ(RunShell("script -qec " + ShellQuote(sCommand) + " /dev/null </dev/null", &sOut), 0) << sOut;
    // Every stage is drawn when it begins, however close behind the one
    // before it: the copy never shows an earlier stage.
    for (const char* sLine : {"\rProgress: Disabling Interface", "\rProgress: Copying Directory",
                              "\r[0/2 pages] Progress: Preparing Javascript"})
        EXPECT_NE(sOut.find(sLine), std::string::npos) << sLine << " in\n" << sOut;
    EXPECT_NE(sOut.find("Files Converted: 2 | Functions Replaced: 2"), std::string::npos) << sOut;
}

TEST(HeadlessConverter, AFullFileSystemLeavesNothing) {
    struct Case {
        const char* sName;
        std::string sOptions;  // the tmpfs's
        std::function<void(const std::string& sWork)> fSetUp;
        std::string sMessage;  // the start of standard error, after sWork
    };
    auto Pages = [](const std::string& sWork) {
        for (const char* sPage : {"a", "b", "c"})
            WriteFile(sWork + "/site/" + sPage + ".htm", std::string("<object data=\"") + sPage + "\"></object>\n");
    };
    const std::vector<Case> aCases = {
        {"no inode left for the pages and the log", "size=1m,nr_inodes=8", Pages,
         "The converted folder could not be written: {work}/site_Converted/"},
        {"no room left for a copy", "size=1m",
         [&](const std::string& sWork) {
             Pages(sWork);
             WriteFile(sWork + "/site/big.gif", std::string(600 * 1024, 'x'));
         },
         "The folder could not be copied: {work}/site_Converted/big.gif - No space left on device"},
    };
    TempDir oDir;
    for (const Case& oCase : aCases) {
        const std::string sWork = oDir / "mnt";
        stdfs::create_directories(sWork);
        if (RunShell("mount -t tmpfs -o " + oCase.sOptions + " tmpfs " + ShellQuote(sWork) + " 2>/dev/null") != 0)
            GTEST_SKIP() << "a tmpfs cannot be mounted here (not root, or no mount permission): no full disk to "
                            "convert onto";
        std::unique_ptr<const std::string, std::function<void(const std::string*)>> oMounted(
            &sWork, [](const std::string* pWork) { RunShell("umount " + ShellQuote(*pWork)); });
        oCase.fSetUp(sWork);
        std::string sOut;
        const int iStatus = RunShell("cd " + ShellQuote(sWork) + " && " + ShellQuote(TAGSHIFT_CLI) + " site 2>&1", &sOut);
        EXPECT_EQ(iStatus, 4) << oCase.sName << "\n" << sOut;
        std::string sMessage = oCase.sMessage;
        sMessage.replace(sMessage.find("{work}"), 6, sWork);
        EXPECT_EQ(sOut.rfind(sMessage, 0), 0u) << oCase.sName << "\n" << sOut;
        EXPECT_NE(sOut.find("No space left on device"), std::string::npos) << oCase.sName << "\n" << sOut;
        EXPECT_TRUE(Leftovers(sWork).empty()) << oCase.sName;
    }
}

}  // namespace
}  // namespace tagshift

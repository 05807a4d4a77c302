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

const std::string kObj = std::string(KindTexts(TagKind::Object).includeTag) + std::string(KindTexts(TagKind::Object).callStart);
const std::string kEmb = std::string(KindTexts(TagKind::Embed).includeTag) + std::string(KindTexts(TagKind::Embed).callStart);

struct CliResult {
    int status;
    std::string out;
    std::string err;
};

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs a command line through /bin/sh; returns its exit status and collects
// its standard output.
int RunShell(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    for (std::size_t bytesRead; (bytesRead = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        if (output) output->append(buffer, bytesRead);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs of the headless converter at the edges: command is run by the shell
// in a fresh folder work that holds a small site; {cli} stands for the
// converter (run with the given prefix), {status} for a file outside work.
struct EdgeCase {
    const char* name;
    std::function<void(const std::string& work)> setUp;
    std::string command;
    int status;
    std::function<void(const std::string& work, const CliResult& result)> check;
};

void RunEdgeCases(const std::vector<EdgeCase>& cases, const std::string& prefix, bool giveAway) {
    for (const EdgeCase& testCase : cases) {
        TempDir tempDir;
        ::chmod(tempDir.Path().c_str(), 0755);
        const std::string work = tempDir / "work";
        WriteFile(work + "/site/a.html", "<object>a</object>");
        WriteFile(work + "/site/sub/b.htm", "<embed>b</embed>");
        if (giveAway) {
            const struct passwd* nobody = ::getpwnam("nobody");
            ASSERT_TRUE(nobody && ::chown(work.c_str(), nobody->pw_uid, nobody->pw_gid) == 0);
        }
        testCase.setUp(work);
        std::string command = testCase.command;
        for (std::size_t at; (at = command.find("{cli}")) != std::string::npos;)
            command.replace(at, 5, prefix + ShellQuote(TAGSHIFT_CLI));
        for (std::size_t at; (at = command.find("{status}")) != std::string::npos;)
            command.replace(at, 8, ShellQuote(tempDir / "status"));
        CliResult result{};
        result.status = RunShell("cd " + ShellQuote(work) + " && (" + command + ") 2>" +
                                               ShellQuote(tempDir / "stderr.txt") + " </dev/null",
                                         &result.out);
        result.err = ReadFile(tempDir / "stderr.txt");
        EXPECT_EQ(result.status, testCase.status) << testCase.name << "\n" << result.err;
        testCase.check(work, result);
        RunShell("chmod -R u+rwX " + ShellQuote(work));
    }
}

// The site converted completely beside its source, and nothing else there.
void ExpectConverted(const std::string& work, const char* caseName) {
    EXPECT_EQ(Leftovers(work), (std::vector<std::string>{"site_Converted"})) << caseName;
    if (!Exists(work + "/site_Converted/converter_log.txt")) return ADD_FAILURE() << caseName << ": no log";
    EXPECT_EQ(ReadFile(work + "/site_Converted/a.html"), kObj + "1();</script>") << caseName;
    EXPECT_EQ(ReadFile(work + "/site_Converted/sub/b.htm"), kEmb + "2();</script>") << caseName;
    const std::string log = ReadFile(work + "/site_Converted/converter_log.txt");
    EXPECT_NE(log.find("Copying Folder:" + work + "/site\r\n"), std::string::npos) << caseName << log;
    EXPECT_EQ(log.substr(log.size() - 16), "Process Complete") << caseName;
}

const char* const kExistsMessage = "A converted folder of this name already exists";

TEST(HeadlessConverter, EdgesOfSourcePathsDestinationsPatternsAndOutputs) {
    auto Nothing = [](const std::string&) {};
    const std::vector<EdgeCase> cases = {
        {"source given as .", Nothing, "cd site && {cli} .", 0,
         [](const std::string& work, const CliResult& result) {
             ExpectConverted(work, ".");
             EXPECT_EQ(Snapshot(work + "/site").size(), 3u);
             EXPECT_NE(result.out.find("visible at " + work + "/site_Converted\n"), std::string::npos);
         }},
        {"source given as ..", Nothing, "cd site/sub && {cli} ..", 0,
         [](const std::string& work, const CliResult&) {
             ExpectConverted(work, "..");
             EXPECT_EQ(Snapshot(work + "/site").size(), 3u);
         }},
        {"a file named like the destination",
         [](const std::string& work) { WriteFile(work + "/site_Converted", "mine"); }, "{cli} site", 1,
         [](const std::string& work, const CliResult& result) {
             EXPECT_EQ(result.err.rfind(kExistsMessage, 0), 0u) << result.err;
             EXPECT_EQ(ReadFile(work + "/site_Converted"), "mine");
         }},
        {"a dangling link named like the destination",
         [](const std::string& work) { stdfs::create_symlink(work + "/nowhere", work + "/site_Converted"); },
         "{cli} site", 1,
         [](const std::string& work, const CliResult& result) {
             EXPECT_EQ(result.err.rfind(kExistsMessage, 0), 0u) << result.err;
             EXPECT_TRUE(stdfs::is_symlink(work + "/site_Converted"));
         }},
        // Every copied or converted file keeps its source's bits, mode 0
        // too (root reads it), whatever the umask; a new script file takes
        // those of the page whose functions it receives first.
        {"umask 077 and every kind of file",
         [](const std::string& work) {
             const std::vector<std::pair<std::string, mode_t>> modes = {
                 {"a.html", ::geteuid() == 0 ? 0 : 0400}, {"sub/b.htm", 0751}, {"img.gif", 0644},
                 {"style.css", 0604}, {"old/object.js", 0444}, {"plain.htm", 0664}};
             WriteFile(work + "/site/img.gif", "GIF89a");
             WriteFile(work + "/site/style.css", "p {}");
             WriteFile(work + "/site/old/object.js", "// own\n");
             WriteFile(work + "/site/plain.htm", "no blocks");
             for (const auto& [name, mode] : modes) ::chmod((work + "/site/" + name).c_str(), mode);
         },
         "umask 077; {cli} site", 0,
         [](const std::string& work, const CliResult&) {
             auto Mode = [](const std::string& path) {
                 struct stat fileStatus {};
                 return ::lstat(path.c_str(), &fileStatus) == 0 ? fileStatus.st_mode & 07777 : 010000;
             };
             for (const auto& entry : stdfs::recursive_directory_iterator(work + "/site")) {
                 if (!entry.is_regular_file()) continue;
                 const std::string relative = stdfs::relative(entry.path(), work + "/site").string();
                 EXPECT_EQ(Mode(work + "/site_Converted/" + relative), Mode(entry.path().string())) << relative;
             }
             EXPECT_EQ(Mode(work + "/site_Converted/object.js"), Mode(work + "/site/a.html"));
             EXPECT_EQ(Mode(work + "/site_Converted/sub/embed.js"), 0751u);
         }},
        // The real source holds the link "self" to itself: its converted
        // folder would be written inside it.
        {"a source named through a link into itself",
         [](const std::string& work) {
             WriteFile(work + "/t/x/index.htm", "<object data=\"a\"></object>");
             stdfs::create_directory_symlink(".", work + "/t/x/self");
         },
         "{cli} t/x/self", 1,
         [](const std::string& work, const CliResult& result) {
             EXPECT_NE(result.err.find(work + "/t/x/self_Converted lies inside " + work + "/t/x\n"),
                       std::string::npos)
                 << result.err;
             std::vector<std::string> names;
             for (const auto& entry : stdfs::directory_iterator(work + "/t/x"))
                 names.push_back(entry.path().filename().string());
             std::sort(names.begin(), names.end());
             EXPECT_EQ(names, (std::vector<std::string>{"index.htm", "self"}));
             EXPECT_EQ(ReadFile(work + "/t/x/index.htm"), "<object data=\"a\"></object>");
         }},
        // The walk holds no folder open while it goes down: a tree deeper
        // than the open files allowed converts. With one descriptor to spare
        // the run does run out; taking the unfinished deep tree away must not.
        {"a tree deeper than the open files allowed",
         [](const std::string& work) {
             std::string deep = work + "/site";
             for (int i = 0; i < 1022; ++i) ::mkdir((deep += "/d").c_str(), 0755);
             WriteFile(deep + "/p.html", "<object></object>");
         },
         "ulimit -n 1024 && {cli} site", 0,
         [](const std::string& work, const CliResult&) {
             std::string deep = work + "/site_Converted";
             for (int i = 0; i < 1022; ++i) deep += "/d";
             EXPECT_EQ(ReadFile(deep + "/p.html"), kObj + "2();</script>");  // after a.html
         }},
        {"a deep tree and too few open files",
         [](const std::string& work) {
             std::string deep = work + "/site";
             for (int i = 0; i < 1022; ++i) ::mkdir((deep += "/d").c_str(), 0755);
             WriteFile(deep + "/p.html", "<object></object>");
         },
         // Only the standard three open, whatever the caller left open. On
         // one thread the run needs two files open at once and fails the same
         // way every time; workers may or may not open theirs side by side.
         "bash -c 'for fd in $(ls /proc/$$/fd); do [ $fd -gt 2 ] && eval \"exec $fd>&-\"; done;"
         " ulimit -n 4 && exec \"$@\"' - {cli} --jobs 1 site",
         4,
         [](const std::string& work, const CliResult& result) {
             EXPECT_NE(result.err.find("Too many open files"), std::string::npos) << result.err;
             EXPECT_TRUE(Leftovers(work).empty());
         }},
        // The final name would fit; the temporary one, 18 bytes longer, does
        // not: the error names the path that was too long.
        {"a source path too long for the temporary name",
         [](const std::string& work) {
             std::string relative;
             while (work.size() + 1 + relative.size() + 201 + 5 < 4080) relative += std::string(200, 'n') + "/";
             relative += std::string(4080 - work.size() - 1 - relative.size() - 5, 'm') + "/site";
             WriteFile(work + "/" + relative + "/a.html", "<object></object>");
             WriteFile(work + "/longpath", relative);
         },
         "{cli} \"$(cat longpath)\"", 4,
         [](const std::string& work, const CliResult& result) {
             const std::string source = work + "/" + ReadFile(work + "/longpath");
             ASSERT_EQ(source.size(), 4080u);
             // The new tree is named as the user knows it, the name it is built under after it.
             EXPECT_NE(result.err.find(source + "_Converted (being built as site_Converted.incomplete-"), std::string::npos)
                 << result.err;
             EXPECT_NE(result.err.find(" - File name too long\n"), std::string::npos) << result.err;
             EXPECT_EQ(result.err.find(source + "_Converted - "), std::string::npos) << result.err;
         }},
        {"no usable pattern", Nothing, "{cli} --patterns ';' site", 1,
         [](const std::string& work, const CliResult& result) {
             EXPECT_EQ(result.err, "You must select a pattern...\n");
             EXPECT_TRUE(Leftovers(work).empty());
         }},
        // The reader of the output is gone before anything is written.
        {"standard output read by nobody", Nothing,
         "{ sleep 0.05; {cli} site; echo $? >{status}; } | true; exit $(cat {status})", 0,
         [](const std::string& work, const CliResult&) { ExpectConverted(work, "stdout"); }},
        {"standard error read by nobody", Nothing,
         "{ sleep 0.05; {cli} --verbose site 2>&1 >/dev/null; echo $? >{status}; } | true; exit $(cat {status})", 0,
         [](const std::string& work, const CliResult&) { ExpectConverted(work, "stderr"); }},
    };
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizers' runtime cannot work with four open files: the run is
    // then ended by the runtime, not by the fault under test.
    std::vector<EdgeCase> kept;
    for (const EdgeCase& testCase : cases)
        if (std::string(testCase.name) != "a deep tree and too few open files") kept.push_back(testCase);
    RunEdgeCases(kept, "", false);
#else
    RunEdgeCases(cases, "", false);
#endif
}

// Permissions bind only an ordinary user: as root the cases run as nobody.
TEST(HeadlessConverter, EdgesOfPermissionsAsAnOrdinaryUser) {
    std::string prefix;
    const bool root = ::geteuid() == 0;
    if (root) {
        if (RunShell("command -v setpriv >/dev/null && getent passwd nobody >/dev/null && "
                             "getent group nogroup >/dev/null") != 0)
            GTEST_SKIP() << "running as root without setpriv or the nobody user and nogroup group: the "
                            "permission cases cannot run as an ordinary user";
        prefix = "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
    }
    // The root folder is here too: should its refusal fail, an ordinary user
    // cannot start copying the whole file system.
    const std::vector<EdgeCase> cases = {
        {"the root folder", [](const std::string&) {}, "{cli} /", 1,
         [](const std::string& work, const CliResult& result) {
             EXPECT_NE(result.err.find("cannot be converted"), std::string::npos) << result.err;
             EXPECT_FALSE(Exists("/_Converted"));
             EXPECT_TRUE(Leftovers(work).empty());
         }},
        {"an unreadable page",
         [](const std::string& work) {
             WriteFile(work + "/site/p.htm", "<object>p</object>");
             ::chmod((work + "/site/p.htm").c_str(), 0);
         },
         "{cli} site", 3,
         [](const std::string& work, const CliResult& result) {
             EXPECT_NE(result.err.find("Failed File:" + work + "/site_Converted/p.htm"), std::string::npos)
                 << result.err;
             ASSERT_TRUE(Exists(work + "/site_Converted/converter_log.txt"));
             EXPECT_EQ(ReadFile(work + "/site_Converted/a.html"), kObj + "1();</script>");
             EXPECT_NE(ReadFile(work + "/site_Converted/converter_log.txt").find("Failed File:"), std::string::npos);
         }},
        {"a read-only script file",
         [](const std::string& work) {
             WriteFile(work + "/site/object.js", "// own\n");
             ::chmod((work + "/site/object.js").c_str(), 0444);
         },
         "{cli} site", 0,
         [](const std::string& work, const CliResult&) {
             ExpectConverted(work, "read-only object.js");
             ASSERT_TRUE(Exists(work + "/site_Converted/object.js"));
             EXPECT_EQ(ReadFile(work + "/site_Converted/object.js").rfind("// own\nfunction InsertObject1()", 0),
                       0u);
             EXPECT_EQ(stdfs::status(work + "/site_Converted/object.js").permissions(), stdfs::perms(0444));
         }},
        // What the source will not give is a failure of its own; the run
        // goes on and publishes everything else, with its log.
        {"a folder that cannot be listed",
         [](const std::string& work) {
             WriteFile(work + "/site/locked/x.gif", "GIF");
             WriteFile(work + "/site/locked/y.html", "<object></object>");
             ::chmod((work + "/site/locked").c_str(), 0);
         },
         "{cli} site", 3,
         [](const std::string& work, const CliResult& result) {
             EXPECT_NE(result.err.find("Failed Folder:" + work +
                                         "/site_Converted/locked - not copied: Permission denied\n"),
                       std::string::npos)
                 << result.err;
             EXPECT_NE(result.out.find("\nFiles and Folders Not Copied: 1 (see converter_log.txt)\n"),
                       std::string::npos)
                 << result.out;
             ExpectConverted(work, "locked folder");
             EXPECT_FALSE(Exists(work + "/site_Converted/locked"));
         }},
        {"an image that cannot be read",
         [](const std::string& work) {
             WriteFile(work + "/site/img/secret.gif", "GIF");
             WriteFile(work + "/site/img/open.gif", "GIF");
             ::chmod((work + "/site/img/secret.gif").c_str(), 0);
         },
         "{cli} site", 3,
         [](const std::string& work, const CliResult& result) {
             EXPECT_NE(result.err.find("Failed File:" + work +
                                         "/site_Converted/img/secret.gif - not copied: Permission denied\n"),
                       std::string::npos)
                 << result.err;
             ExpectConverted(work, "unreadable image");
             EXPECT_EQ(Snapshot(work + "/site_Converted/img"),
                       (std::map<std::string, std::string>{{"open.gif", "F:GIF"}}));
         }},
    };
    RunEdgeCases(cases, prefix, root);
}

// Starts the converter with --verbose and kills it with SIGKILL once it has
// written lines status lines (never, when lines is 0). Returns the number
// of lines it wrote.
int RunAndKill(const std::string& dir, int lines) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(dir.c_str()) != 0) ::_exit(127);
        ::dup2(pipeFds[1], 2);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        ::execl(TAGSHIFT_CLI, TAGSHIFT_CLI, "--verbose", "site", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    int seen = 0;
    char buffer[4096];
    for (ssize_t bytesRead; (bytesRead = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        for (ssize_t i = 0; i < bytesRead; ++i) seen += buffer[i] == '\n';
        if (lines > 0 && seen >= lines) {
            ::kill(child, SIGKILL);
            break;
        }
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return seen;
}

TEST(HeadlessConverter, AKilledRunLeavesTheDestinationAbsentOrComplete) {
    TempDir tempDir;
    WriteFile(tempDir / "site/converter_log.txt", "Process Started\r\nProcess Complete");
    for (int folder = 0; folder < 3; ++folder)
        for (int pageNumber = 0; pageNumber < 30; ++pageNumber)
            WriteFile(tempDir / ("site/f" + std::to_string(folder) + "/p" + std::to_string(pageNumber) + ".html"),
                      std::string(2000, 'x') + "<object>" + std::to_string(pageNumber) + "</object>\r\n<embed></embed>");
    const int lines = RunAndKill(tempDir.Path(), 0);
    const auto complete = Snapshot(tempDir / "site_Converted");
    ASSERT_EQ(complete.at("f2/p9.html").find("<object"), std::string::npos);
    stdfs::remove_all(tempDir / "site_Converted");

    for (int at : {1, 4, 5, 6, lines / 4, lines / 2, lines * 3 / 4, lines - 2, lines - 1}) {
        RunAndKill(tempDir.Path(), at);
        if (Exists(tempDir / "site_Converted")) {
            // The log is written before the rename: a tree under the final
            // name is complete, log and all.
            EXPECT_EQ(Snapshot(tempDir / "site_Converted"), complete) << "killed after line " << at;
            stdfs::remove_all(tempDir / "site_Converted");
        }
        for (const std::string& left : Leftovers(tempDir.Path())) {
            EXPECT_EQ(left.rfind("site_Converted.incomplete-", 0), 0u) << left;
            stdfs::remove_all(tempDir / left);
        }
    }
}

TEST(HeadlessConverter, OnATerminalTheProgressLineShowsEveryStageAndThePageCount) {
    if (RunShell("command -v script >/dev/null") != 0) GTEST_SKIP() << "needs script(1) to give the converter a terminal";
    TempDir tempDir;
    WriteFile(tempDir / "site/a.html", "<object>a</object>");
    WriteFile(tempDir / "site/b/c.htm", "<embed>b</embed>");
    std::string out;
    const std::string command = ShellQuote(TAGSHIFT_CLI) + " " + ShellQuote(tempDir / "site");
    ASSERT_EQ(RunShell("script -qec " + ShellQuote(command) + " /dev/null </dev/null", &out), 0) << out;
    // Every stage is drawn when it begins, however close behind the one
    // before it: the copy never shows an earlier stage.
    for (const char* line : {"\rProgress: Disabling Interface", "\rProgress: Copying Directory",
                              "\r[0/2 pages] Progress: Preparing Javascript"})
        EXPECT_NE(out.find(line), std::string::npos) << line << " in\n" << out;
    // The summary starts on a line of its own, after the last stage.
    EXPECT_NE(out.find("\r[2/2 pages] Progress: Website Converted\r\nFiles Converted: 2 | Functions Replaced: 2\r\n"),
              std::string::npos)
        << out;
}

// A file system that runs out of room while the new tree is written: the
// run ends with a message that says what failed and leaves nothing, neither
// the new tree nor its temporary folder. Needs a small tmpfs (root).
TEST(HeadlessConverter, AFullFileSystemLeavesNothing) {
    struct Case {
        const char* name;
        std::string options;  // the tmpfs's
        std::function<void(const std::string& work)> setUp;
        std::string message;  // the start of standard error, after work
    };
    auto Pages = [](const std::string& work) {
        for (const char* page : {"a", "b", "c"})
            WriteFile(work + "/site/" + page + ".htm", std::string("<object data=\"") + page + "\"></object>\n");
    };
    const std::vector<Case> cases = {
        {"no inode left for the pages and the log", "size=1m,nr_inodes=8", Pages,
         "The converted folder could not be written: {work}/site_Converted/"},
        {"no room left for a copy", "size=1m",
         [&](const std::string& work) {
             Pages(work);
             WriteFile(work + "/site/big.gif", std::string(600 * 1024, 'x'));
         },
         "The folder could not be copied: {work}/site_Converted/big.gif - No space left on device"},
    };
    TempDir tempDir;
    for (const Case& testCase : cases) {
        const std::string work = tempDir / "mnt";
        stdfs::create_directories(work);
        if (RunShell("mount -t tmpfs -o " + testCase.options + " tmpfs " + ShellQuote(work) + " 2>/dev/null") != 0)
            GTEST_SKIP() << "a tmpfs cannot be mounted here (not root, or no mount permission): no full disk to "
                            "convert onto";
        std::unique_ptr<const std::string, std::function<void(const std::string*)>> mounted(
            &work, [](const std::string* workPointer) { RunShell("umount " + ShellQuote(*workPointer)); });
        testCase.setUp(work);
        std::string out;
        const int status = RunShell("cd " + ShellQuote(work) + " && " + ShellQuote(TAGSHIFT_CLI) + " site 2>&1", &out);
        EXPECT_EQ(status, 4) << testCase.name << "\n" << out;
        std::string message = testCase.message;
        message.replace(message.find("{work}"), 6, work);
        EXPECT_EQ(out.rfind(message, 0), 0u) << testCase.name << "\n" << out;
        EXPECT_NE(out.find("No space left on device"), std::string::npos) << testCase.name << "\n" << out;
        EXPECT_TRUE(Leftovers(work).empty()) << testCase.name;
    }
}

// Names may hold any byte but '/' and NUL: each control byte is shown as
// its picture, so that no name can write a line of its own into the log or
// onto standard error, and the files keep their names.
TEST(HeadlessConverter, ControlBytesInNamesAreShownAsTheirPictures) {
    TempDir tempDir;
    const std::string work = tempDir.Path();
    for (const char* page : {"/site/a\r\nFailed File: b.html", "/site/del\x7f.html", "/site/esc\x1b.html",
                             "/site/e\nf/g\th.html"})
        WriteFile(work + page, "<object>x</object>");
    WriteFile(work + "/site/bad\nfolder/p.html", "<embed>y</embed>");
    stdfs::create_directories(work + "/site/bad\nfolder/embed.js");  // the page fails: its script file is a folder
    std::string out;
    const int status = RunShell("cd " + ShellQuote(work) + " && " + ShellQuote(TAGSHIFT_CLI) + " site 2>err.txt", &out);
    EXPECT_EQ(status, 3) << ReadFile(work + "/err.txt");
    const std::string d = work + "/site_Converted";
    EXPECT_EQ(ReadFile(d + "/converter_log.txt"),
              "Process Started\r\nCopying Folder:" + work + "/site\r\nDestination Folder:" + d +
                  "\r\nProcessing File:" + d + "/a\u240d\u240aFailed File: b.html\r\nProcessing File:" + d +
                  "/del\u2421.html\r\nProcessing File:" + d + "/esc\u241b.html\r\nProcessing File:" + d +
                  "/bad\u240afolder/p.html\r\nFailed File:" + d + "/bad\u240afolder/p.html - " + d +
                  "/bad\u240afolder/embed.js: Is a directory\r\nProcessing File:" + d +
                  "/e\u240af/g\u2409h.html\r\nProcess Complete");
    EXPECT_EQ(ReadFile(work + "/err.txt"), "Failed File:" + d + "/bad\u240afolder/p.html - " + d +
                                               "/bad\u240afolder/embed.js: Is a directory\n");
    EXPECT_EQ(out, "Files Converted: 4 | Functions Replaced: 4\nYour new website(s) are visible at " + d +
                       "\nPages Not Converted: 1 (see converter_log.txt)\n");
    EXPECT_EQ(ReadFile(d + "/a\r\nFailed File: b.html"), kObj + "1();</script>");
    EXPECT_EQ(ReadFile(d + "/e\nf/g\th.html"), kObj + "4();</script>");
}

// Memory and the file-size limit run out: the run ends like any other fault
// that stops it, says what it was doing and why, and leaves nothing. The
// page is sparse: it costs no room, only memory to read.
TEST(HeadlessConverter, MemoryAndFileSizeLimitsEndTheRunAndLeaveNothing) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's runtime cannot start under a memory limit";
#endif
    struct Case {
        const char* name;
        const char* limit;
        const char* bigFile;
        const char* message;  // standard error's first line, after "{work}/site_Converted/"
    };
    const std::vector<Case> cases = {
        {"memory", "ulimit -v 120000", "big.html",
         "The site could not be converted: {work}/site_Converted/big.html - not enough memory"},
        {"file size", "ulimit -f 1000", "big.gif",
         "The folder could not be copied: {work}/site_Converted/big.gif - File too large"},
    };
    for (const Case& testCase : cases) {
        TempDir tempDir;
        const std::string work = tempDir.Path();
        WriteFile(work + "/site/a.html", "<object>a</object>");
        const std::string big = work + "/site/" + testCase.bigFile;
        WriteFile(big, "<object>");
        stdfs::resize_file(big, 200u << 20);
        std::string out;
        const int status = RunShell("cd " + ShellQuote(work) + " && " + testCase.limit + " && " +
                                        ShellQuote(TAGSHIFT_CLI) + " site 2>&1 >/dev/null",
                                    &out);
        EXPECT_EQ(status, 4) << testCase.name << "\n" << out;
        std::string message = testCase.message;
        message.replace(message.find("{work}"), 6, work);
        EXPECT_EQ(out.substr(0, out.find('\n')), message) << testCase.name;
        EXPECT_TRUE(Leftovers(work).empty()) << testCase.name;
    }
}

}  // namespace
}  // namespace tagshift

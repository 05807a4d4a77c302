// The file operations where only POSIX systems have the case: special files,
// owners and set-user-ID bits, holes, the file-size limit, the path limit.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "TestSupport.h"
#include "convert/Conversion.h"
#include "convert/RunTexts.h"
#include "fs/FileSystem.h"

namespace tagshift {
namespace {

using test::TempDir;
using test::WriteFile;

void MakeSocket(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << path;
    ::close(fd);
}

struct Stat : stat {
    explicit Stat(const std::string& path) : stat{} { EXPECT_EQ(::lstat(path.c_str(), this), 0) << path; }
};

// Neither copied nor opened (a pipe would wait for a writer), but named, in
// every folder, whatever the name says.
TEST(SpecialFiles, AreLeftOutAndNamedWithWhy) {
    TempDir dir;
    WriteFile(dir / "src/page.html", "p");
    WriteFile(dir / "src/sub/page.html", "p");
    ASSERT_EQ(::mkfifo((dir / "src/pipe.html").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo((dir / "src/sub/pipe").c_str(), 0644), 0);
    MakeSocket(dir / "src/sub/socket.html");
    const bool devices = ::mknod((dir / "src/dev.html").c_str(), S_IFCHR | 0644, makedev(1, 3)) == 0;
    ::mkdir((dir / "dst").c_str(), 0755);

    std::vector<std::string> leftOut;
    ASSERT_FALSE(fs::CopyTreeInto(dir / "src", dir / "dst", nullptr, nullptr, nullptr,
                                  [&](const std::string& path, const std::string& why) {
                                      leftOut.push_back(path.substr(dir.Path().size()) + " - " + why);
                                  })
                     .Failed());
    std::vector<std::string> expected = {"/src/pipe.html - a named pipe, not a file",
                                         "/src/sub/pipe - a named pipe, not a file",
                                         "/src/sub/socket.html - a socket, not a file"};
    if (devices) expected.insert(expected.begin(), "/src/dev.html - a device, not a file");
    EXPECT_EQ(leftOut, expected);
    EXPECT_EQ(test::Snapshot(dir / "dst"),
              (std::map<std::string, std::string>{{"page.html", "F:p"}, {"sub", "D:"}, {"sub/page.html", "F:p"}}));

    // The walk's listing names them too (a page that became a pipe after the
    // copy); reading one never waits.
    fs::FolderListing listing;
    ASSERT_FALSE(fs::ListFolder(dir / "src/sub", listing).Failed());
    EXPECT_EQ(listing.files, std::vector<std::string>{"page.html"});
    ASSERT_EQ(listing.leftOut.size(), 2u);
    EXPECT_EQ(listing.leftOut[0].name + " - " + listing.leftOut[0].why, "pipe - a named pipe, not a file");
    EXPECT_EQ(listing.leftOut[1].name + " - " + listing.leftOut[1].why, "socket.html - a socket, not a file");
    std::string data;
    EXPECT_EQ(fs::ReadWholeFile(dir / "src/pipe.html", data).reason, "a named pipe, not a file");
    EXPECT_EQ(fs::ReadWholeFile(dir / "src/sub/socket.html", data).reason, "a socket, not a file");
    EXPECT_EQ(fs::CopyFile(dir / "src/pipe.html", dir / "copy").reason, "a named pipe, not a file");
}

// In a run each one is a line of the log and counted in the summary, and
// no failure; so is a page that became a pipe after the copy.
TEST(SpecialFiles, AreNamedByTheRun) {
    TempDir dir;
    const std::string source = dir / "site";
    WriteFile(source + "/a.html", "<object>a</object>");
    WriteFile(source + "/sub/b.html", "<object>b</object>");
    ASSERT_EQ(::mkfifo((source + "/pipe.html").c_str(), 0644), 0);
    MakeSocket(source + "/sub/socket");
    ConversionRequest request;
    request.sourceFolder = source;
    test::RecordingObserver host;
    host.onStatus = [&](const std::string& status) {
        if (status != "Progress: Preparing Javascript") return;
        ::unlink((source + "/sub/b.html").c_str());
        ::mkfifo((source + "/sub/b.html").c_str(), 0644);
    };
    const ConversionResult result = Convert(request, host);
    EXPECT_EQ(result.outcome, RunOutcome::Completed) << result.error;
    EXPECT_EQ(result.entriesLeftOut, 3);
    const std::string dest = source + "_Converted";
    const std::string log = LogText(result);
    for (const std::string& line : {"Left Out: " + dest + "/pipe.html - a named pipe, not a file\r\n",
                                    "Left Out: " + dest + "/sub/socket - a socket, not a file\r\n",
                                    "Left Out: " + dest + "/sub/b.html - a named pipe, not a file\r\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << log;
    EXPECT_NE(SummaryText(result).find("\r\nEntries Left Out: 3 (see converter_log.txt)"), std::string::npos)
        << SummaryText(result);
}

// A copy keeps set-user-ID and set-group-ID bits only when it has its
// source's owner and group, as cp does; a script file never takes them.
TEST(Bits, SetIdBitsOnlyWithTheSourcesOwner) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to give files to other owners";
    struct Case {
        unsigned mode;
        uid_t owner;
        gid_t group;
        unsigned copied;  // the copy's and the converted page's mode
    };
    const std::vector<Case> cases = {
        {06755, 0, 0, 06755}, {06755, 65534, 0, 0755},   {06755, 0, 65534, 0755},
        {04711, 65534, 65534, 0711}, {02750, 0, 65534, 0750}, {01777, 65534, 65534, 01777},
    };
    for (const Case& testCase : cases) {
        TempDir dir;
        const std::string file = dir / "prog";
        WriteFile(file, "#!/bin/sh\n");
        ASSERT_EQ(::chown(file.c_str(), testCase.owner, testCase.group), 0);
        ASSERT_EQ(::chmod(file.c_str(), testCase.mode), 0);
        ASSERT_FALSE(fs::CopyFile(file, dir / "copy").Failed());
        EXPECT_EQ(Stat(dir / "copy").st_mode & 07777, testCase.copied) << std::oct << testCase.mode;

        std::string data;
        fs::FileInfo info;
        ASSERT_FALSE(fs::ReadWholeFile(file, data, &info).Failed());
        ASSERT_FALSE(fs::WriteFileAtomic(dir / "page", data, &info).Failed());
        EXPECT_EQ(Stat(dir / "page").st_mode & 07777, testCase.copied) << std::oct << testCase.mode;

        fs::AppendFile script;
        fs::AppendMark mark;
        ASSERT_FALSE(script.Open(dir / "embed.js", mark, &info).Failed());
        script.Close();
        EXPECT_EQ(Stat(dir / "embed.js").st_mode & 07777, testCase.mode & 0777) << std::oct << testCase.mode;
    }
    // A folder likewise.
    TempDir dir;
    ::mkdir((dir / "src").c_str(), 0755);
    ::mkdir((dir / "src/bin").c_str(), 0755);
    ASSERT_EQ(::chown((dir / "src/bin").c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod((dir / "src/bin").c_str(), 02775), 0);
    ASSERT_FALSE(test::CopyTree(dir / "src", dir / "dst").Failed());
    EXPECT_EQ(Stat(dir / "dst/bin").st_mode & 07777, 0775u);
}

TEST(Holes, StayHoles) {
    TempDir dir;
    const std::string file = dir / "disk.img";
    const off_t size = off_t{4} << 30;
    {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_EQ(::pwrite(fd, "head", 4, 0), 4);
        ASSERT_EQ(::pwrite(fd, "middle", 6, size / 2), 6);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
    }
    if (Stat(file).st_blocks * 512 > (1 << 20)) GTEST_SKIP() << "the file system here keeps no holes";
    ASSERT_FALSE(fs::CopyFile(file, dir / "copy.img").Failed());
    const Stat copy(dir / "copy.img");
    EXPECT_EQ(copy.st_size, size);
    EXPECT_LE(copy.st_blocks * 512, 1 << 20);
    char bytes[7] = {};
    const int fd = ::open((dir / "copy.img").c_str(), O_RDONLY);
    EXPECT_EQ(::pread(fd, bytes, 6, size / 2), 6);
    EXPECT_STREQ(bytes, "middle");
    EXPECT_EQ(::pread(fd, bytes, 6, size - 6), 6);
    EXPECT_EQ(std::string(bytes, 6), std::string(6, '\0'));
    ::close(fd);
}

// Past the file-size limit a write fails with EFBIG (once SIGXFSZ is
// ignored, as the programs do): the storage's failure, which ends a run.
TEST(FileSizeLimit, IsAStorageFailure) {
    TempDir dir;
    WriteFile(dir / "big.gif", std::string(3 << 20, 'x'));
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = 1 << 20;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const fs::FsError error = fs::CopyFile(dir / "big.gif", dir / "copy.gif");
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(error.path, dir / "copy.gif");
    EXPECT_EQ(error.reason, "File too large");
    EXPECT_EQ(error.cause, fs::FsCause::Storage);
    EXPECT_FALSE(test::Exists(dir / "copy.gif"));
}

// A folder whose path the system will not take is one failure, however
// much lies below it, and the rest of its parent is converted.
TEST(PathLimit, AFolderPastItFailsOnce) {
    TempDir dir;
    const std::string source = dir / "site";
    // Sixteen levels reach 3,950 bytes, and the copy's 28 more fit; the
    // seventeenth passes 4,096.
    std::string deep = source + "/" + std::string(3950 - source.size() - 1 - 15 * 251, 'a');
    for (int level = 0; level < 15; ++level) deep += "/" + std::string(250, 'b');
    WriteFile(deep + "/p.html", "<object>p</object>");
    const std::string tooDeep = std::string(250, 'c');
    const int folder = ::open(deep.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::mkdirat(folder, tooDeep.c_str(), 0755), 0);
    ASSERT_EQ(::mkdirat(folder, (tooDeep + "/d").c_str(), 0755), 0);
    ::close(::openat(folder, (tooDeep + "/d/q.html").c_str(), O_WRONLY | O_CREAT, 0644));
    ::close(folder);

    ConversionRequest request;
    request.sourceFolder = source;
    test::RecordingObserver host;
    const ConversionResult result = Convert(request, host);
    EXPECT_EQ(result.outcome, RunOutcome::CompletedWithFailures) << result.error;
    EXPECT_EQ(result.pagesConverted, 1);
    EXPECT_EQ(result.entriesNotCopied, 1);
    const std::vector<std::string> failures = FailureLines(result);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0], "Failed Folder:" + source + "_Converted" + deep.substr(source.size()) + "/" +
                                           tooDeep + " - not copied: File name too long");
    // TempDir removes only what it can reach by name.
    const int parent = ::open(deep.c_str(), O_RDONLY | O_DIRECTORY);
    ::unlinkat(parent, (tooDeep + "/d/q.html").c_str(), 0);
    ::unlinkat(parent, (tooDeep + "/d").c_str(), AT_REMOVEDIR);
    ::unlinkat(parent, tooDeep.c_str(), AT_REMOVEDIR);
    ::close(parent);
}

}  // namespace
}  // namespace tagshift

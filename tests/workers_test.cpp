// A run on several workers writes, records and tells exactly what a run on
// one thread does: the same bytes, modes and times in the new tree, the same
// log, the same status texts, progress and tags left alone, in the same
// order, on trees that hold awkward pages and pages that fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <type_traits>

#include "TestSupport.h"
#include "convert/Conversion.h"
#include "convert/RunTexts.h"
#include "fs/FileSystem.h"

namespace tagshift {
namespace {

using test::Native;
using test::ReadFile;
using test::RecordingObserver;
using test::TempDir;
using test::WriteFile;
namespace stdfs = std::filesystem;

// Every entry below root: its kind, its bytes, its mode and, for what the
// run copied rather than wrote, its modification time.
std::vector<std::string> Manifest(const std::string& root, const std::string& writtenPattern) {
    std::vector<std::string> lines;
    const stdfs::path rootPath = stdfs::u8path(root);
    for (auto it = stdfs::recursive_directory_iterator(rootPath); it != stdfs::recursive_directory_iterator(); ++it) {
        const std::string relative = stdfs::relative(it->path(), rootPath).u8string();
        const auto status = it->symlink_status();
        std::string line = relative + " " + std::to_string(static_cast<int>(status.permissions()));
        if (stdfs::is_regular_file(status)) {
            line += " " + ReadFile(it->path().u8string());
            const std::string name = it->path().filename().u8string();
            const bool written = name == "object.js" || name == "embed.js" || name == "converter_log.txt" ||
                                 relative.find(writtenPattern) != std::string::npos;
            if (!written) line += " @" + std::to_string(stdfs::last_write_time(it->path()).time_since_epoch().count());
        }
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The first line where two lists differ, cut short (the trees hold large
// pages), or "" when they are the same.
template <typename Line>
std::string FirstDifference(const std::vector<Line>& one, const std::vector<Line>& other) {
    auto text = [](const Line& line) {
        if constexpr (std::is_same_v<Line, std::string>) return line.substr(0, 300);
        else return std::to_string(line.first) + "/" + std::to_string(line.second);
    };
    for (std::size_t i = 0; i < std::max(one.size(), other.size()); ++i) {
        if (i < one.size() && i < other.size() && one[i] == other[i]) continue;
        return "line " + std::to_string(i) + ": " + (i < one.size() ? text(one[i]) : "(none)") + "\n    against " +
               (i < other.size() ? text(other[i]) : "(none)");
    }
    return "";
}

struct Outcome {
    std::vector<std::string> tree;
    std::string log;
    std::vector<std::string> statuses;
    std::vector<std::pair<long long, long long>> progress;
    std::vector<std::string> leftAlone;
};

Outcome ConvertWith(const std::string& source, int jobs, const std::string& keepAs) {
    RecordingObserver observer;
    ConversionRequest request;
    request.sourceFolder = source;
    request.patterns = "*.htm;*.html;*.shtml";  // a .shtml page twice: rewritten a second time, finding nothing
    request.jobs = jobs;
    const ConversionResult run = Convert(request, observer);
    Outcome outcome{{}, LogText(run), observer.statuses, observer.progress, {}};
    for (const LeftAloneTag& tag : observer.leftAlone)
        outcome.leftAlone.push_back(tag.page + ":" + std::to_string(tag.line) + " " + tag.opening + " " + tag.why);
    if (stdfs::exists(stdfs::u8path(run.convertedFolder))) {
        outcome.tree = Manifest(run.convertedFolder, "changed");
        stdfs::rename(stdfs::u8path(run.convertedFolder), stdfs::u8path(keepAs));
    }
    return outcome;
}

TEST(ConversionRun, WorkersWriteRecordAndTellWhatOneThreadDoes) {
    TempDir dir;
    const std::string site = dir / "site";
    // Many small pages in a few folders, so that workers overtake each other.
    for (int folder = 0; folder < 3; ++folder)
        for (int page = 0; page < 40; ++page) {
            const std::string name = site + Native("/f" + std::to_string(folder) + "/p" + std::to_string(page));
            std::string text = "<p>page " + std::to_string(page) + "</p>\r\n";
            for (int block = 0; block < page % 5; ++block)
                text += block % 2 ? "<embed src='b" + std::to_string(block) + ".mid'>\r\n"
                                  : "<object data=\"a.swf\">\n<param name='x' value='c:\\y'>\n</object>\n";
            if (page % 7 == 0) text += "<OBJECT></OBJECT><script>'<object>'</script><!-- <embed> -->";
            WriteFile(name + (page % 5 ? "-changed.html" : ".htm"), text);
        }
    // Awkward pages: a call in an embed's block, nesting, other line ends,
    // a script file from the source without a final line end, a large page.
    WriteFile(site + Native("/f1/zz-call-in-block-changed.html"), "<embed alt=\"<object>x</object>\">\n<embed title='<object></object>'>");
    WriteFile(site + Native("/a/nested-changed.html"), "</object><object a><object b></object></object><embed x>");
    WriteFile(site + Native("/a/cr-changed.htm"), "<p>\r<object>\r<param>\r\r</object>\r<embed a\rb></embed>\r");
    WriteFile(site + Native("/a/object.js"), "var already = 1;");
    std::string large;
    for (int block = 0; block < 20000; ++block) large += "<object data='" + std::to_string(block) + "'></object>\n";
    WriteFile(site + Native("/a/large-changed.html"), large);
    WriteFile(site + Native("/f1/twice-changed.shtml"), "<object>twice</object>");
    WriteFile(site + Native("/img/logo.gif"), "GIF89a");
    stdfs::last_write_time(stdfs::u8path(site + Native("/img/logo.gif")),
                           stdfs::file_time_type::clock::now() - std::chrono::hours(24 * 400));
    if (test::LinksAndModes()) {
        stdfs::permissions(stdfs::u8path(site + Native("/f1/p3-changed.html")), stdfs::perms::owner_read);
        stdfs::permissions(stdfs::u8path(site + Native("/f2/p5.htm")), stdfs::perms::owner_read | stdfs::perms::owner_write);
    }
    // Failures: a page that cannot be read, a page that cannot be written
    // (the pages after it take its numbers), a script file that is a folder,
    // an image that cannot be copied.
    stdfs::create_directories(stdfs::u8path(site + Native("/f2/embed.js")));
    fs::ScopedFaultHook hook([&](fs::FsOp op, const std::string& path) {
        if (op == fs::FsOp::Read && path == site + Native("/f0/p12-changed.html")) return EACCES;
        if (op == fs::FsOp::WriteAtomic && path.find(Native("/f0/p21-changed.html")) != std::string::npos) return EPERM;
        if (op == fs::FsOp::CopyFile && path == site + Native("/img/logo.gif")) return EIO;
        return 0;
    });
    const Outcome one = ConvertWith(site, 1, dir / "one");
    const Outcome four = ConvertWith(site, 4, dir / "four");
    ASSERT_FALSE(one.tree.empty()) << one.log;
    EXPECT_NE(one.log.find("Failed File:"), std::string::npos) << one.log;
    EXPECT_EQ(FirstDifference(four.tree, one.tree), "");
    EXPECT_EQ(four.log, one.log);
    EXPECT_EQ(FirstDifference(four.statuses, one.statuses), "");
    EXPECT_EQ(FirstDifference(four.progress, one.progress), "");
    EXPECT_EQ(FirstDifference(four.leftAlone, one.leftAlone), "");
}

}  // namespace
}  // namespace tagshift

// Properties every conversion must have, checked on the sample site, on real
// pages from public sites and on a fixture of awkward pages: the source tree
// is left byte for byte as it was, every generated script is valid, and
// running the scripts writes back exactly the blocks that were cut out.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "convert/Conversion.h"
#include "convert/RunTexts.h"
#include "convert/Texts.h"
#include "fs/FileSystem.h"

namespace tagshift {
namespace {

using test::ReadFile;
using test::RecordingObserver;
using test::Snapshot;
using test::TempDir;
using test::WriteFile;
namespace stdfs = std::filesystem;

// The node_modules folder that scripts/test.sh fills from tests/package.json,
// when acorn is there; empty otherwise.
std::string AcornModules() {
    const std::string modules = TAGSHIFT_NODE_MODULES;
    return stdfs::exists(stdfs::u8path(modules) / "acorn" / "package.json") ? modules : std::string();
}

// Converts the tree at source and checks the three properties (and, with
// acorn, that every script file parses as ES5). Returns the number of pages
// rewritten.
int ConvertAndCheck(const std::string& source, const std::string& patterns = texts::kDefaultPatterns,
                    bool anyCase = false) {
    const auto before = Snapshot(source);
    RecordingObserver observer;
    ConversionRequest request;
    request.sourceFolder = source;
    request.patterns = patterns;
    request.anyCase = anyCase;
    const ConversionResult run = Convert(request, observer);
    const std::string runLog = LogText(run);
    EXPECT_EQ(run.outcome, RunOutcome::Completed) << runLog;
    EXPECT_TRUE(Snapshot(source) == before) << "the source tree changed";

    const std::string dest = run.convertedFolder;
    int scripts = 0;
    for (const auto& entry : stdfs::recursive_directory_iterator(dest)) {
        const std::string name = entry.path().filename().string();
        if (name != "object.js" && name != "embed.js") continue;
        ++scripts;
        std::string output;
        EXPECT_EQ(test::RunProgram({"node", "--check", entry.path().u8string()}, &output), 0)
            << entry.path() << "\n" << output;
    }
    if (run.functionsReplaced > 0) {
        EXPECT_GT(scripts, 0);
    }

    std::vector<std::string> command{"node", std::string(TAGSHIFT_SOURCE_DIR) + "/tests/reconstruct.js"};
    if (!AcornModules().empty()) command.insert(command.end(), {"--es5", AcornModules()});
    command.insert(command.end(), {source, dest});
    int pages = 0;
    const std::string prefix = "Processing File:" + dest + fs::kSeparator;
    for (std::size_t at = 0; (at = runLog.find(prefix, at)) != std::string::npos;) {
        at += prefix.size();
        command.push_back(runLog.substr(at, runLog.find("\r\n", at) - at));
        ++pages;
    }
    std::string output;
    EXPECT_EQ(test::RunProgram(command, &output), 0)
        << output;
    return pages;
}

TEST(ConversionProperties, SampleSite) {
    if (!test::NodeAvailable()) GTEST_SKIP() << "node is not installed: the generated scripts cannot be run";
    TempDir dir;
    stdfs::copy(std::string(TAGSHIFT_SOURCE_DIR) + "/examples/sample-site", dir / "sample-site",
                stdfs::copy_options::recursive);
    EXPECT_GE(ConvertAndCheck(dir / "sample-site"), 5);
}

TEST(ConversionProperties, RealPagesFromPublicSites) {
    if (!test::NodeAvailable()) GTEST_SKIP() << "node is not installed: the generated scripts cannot be run";
    const std::string corpus = TAGSHIFT_CORPUS_DIR;
    if (!stdfs::is_directory(corpus)) GTEST_SKIP() << "no page corpus at " << corpus;
    TempDir dir;
    stdfs::copy(corpus, dir / "corpus", stdfs::copy_options::recursive);
    EXPECT_GE(ConvertAndCheck(dir / "corpus"), 20);
}

TEST(ConversionProperties, AwkwardPages) {
    if (!test::NodeAvailable()) GTEST_SKIP() << "node is not installed: the generated scripts cannot be run";
    TempDir dir;
    const std::string site = dir / "awkward";
    WriteFile(site + "/quotes.html",
              "<object data='it\\'s.swf'>\r\n<param name=\"a\" value='C:\\new\\'>\r\n</object>\\'");
    WriteFile(site + "/cr-only.htm", "<p>\r<object>\r<param>\r\r</object>\r<embed a\rb></embed>\r");
    WriteFile(site + "/lf-only.htm", "<object>\n\n  x\n</object>\n<embed src=y>\n");
    WriteFile(site + "/encodings.html",
              "caf\xc3\xa9<object alt=\"\xc3\xa9\xe2\x80\xa8\xe2\x80\xa9\">\xe9\xff</object>\x82\xa0");
    WriteFile(site + "/nested.html",
              "</object><object a><object b></object></object><object c><embed></embed></object><embed x>");
    WriteFile(site + "/script-like.html", "<object><script>var s = \"</script>\"; // </object>\n</embed>");
    WriteFile(site + "/sub/deeper/page.php", "<embed src=\"a.swf\"></embed><embed src=\"b.swf\"></embed>");
    WriteFile(site + "/sub/object.js", "var alreadyHere = 1;\r\n");
    WriteFile(site + "/sub/twice.html", "<object>twice</object>");
    // A void embed whose quoted value held an <object: the embed's block
    // holds the object's call.
    WriteFile(site + "/call-in-block.html", "<embed alt=\"<object>x</object>\">\n<embed title='<object></object>'>");
    EXPECT_EQ(ConvertAndCheck(site, "*.htm;*.html;*.php;*.html"), 15);
}

// Pages as the editors of the time named and wrote them: with --any-case
// their names and tags are converted, and every page still rebuilds.
TEST(ConversionProperties, PagesInCapitalLetters) {
    if (!test::NodeAvailable()) GTEST_SKIP() << "node is not installed: the generated scripts cannot be run";
    struct Case {
        bool anyCase;
        int pages;
    };
    for (const Case& testCase : {Case{false, 1}, Case{true, 4}}) {
        TempDir dir;
        const std::string site = dir / "era";
        WriteFile(site + "/INDEX.HTM", "<OBJECT data=a>\r\n<EMBED src=a></EMBED>\r\n</object>");
        WriteFile(site + "/Page.Html", "<Embed src=b></embed><object></OBJECT>");
        WriteFile(site + "/a.CFM", "<embed src=c></embed>");
        WriteFile(site + "/lower.htm", "<object></object><OBJECT></OBJECT>");
        EXPECT_EQ(ConvertAndCheck(site, std::string(texts::kDefaultPatterns) + ";*.cfm", testCase.anyCase),
                  testCase.pages)
            << testCase.anyCase;
    }
}

// Engines before ES2019 end a string at LINE SEPARATOR and PARAGRAPH
// SEPARATOR; the generated scripts must parse without them.
TEST(ConversionProperties, ScriptsParseAsEs5) {
    if (!test::NodeAvailable()) GTEST_SKIP() << "node is not installed: the generated scripts cannot be parsed";
    if (AcornModules().empty())
        GTEST_SKIP() << "acorn is not installed in " << TAGSHIFT_NODE_MODULES
                     << " (scripts/test.sh installs it from tests/package.json): no ES5 parse";
    TempDir dir;
    const std::string site = dir / "separators";
    WriteFile(site + "/a.html", "<object title=\"\xe2\x80\xa8\">\xe2\x80\xa9</object><embed \xe2\x80\xa8>");
    WriteFile(site + "/b.html", "<embed src='\\\xe2\x80\xa8'></embed>\xe2\x80\xa8");
    EXPECT_EQ(ConvertAndCheck(site), 2);
}

}  // namespace
}  // namespace tagshift

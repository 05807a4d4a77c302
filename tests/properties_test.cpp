// Properties every conversion must have, checked on the sample site, on real
// pages from public sites and on a fixture of awkward pages: the source tree
// is left byte for byte as it was, every generated script is valid, and
// running the scripts writes back exactly the blocks that were cut out.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "convert/Conversion.h"
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
    const std::string sModules = TAGSHIFT_NODE_MODULES;
    return stdfs::exists(stdfs::u8path(sModules) / "acorn" / "package.json") ? sModules : std::string();
}

// Converts the tree at sSource and checks the three properties (and, with
// acorn, that every script file parses as ES5). Returns the number of pages
// rewritten.
int ConvertAndCheck(const std::string& sSource, const std::string& sPatterns = texts::kDefaultPatterns) {
    const auto aBefore = Snapshot(sSource);
    RecordingObserver oObserver;
    ConversionRequest oRequest;
    oRequest.sourceFolder = sSource;
    oRequest.patterns = sPatterns;
    const ConversionResult oRun = Convert(oRequest, oObserver);
    EXPECT_EQ(oRun.outcome, RunOutcome::Completed) << oRun.log;
    EXPECT_TRUE(Snapshot(sSource) == aBefore) << "the source tree changed";

    const std::string sDest = oRun.convertedFolder;
    int iScripts = 0;
    for (const auto& oEntry : stdfs::recursive_directory_iterator(sDest)) {
        const std::string sName = oEntry.path().filename().string();
        if (sName != "object.js" && sName != "embed.js") continue;
        ++iScripts;
        std::string sOutput;
        EXPECT_EQ(test::RunProgram({"node", "--check", oEntry.path().u8string()}, &sOutput), 0)
            << oEntry.path() << "\n" << sOutput;
    }
    if (oRun.functionsReplaced > 0) {
        EXPECT_GT(iScripts, 0);
    }

    std::vector<std::string> aCommand{"node", std::string(TAGSHIFT_SOURCE_DIR) + "/tests/reconstruct.js"};
    if (!AcornModules().empty()) aCommand.insert(aCommand.end(), {"--es5", AcornModules()});
    aCommand.insert(aCommand.end(), {sSource, sDest});
    int iPages = 0;
    const std::string sPrefix = "Processing File:" + sDest + fs::kSeparator;
    for (std::size_t iAt = 0; (iAt = oRun.log.find(sPrefix, iAt)) != std::string::npos;) {
        iAt += sPrefix.size();
        aCommand.push_back(oRun.log.substr(iAt, oRun.log.find("\r\n", iAt) - iAt));
        ++iPages;
    }
    std::string sOutput;
    EXPECT_EQ(test::RunProgram(aCommand, &sOutput), 0)
        << sOutput;
    return iPages;
}

TEST(ConversionProperties, SampleSite) {
    if (!test::NodeAvailable()) GTEST_SKIP() << "node is not installed: the generated scripts cannot be run";
    TempDir oDir;
    stdfs::copy(std::string(TAGSHIFT_SOURCE_DIR) + "/examples/sample-site", oDir / "sample-site",
                stdfs::copy_options::recursive);
    EXPECT_GE(ConvertAndCheck(oDir / "sample-site"), 5);
}

TEST(ConversionProperties, RealPagesFromPublicSites) {
    if (!test::NodeAvailable()) GTEST_SKIP() << "node is not installed: the generated scripts cannot be run";
    const std::string sCorpus = TAGSHIFT_CORPUS_DIR;
    if (!stdfs::is_directory(sCorpus)) GTEST_SKIP() << "no page corpus at " << sCorpus;
    TempDir oDir;
    stdfs::copy(sCorpus, oDir / "corpus", stdfs::copy_options::recursive);
    EXPECT_GE(ConvertAndCheck(oDir / "corpus"), 20);
}

TEST(ConversionProperties, AwkwardPages) {
    if (!test::NodeAvailable()) GTEST_SKIP() << "node is not installed: the generated scripts cannot be run";
    TempDir oDir;
    const std::string sSite = oDir / "awkward";
    WriteFile(sSite + "/quotes.html",
              "<object data='it\\'s.swf'>\r\n<param name=\"a\" value='C:\\new\\'>\r\n</object>\\'");
    WriteFile(sSite + "/cr-only.htm", "<p>\r<object>\r<param>\r\r</object>\r<embed a\rb></embed>\r");
    WriteFile(sSite + "/lf-only.htm", "<object>\n\n  x\n</object>\n<embed src=y>\n");
    WriteFile(sSite + "/encodings.html",
              "caf\xc3\xa9<object alt=\"\xc3\xa9\xe2\x80\xa8\xe2\x80\xa9\">\xe9\xff</object>\x82\xa0");
    WriteFile(sSite + "/nested.html",
              "</object><object a><object b></object></object><object c><embed></embed></object><embed x>");
    WriteFile(sSite + "/script-like.html", "<object><script>var s = \"</script>\"; // </object>\n</embed>");
    WriteFile(sSite + "/sub/deeper/page.php", "<embed src=\"a.swf\"></embed><embed src=\"b.swf\"></embed>");
    WriteFile(sSite + "/sub/object.js", "var alreadyHere = 1;\r\n");
    WriteFile(sSite + "/sub/twice.html", "<object>twice</object>");
    // A void embed whose quoted value held an <object: the embed's block
    // holds the object's call.
    WriteFile(sSite + "/call-in-block.html", "<embed alt=\"<object>x</object>\">\n<embed title='<object></object>'>");
    EXPECT_EQ(ConvertAndCheck(sSite, "*.htm;*.html;*.php;*.html"), 15);
}

// Engines before ES2019 end a string at LINE SEPARATOR and PARAGRAPH
// SEPARATOR; the generated scripts must parse without them.
TEST(ConversionProperties, ScriptsParseAsEs5) {
    if (!test::NodeAvailable()) GTEST_SKIP() << "node is not installed: the generated scripts cannot be parsed";
    if (AcornModules().empty())
        GTEST_SKIP() << "acorn is not installed in " << TAGSHIFT_NODE_MODULES
                     << " (scripts/test.sh installs it from tests/package.json): no ES5 parse";
    TempDir oDir;
    const std::string sSite = oDir / "separators";
    WriteFile(sSite + "/a.html", "<object title=\"\xe2\x80\xa8\">\xe2\x80\xa9</object><embed \xe2\x80\xa8>");
    WriteFile(sSite + "/b.html", "<embed src='\\\xe2\x80\xa8'></embed>\xe2\x80\xa8");
    EXPECT_EQ(ConvertAndCheck(sSite), 2);
}

}  // namespace
}  // namespace tagshift

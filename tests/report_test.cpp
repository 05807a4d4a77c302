// The report of a run: its facts against small converted trees, the escaping
// of everything taken from the pages, and the validity of the page it makes.
#include <gtest/gtest.h>

#include <cerrno>

#include "TestSupport.h"
#include "convert/Conversion.h"
#include "convert/Report.h"
#include "fs/FileSystem.h"

namespace tagshift {
namespace {

using test::Native;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// What a reader sees: tags dropped, the references the report writes
// decoded, every run of white space one space.
std::string TextOf(const std::string& html) {
    std::string text;
    bool inTag = false;
    for (std::size_t i = 0; i < html.size(); ++i) {
        const char c = html[i];
        if (inTag || c == '<') {
            inTag = c != '>';
            if (!inTag && !text.empty() && text.back() != ' ') text += ' ';
            continue;
        }
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
            if (!text.empty() && text.back() != ' ') text += ' ';
            continue;
        }
        static const std::pair<std::string_view, char> kReferences[] = {
            {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}};
        bool decoded = false;
        for (const auto& [reference, character] : kReferences) {
            if (html.compare(i, reference.size(), reference) != 0) continue;
            text += character;
            i += reference.size() - 1;
            decoded = true;
        }
        if (!decoded) text += c;
    }
    return text;
}

struct Tree {
    std::string dir;  // the site's parent
    ConversionResult result;
    std::string report;
};

// Converts files (relative path -> content) with the given entries made
// unreadable, and writes the report of the run.
void ConvertAndReport(Tree& tree, const std::vector<std::pair<std::string, std::string>>& files,
                      const std::vector<std::string>& unreadable, const ReportOptions& options,
                      bool noscript = false) {
    const std::string source = tree.dir + Native("/site");
    for (const auto& [path, content] : files) WriteFile(source + Native("/" + path), content);
    {
        fs::ScopedFaultHook hook([&](fs::FsOp, const std::string& path) {
            for (const std::string& name : unreadable)
                if (path == source + Native("/" + name)) return EACCES;
            return 0;
        });
        ConversionObserver quiet;
        ConversionRequest request{source};
        request.noscriptFallback = noscript;
        tree.result = Convert(request, quiet);
    }
    const std::string reportPath = tree.dir + Native("/") + ReportFileName(tree.result);
    ASSERT_FALSE(WriteReport(tree.result, reportPath, options).Failed());
    tree.report = ReadFile(reportPath);
}

const std::string kObj = "<script src='object.js' type='text/javascript'></script><script type='text/javascript'>InsertObject";
const std::string kEmb = "<script src='embed.js' type='text/javascript'></script><script type='text/javascript'>InsertEmbed";

struct ReportCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> unreadable;
    ReportOptions options;
    std::vector<std::string> texts;  // in the report's text, in this order
    std::vector<std::string> html;   // in the report as written
    bool noscript = false;           // blocks kept in <noscript> too
};

TEST(Report, HoldsTheFactsOfTheRun) {
    ReportOptions preview;
    preview.preview = true;
    ReportOptions shortened;
    shortened.fullBlocksUpTo = 0;
    shortened.shortBlockBytes = 13;
    const ReportCase cases[] = {
        {"blocks, nested blocks and tags left alone",
         {{"index.html", "<p>\r\n<object data=a>\r\n</object>\r\n<embed src=c>\r\n<OBJECT x></OBJECT>"},
          {"plain.htm", "<script>'<object>'</script>"},
          {"sub/page.php", "x\n\n<embed src=d><object></object></embed>"},
          {"logo.gif", "GIF89a"}},
         {},
         {},
         {"Pages selected 3 Files Converted 3 Pages changed 2 Pages unchanged 1 Blocks moved 4 (object 2, embed 2) "
          "Tags left alone 2 (capital letters: 1, inside a script: 1) Pages not converted 0 Entries not copied 0 "
          "Entries left out 0 Entries replaced 0 Time",
          "Changed pages (2) index.html Block 1: object, line 2, into object.js Before <object data=a> </object> "
          "After " + kObj + "1();</script> Block 2: embed, line 4, into embed.js Before <embed src=c> After " + kEmb +
              "2();</script>",
          Native("sub/page.php") + " Block 3: object, line 3, into " + Native("sub/object.js") +
              " Before <object></object> After " + kObj + "3();</script>",
          "Block 4: embed, line 3, into " + Native("sub/embed.js") + " Before <embed src=d>" + kObj +
              "3();</script></embed>",
          "Tags left alone (2) Page Line Tag Why index.html 5 <OBJECT capital letters plain.htm 1 <object inside a "
          "script",
          "None.", "Unchanged pages (1) 1 page with no block to move plain.htm"},
         {"_Converted/\">\n<title>", "<a href=\"sub/page.php\">"}},
        {"text from the pages is never live",
         {{"a&b'c.html", "<object data=x></textarea><script>alert(1)</script>\x01\xff\xed\xa0\x80\xc2\x85</object>"}},
         {},
         {},
         {"Changed pages (1) a&b'c.html Block 1"},
         {"a&amp;b'c.html</a>", "<pre>&lt;object data=x&gt;&lt;/textarea&gt;&lt;script&gt;alert(1)&lt;/"
                                    "script&gt;\xe2\x90\x81\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd&lt;/object&gt;</pre>"}},
        {"failures, entries not copied and replaced",
         {{"a.html", "<embed src=x>"}, {"broken.html", "<object></object>"}, {"logo.gif", "GIF89a"}},
         {"broken.html", "logo.gif"},
         {},
         {"Outcome completed, with failures Pages selected 2 Files Converted 1 Pages changed 1 Pages unchanged 1 "
          "Blocks moved 1 (object 0, embed 1) Tags left alone 0 Pages not converted 1 Entries not copied 1",
          "Path What Why logo.gif file not copied Permission denied broken.html page not converted Permission denied; "
          "not copied either: Permission denied",
          "Unchanged pages (1) 1 page with no block to move broken.html"},
         {}},
        {"blocks kept in noscript, one inside another",
         {{"index.html", "<body>\n<embed src=d><object data=o></object></embed>"}},
         {},
         {},
         {"Block 1: object, line 2, into object.js Before <object data=o></object> After " + kObj +
              "1();</script><noscript><object data=o></object></noscript>",
          "Block 2: embed, line 2, into embed.js Before <embed src=d>" + kObj +
              "1();</script><noscript><object data=o></object></noscript></embed> After " + kEmb +
              "2();</script><noscript><embed src=d>" + kObj +
              "1();</script><noscript><object data=o></object></noscript></embed></noscript>"},
         {},
         true},
        {"a preview links the source pages",
         {{"index.html", "<object></object>"}},
         {},
         preview,
         {"Tagshift report preview Nothing was written", "Would be written to", "Block 1: object, line 1, into object.js"},
         {"/site/\">\n<title>", "<a href=\"index.html\">index.html</a>"}},
        {"blocks of a large run are shortened",
         {{"index.html", "<object\r\nda=\xc3\xa9\xc3\xa9></object>"}},
         {},
         shortened,
         {"each block is one line", "its first 13 bytes", "index.html 1: object, line 1, into object.js: <object da=…"},
         {"&lt;object  da=… → InsertObject1()\n</pre>"}},
    };
    for (const ReportCase& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        TempDir dir;
        Tree tree;
        tree.dir = dir.Path();
        ConvertAndReport(tree, testCase.files, testCase.unreadable, testCase.options, testCase.noscript);
        const std::string text = TextOf(tree.report);
        std::size_t at = 0;
        for (const std::string& expected : testCase.texts) {
            const std::size_t found = text.find(expected, at);
            EXPECT_NE(found, std::string::npos) << expected << "\nin\n" << text.substr(at);
            if (found != std::string::npos) at = found + expected.size();
        }
        for (const std::string& expected : testCase.html)
            EXPECT_NE(tree.report.find(expected), std::string::npos) << expected;
        EXPECT_EQ(tree.report.find("<script"), std::string::npos);
        EXPECT_EQ(tree.report.find("</textarea"), std::string::npos);
    }
}

TEST(Report, NameUrlsAndAFailedWrite) {
    ConversionResult result;
    result.sourceFolder = Native("/srv/my site");
    EXPECT_EQ(ReportFileName(result), "my site_Converted-report.html");
    result.sourceFolder = Native("/");
    EXPECT_EQ(ReportFileName(result), "site_Converted-report.html");
    const std::pair<const char*, const char*> urls[] = {
        {"/a b/\xc3\xbc%#?&.html", "file:///a%20b/%C3%BC%25%23%3F%26.html"},
        {"/x/y_z-1.~htm", "file:///x/y_z-1.~htm"},
    };
    for (const auto& [path, url] : urls) EXPECT_EQ(FileUrl(path), url) << path;

    TempDir dir;
    EXPECT_TRUE(WriteReport(result, dir / "missing/report.html").Failed());
    EXPECT_FALSE(test::Exists(dir / "missing"));
}

TEST(Report, TidyFindsNoError) {
    if (test::RunProgram({"tidy", "-v"}) != 0) GTEST_SKIP() << "tidy is not installed (Debian: apt-get install tidy)";
    TempDir dir;
    Tree tree;
        tree.dir = dir.Path();
    ConvertAndReport(tree,
        {{"index.html", "<object data=a>\x01\xff</object><embed src=b><OBJECT></OBJECT>"},
         {"plain.htm", "<p>"},
         {"gone.htm", ""}},
        {"gone.htm"}, {});
    std::string output;
    EXPECT_EQ(test::RunProgram({"tidy", "-q", "-e", dir / ReportFileName(tree.result)}, &output), 0) << output;
    EXPECT_EQ(output, "");
}

}  // namespace
}  // namespace tagshift

// The in-memory rewrite of a page and the function text of a block.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/PageRewriter.h"
#include "convert/ScriptFiles.h"

namespace tagshift {
namespace {

struct Block {
    TagKind kind;
    long long number;
    std::string text;
};

struct Left {
    long long lineNumber;
    LeftAloneReason why;
    bool operator==(const Left& o) const { return lineNumber == o.lineNumber && why == o.why; }
};

class CollectingSink : public BlockSink {
public:
    void Add(TagKind kind, long long number, std::string_view block, const BlockPlace& /*place*/) override {
        blocks.push_back(Block{kind, number, std::string(block)});
    }
    void LeftAlone(TagKind, std::string_view, long long lineNumber, LeftAloneReason why) override {
        left.push_back(Left{lineNumber, why});
    }
    std::vector<Block> blocks;
    std::vector<Left> left;
};

std::string Call(TagKind kind, long long number) {
    const TagKindTexts& texts = KindTexts(kind);
    return std::string(texts.includeTag) + std::string(texts.callStart) + std::to_string(number) + "();</script>";
}

const std::string kObj = "<script src='object.js' type='text/javascript'></script><script type='text/javascript'>InsertObject";
const std::string kEmb = "<script src='embed.js' type='text/javascript'></script><script type='text/javascript'>InsertEmbed";

std::string BuildFunctionText(TagKind kind, long long number, std::string_view block) {
    std::string text;
    AppendFunctionTo(text, kind, number, block);
    return text;
}

TEST(FunctionText, ThreeLineObjectBlockGivesSixLines) {
    EXPECT_EQ(BuildFunctionText(TagKind::Object, 5, "<object data=x>\r\n<param name=y>\r\n</object>"),
              "function InsertObject5()\r\n{\r\n"
              "document.write('<object data=x>\\r\\n');\r\n"
              "document.write('<param name=y>\\r\\n');\r\n"
              "document.write('</object>');\r\n"
              "}\r\n");
    EXPECT_EQ(BuildFunctionText(TagKind::Embed, 32768, "<embed src=a></embed>"),
              "function InsertEmbed32768()\r\n{\r\ndocument.write('<embed src=a></embed>');\r\n}\r\n");
}

TEST(FunctionText, EveryLineEndStyleSplitsWithoutLosingText) {
    struct Case {
        const char* name;
        std::string block;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"crlf", "<object>\r\n  <p>\r\n</object>", {"<object>\\r\\n", "  <p>\\r\\n", "</object>"}},
        {"lf", "<object>\n\t<p>\n</object>", {"<object>\\n", "\t<p>\\n", "</object>"}},
        {"cr", "<object>\r<p>\r</object>", {"<object>\\r", "<p>\\r", "</object>"}},
        {"mixed", "<object>\r\n<a>\n<b>\r</object>", {"<object>\\r\\n", "<a>\\n", "<b>\\r", "</object>"}},
        {"empty lines", "<object>\r\n\r\n\n\r</object>", {"<object>\\r\\n", "\\r\\n", "\\n", "\\r", "</object>"}},
        {"lf then cr", "<object>\n\r</object>", {"<object>\\n", "\\r", "</object>"}},
        {"line end last", "<object a\r\n", {"<object a\\r\\n", ""}},
    };
    for (const Case& testCase : cases) {
        std::string expected = "function InsertObject1()\r\n{\r\n";
        for (const std::string& line : testCase.lines) expected += "document.write('" + line + "');\r\n";
        expected += "}\r\n";
        EXPECT_EQ(BuildFunctionText(TagKind::Object, 1, testCase.block), expected) << testCase.name;
    }
}

TEST(FunctionText, OnlyWhatAStringLiteralCannotHoldIsEscaped) {
    // Each block line and the text its document.write line carries.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"<embed src='a\\b.swf' alt=\"it's\" \\' \t\x01\xe9>",
         "<embed src=\\'a\\\\b.swf\\' alt=\"it\\'s\" \\\\\\' \t\x01\xe9>"},
        // LINE SEPARATOR and PARAGRAPH SEPARATOR end a string before ES2019.
        {"a\xe2\x80\xa8" "b\xe2\x80\xa9" "c", "a\\u2028b\\u2029c"},
        {"\xe2\x80\xa8\xe2\x80\xa9", "\\u2028\\u2029"},
        {"'\xe2\x80\xa8\\", "\\'\\u2028\\\\"},
        // Their neighbours, and the sequence cut short, stay as they are.
        {"\xe2\x80\xa7\xe2\x80\xaa\xe2\x81\xa8\xe3\x80\xa8", "\xe2\x80\xa7\xe2\x80\xaa\xe2\x81\xa8\xe3\x80\xa8"},
        {"x\xe2\x80", "x\xe2\x80"},
        {"\xe2", "\xe2"},
    };
    for (const auto& [line, written] : cases)
        EXPECT_EQ(BuildFunctionText(TagKind::Embed, 2, line),
                  "function InsertEmbed2()\r\n{\r\ndocument.write('" + written + "');\r\n}\r\n")
            << line;
    // A separator split by a line end is no separator.
    EXPECT_EQ(BuildFunctionText(TagKind::Object, 1, "\xe2\x80\n\xa8"),
              "function InsertObject1()\r\n{\r\ndocument.write('\xe2\x80\\n');\r\ndocument.write('\xa8');\r\n}\r\n");
}

TEST(PageRewrite, ObjectsThenEmbedsNumberedAcrossTheRun) {
    const std::string before = "<html>\r\n<body>\r\n";
    std::string page = before +
                        "<embed src=e.swf></embed>\r\n"
                        "<object data=1>\r\n<param name=a>\r\n</object>after\r\n"
                        "<object data=2></object><p>";
    long long count = 10;
    CollectingSink sink;
    EXPECT_EQ(RewriteText(page, count, sink), 3);
    EXPECT_EQ(count, 13);
    EXPECT_EQ(page, before + Call(TagKind::Embed, 13) + "\r\n" + Call(TagKind::Object, 11) + "after\r\n" +
                         Call(TagKind::Object, 12) + "<p>");
    ASSERT_EQ(sink.blocks.size(), 3u);
    EXPECT_EQ(sink.blocks[0].text, "<object data=1>\r\n<param name=a>\r\n</object>");
    EXPECT_EQ(sink.blocks[0].number, 11);
    EXPECT_EQ(sink.blocks[1].text, "<object data=2></object>");
    EXPECT_EQ(sink.blocks[2].kind, TagKind::Embed);
    EXPECT_EQ(sink.blocks[2].text, "<embed src=e.swf></embed>");
}

TEST(PageRewrite, MalformedAndNestedBlocks) {
    struct Case {
        const char* name;
        std::string page;
        std::string expected;
        std::vector<std::string> blocks;
    };
    const std::vector<Case> cases = {
        {"embed inside object moves with it",
         "<object><embed src=a></embed></object>|<embed src=b></embed>",
         kObj + "1();</script>|" + kEmb + "2();</script>",
         {"<object><embed src=a></embed></object>", "<embed src=b></embed>"}},
        {"nested objects end at the inner closing tag",
         "<object a><object b></object></object>x<object c></object>",
         kObj + "1();</script></object>x" + kObj + "2();</script>",
         {"<object a><object b></object>", "<object c></object>"}},
        {"stray closing tag before the opening tag stays",
         "</object>a<object>b</object>c",
         "</object>a" + kObj + "1();</script>c",
         {"<object>b</object>"}},
        {"embeds with no closing tag after them end at their '>'",
         "<embed src=1></embed>\n<embed src=2>\n<embed src=3>",
         kEmb + "1();</script>\n" + kEmb + "2();</script>\n" + kEmb + "3();</script>",
         {"<embed src=1></embed>", "<embed src=2>", "<embed src=3>"}},
        {"unclosed object ends the kind, earlier blocks are replaced",
         "<object>1</object>\n<object 2>\n<object 3></object", kObj + "1();</script>\n<object 2>\n<object 3></object",
         {"<object>1</object>"}},
        {"a closing tag further on closes the first opening tag before it",
         "<embed src=2><embed src=3></embed>",
         kEmb + "1();</script>",
         {"<embed src=2><embed src=3></embed>"}},
        {"unclosed object leaves embeds to their own pass",
         "<object data=x><embed src=y></embed>",
         "<object data=x>" + kEmb + "1();</script>",
         {"<embed src=y></embed>"}},
        {"capital letters are not tags", "<OBJECT></OBJECT><Embed></Embed>", "<OBJECT></OBJECT><Embed></Embed>", {}},
        {"any text starting with the opening text opens a block", "<objects></object>", kObj + "1();</script>",
         {"<objects></object>"}},
        {"opening text cut at the end of the page", "text<objec", "text<objec", {}},
        {"empty page", "", "", {}},
    };
    for (const Case& testCase : cases) {
        std::string page = testCase.page;
        long long count = 0;
        CollectingSink sink;
        const long long blockCount = RewriteText(page, count, sink);
        EXPECT_EQ(page, testCase.expected) << testCase.name;
        EXPECT_EQ(blockCount, static_cast<long long>(testCase.blocks.size())) << testCase.name;
        EXPECT_EQ(count, blockCount) << testCase.name;
        std::vector<std::string> textCases;
        for (const Block& blockCase : sink.blocks) textCases.push_back(blockCase.text);
        EXPECT_EQ(textCases, testCase.blocks) << testCase.name;
    }
}

TEST(PageRewrite, BytesOutsideBlocksComeBackUnchanged) {
    // UTF-8, Shift_JIS (with 0x5C as a trail byte) and windows-1252 bytes,
    // NUL bytes and lone CRs around and between the blocks.
    std::string head = "caf\xc3\xa9 \x95\x5c\x8e\x9a \xe9\xe8\r";
    head += std::string(1, '\0');
    const std::string middle = "\n\xff\xfe<OBJECT>\r\r";
    const std::string tail = "\x82\xa0 end";
    std::string page = head + "<object>\xe9</object>" + middle + "<embed>\x95\x5c</embed>" + tail;
    long long count = 0;
    CollectingSink sink;
    RewriteText(page, count, sink);
    EXPECT_EQ(page, head + Call(TagKind::Object, 1) + middle + Call(TagKind::Embed, 2) + tail);
    ASSERT_EQ(sink.blocks.size(), 2u);
    EXPECT_EQ(sink.blocks[1].text, "<embed>\x95\x5c</embed>");
}

// The scan looks at sixteen bytes at a time and at the last few one by one:
// every tag it must stop at is found wherever it stands, in either letter
// case, after a run of '<' and beside bytes one bit (0x20) away from what
// it looks for ('<\x01' is '<!' so, '<\x0f' is '</').
TEST(PageRewrite, TagsAreFoundAtEveryOffset) {
    using R = LeftAloneReason;
    struct Case {
        std::string body;
        std::vector<std::string> blocks;
        std::vector<R> left;
    };
    const std::vector<Case> cases = {
        {"<OBJECT>a</OBJECT>", {"<OBJECT>a</OBJECT>"}, {}},
        {"<p><\x01--<object>o</object>--><EmBeD src=x>", {"<object>o</object>", "<EmBeD src=x>"}, {}},
        {"<!--<object>--><embed>e</embed>", {"<embed>e</embed>"}, {R::InsideComment}},
        {"<Script><object></object><\x0fscript></SCRIPT><object>o</object>", {"<object>o</object>"}, {R::InsideScript}},
        {"<TITLE><embed></title><NOSCRIPT><object></object></noscript>", {}, {R::InsideNoscript, R::InsideTitle}},
    };
    for (const Case& c : cases)
        for (std::size_t before = 0; before <= 34; ++before)
            for (std::size_t after : {0, 1, 7, 16}) {
                std::string page = (before ? "x" + std::string(before - 1, '<') : "") + c.body + std::string(after, 'y');
                long long count = 0;
                CollectingSink sink;
                RewriteText(page, count, sink, RewriteOptions{true, false});
                std::vector<std::string> blocks;
                for (const Block& block : sink.blocks) blocks.push_back(block.text);
                std::vector<R> left;
                for (const Left& l : sink.left) left.push_back(l.why);
                EXPECT_EQ(blocks, c.blocks) << c.body << " after " << before << " bytes, " << after << " after it";
                EXPECT_EQ(left, c.left) << c.body << " after " << before << " bytes, " << after << " after it";
            }
}

TEST(PageRewrite, OnlyMarkupIsConvertedAndTheRestIsReported) {
    using R = LeftAloneReason;
    struct Case {
        const char* name;
        std::string page;
        std::vector<std::string> blocks;
        std::vector<Left> left;
        bool anyCase = false;
    };
    const std::vector<Case> cases = {
        {"script content", "<script>w('<object>x</object>')</script><object>y</object>", {"<object>y</object>"},
         {{1, R::InsideScript}}},
        {"start tag in any case, ended by a line end, end tag in any case",
         "<SCRIPT\ntype=x>'<embed></embed>'</sCrIpT ><embed>e</embed>", {"<embed>e</embed>"}, {{2, R::InsideScript}}},
        {"a longer name is no script", "<scripts><object>a</object>", {"<object>a</object>"}, {}},
        {"unclosed script runs to the end", "<script/><object>a</object>", {}, {{1, R::InsideScript}}},
        {"the other raw elements",
         "<style>/*<object>*/</style><textarea\t><object></object></textarea><title><embed></embed></title>"
         "<noscript><object>n</object></noscript>",
         {},
         {{1, R::InsideStyle}, {1, R::InsideTextarea}, {1, R::InsideNoscript}, {1, R::InsideTitle}}},
        {"comment", "<!-- <object>c</object> --><object>d</object>", {"<object>d</object>"}, {{1, R::InsideComment}}},
        {"comment end shares the opening's dashes", "<!--><object>a</object><!---><embed>", {"<object>a</object>", "<embed>"},
         {}},
        {"comment end must follow the opening", "<!-- -><object>a</object> -->", {}, {{1, R::InsideComment}}},
        {"unclosed comment runs to the end", "<!--\r\n<embed src=a>", {}, {{2, R::InsideComment}}},
        {"conditional comment content is markup", "<!--[If IE]><object>a</object><![endif]-->",
         {"<object>a</object>"}, {}},
        {"a region opener inside a block belongs to the block", "<object><script>x</object></script><object>b</object>",
         {"<object><script>x</object>", "<object>b</object>"}, {}},
        {"the closing search ignores regions", "<object>a<!-- </object> --><embed>b<script></embed>",
         {"<object>a<!-- </object>", "<embed>b<script></embed>"}, {}},
        {"void embed: quoted values hide '>'", "<embed src = \"a>b\" t=\n'x>y' alt=it's>tail",
         {"<embed src = \"a>b\" t=\n'x>y' alt=it's>"}, {}},
        {"void embed with no end is left", "<embed src=1><embed src=\"2>", {"<embed src=1>"}, {{1, R::NoClosingTag}}},
        {"unclosed objects are all left", "<object a>\n<object b>", {}, {{1, R::NoClosingTag}, {2, R::NoClosingTag}}},
        {"capital letters", "<OBJECT></OBJECT>\r<Embed>", {}, {{1, R::CapitalLetters}, {2, R::CapitalLetters}}},
        {"any case", "<OBJECT a></Object><Embed b></EMBED>", {"<OBJECT a></Object>", "<Embed b></EMBED>"}, {}, true},
        {"lines count as in the page read",
         "<object>\r\n\r</object>\n<object>\n</object><!--\n<embed>-->", {"<object>\r\n\r</object>", "<object>\n</object>"},
         {{6, R::InsideComment}}},
    };
    for (const Case& testCase : cases) {
        std::string page = testCase.page;
        long long count = 0;
        CollectingSink sink;
        RewriteText(page, count, sink, testCase.anyCase);
        std::vector<std::string> textCases;
        for (const Block& blockCase : sink.blocks) textCases.push_back(blockCase.text);
        EXPECT_EQ(textCases, testCase.blocks) << testCase.name;
        EXPECT_TRUE(sink.left == testCase.left) << testCase.name;
        if (testCase.blocks.empty()) {
            EXPECT_EQ(page, testCase.page) << testCase.name;
        }
    }
    // Generated texts stay the same in any case.
    std::string page = "<OBJECT></OBJECT>";
    long long count = 0;
    CollectingSink sink;
    RewriteText(page, count, sink, true);
    EXPECT_EQ(page, Call(TagKind::Object, 1));
}

// The fallback for visitors without script: after the call of each block
// that follows the page's first <body, the block again in a <noscript>;
// what the fallback holds is the rewrite's own copy, never reported.
TEST(PageRewrite, NoscriptFallbackFollowsTheBlocksOfTheBodyOnly) {
    struct Case {
        const char* name;
        std::string page;
        std::string converted;  // {O1}, {E2}: the calls
        std::vector<Left> left;
    };
    using R = LeftAloneReason;
    const std::vector<Case> cases = {
        {"in the body", "<head></head><body><object a></object></body>",
         "<head></head><body>{O1}<noscript><object a></object></noscript></body>", {}},
        {"in a table cell", "<BODY bgcolor=white><table><tr><td><embed src=x></embed></td></tr>",
         "<BODY bgcolor=white><table><tr><td>{E1}<noscript><embed src=x></embed></noscript></td></tr>", {}},
        {"inside a noscript already", "<body><noscript><object></object></noscript>",
         "<body><noscript><object></object></noscript>", {{1, R::InsideNoscript}}},
        {"in the head", "<head><object a></object></head><body><embed b></embed>",
         "<head>{O1}</head><body>{E2}<noscript><embed b></embed></noscript>", {}},
        {"inside a conditional comment", "<body><!--[if IE]><object a></object><![endif]-->",
         "<body><!--[if IE]>{O1}<noscript><object a></object></noscript><![endif]-->", {}},
        {"no body", "<object a></object><bodyx>", "{O1}<bodyx>", {}},
        {"an embed in an object, then one in capitals",
         "<body>\r\n<object a>\r\n<embed c></embed>\r\n</object>\r\n<EMBED d>",
         "<body>\r\n{O1}<noscript><object a>\r\n<embed c></embed>\r\n</object></noscript>\r\n<EMBED d>",
         {{5, R::CapitalLetters}}},
    };
    for (const Case& testCase : cases) {
        std::string page = testCase.page;
        long long count = 0;
        CollectingSink sink;
        RewriteText(page, count, sink, RewriteOptions{false, true});
        std::string expected = testCase.converted;
        for (const auto& [mark, call] : {std::pair{"{O1}", Call(TagKind::Object, 1)}, {"{E1}", Call(TagKind::Embed, 1)},
                                         {"{E2}", Call(TagKind::Embed, 2)}})
            if (const std::size_t at = expected.find(mark); at != std::string::npos) expected.replace(at, 4, call);
        EXPECT_EQ(page, expected) << testCase.name;
        EXPECT_TRUE(sink.left == testCase.left) << testCase.name;
    }
}

TEST(PageRewrite, NoSixteenBitLimits) {
    // Blocks far beyond byte 32767 and more than 32767 blocks in one page.
    std::string page(70000, 'x');
    const int blockCount = 40000;
    for (int i = 0; i < blockCount; ++i) page += "<embed src=" + std::to_string(i) + "></embed>\n";
    long long count = 0;
    CollectingSink sink;
    EXPECT_EQ(RewriteText(page, count, sink), blockCount);
    EXPECT_EQ(count, blockCount);
    EXPECT_EQ(sink.blocks.back().text, "<embed src=39999></embed>");
    EXPECT_EQ(sink.blocks.back().number, 40000);
    EXPECT_EQ(page.substr(0, 70000), std::string(70000, 'x'));
    EXPECT_NE(page.find("InsertEmbed40000();</script>\n"), std::string::npos);
    EXPECT_EQ(page.find("<embed"), std::string::npos);
}

}  // namespace
}  // namespace tagshift

// The in-memory rewrite of a page and the function text of a block.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/PageRewriter.h"
#include "convert/ScriptFiles.h"

namespace tagshift {
namespace {

struct Block {
    TagKind eKind;
    long long iNumber;
    std::string sText;
};

class CollectingSink : public BlockSink {
public:
    void Add(TagKind eKind, long long iNumber, std::string_view sBlock) override {
        aBlocks.push_back(Block{eKind, iNumber, std::string(sBlock)});
    }
    std::vector<Block> aBlocks;
};

std::string Call(TagKind eKind, long long iNumber) {
    const TagKindTexts& oTexts = KindTexts(eKind);
    return std::string(oTexts.sIncludeTag) + std::string(oTexts.sCallStart) + std::to_string(iNumber) + "();</script>";
}

const std::string kObj = "<script src='object.js' type='text/javascript'></script><script type='text/javascript'>InsertObject";
const std::string kEmb = "<script src='embed.js' type='text/javascript'></script><script type='text/javascript'>InsertEmbed";

TEST(FunctionText, ThreeLineObjectBlockGivesSixLines) {
    EXPECT_EQ(BuildFunctionText(TagKind::Object, 5, "<object data=x>\r\n<param name=y>\r\n</object>"),
              "function InsertObject5()\r\n{\r\n"
              "document.write('<object data=x>');\r\n"
              "document.write('<param name=y>');\r\n"
              "document.write('</object>');\r\n"
              "}\r\n");
    EXPECT_EQ(BuildFunctionText(TagKind::Embed, 32768, "<embed src=a></embed>"),
              "function InsertEmbed32768()\r\n{\r\ndocument.write('<embed src=a></embed>');\r\n}\r\n");
}

TEST(FunctionText, EveryLineEndStyleSplitsWithoutLosingText) {
    struct Case {
        const char* sName;
        std::string sBlock;
        std::vector<std::string> aLines;
    };
    const std::vector<Case> aCases = {
        {"crlf", "<object>\r\n  <p>\r\n</object>", {"<object>", "  <p>", "</object>"}},
        {"lf", "<object>\n\t<p>\n</object>", {"<object>", "\t<p>", "</object>"}},
        {"cr", "<object>\r<p>\r</object>", {"<object>", "<p>", "</object>"}},
        {"mixed", "<object>\r\n<a>\n<b>\r</object>", {"<object>", "<a>", "<b>", "</object>"}},
        {"empty lines", "<object>\r\n\r\n\n\r</object>", {"<object>", "", "", "", "</object>"}},
        {"lf then cr", "<object>\n\r</object>", {"<object>", "", "</object>"}},
    };
    for (const Case& oCase : aCases) {
        std::string sExpected = "function InsertObject1()\r\n{\r\n";
        for (const std::string& sLine : oCase.aLines) sExpected += "document.write('" + sLine + "');\r\n";
        sExpected += "}\r\n";
        EXPECT_EQ(BuildFunctionText(TagKind::Object, 1, oCase.sBlock), sExpected) << oCase.sName;
    }
}

TEST(FunctionText, BackslashesAndApostrophesAreEscapedAndNothingElse) {
    const std::string sBlock = "<embed src='a\\b.swf' alt=\"it's\" \\' \t\x01\xe9>";
    EXPECT_EQ(BuildFunctionText(TagKind::Embed, 2, sBlock),
              "function InsertEmbed2()\r\n{\r\n"
              "document.write('<embed src=\\'a\\\\b.swf\\' alt=\"it\\'s\" \\\\\\' \t\x01\xe9>');\r\n"
              "}\r\n");
}

TEST(PageRewrite, ObjectsThenEmbedsNumberedAcrossTheRun) {
    const std::string sBefore = "<html>\r\n<body>\r\n";
    std::string sPage = sBefore +
                        "<embed src=e.swf></embed>\r\n"
                        "<object data=1>\r\n<param name=a>\r\n</object>after\r\n"
                        "<object data=2></object><p>";
    long long iCount = 10;
    CollectingSink oSink;
    EXPECT_EQ(RewriteText(sPage, iCount, oSink), 3);
    EXPECT_EQ(iCount, 13);
    EXPECT_EQ(sPage, sBefore + Call(TagKind::Embed, 13) + "\r\n" + Call(TagKind::Object, 11) + "after\r\n" +
                         Call(TagKind::Object, 12) + "<p>");
    ASSERT_EQ(oSink.aBlocks.size(), 3u);
    EXPECT_EQ(oSink.aBlocks[0].sText, "<object data=1>\r\n<param name=a>\r\n</object>");
    EXPECT_EQ(oSink.aBlocks[0].iNumber, 11);
    EXPECT_EQ(oSink.aBlocks[1].sText, "<object data=2></object>");
    EXPECT_EQ(oSink.aBlocks[2].eKind, TagKind::Embed);
    EXPECT_EQ(oSink.aBlocks[2].sText, "<embed src=e.swf></embed>");
}

TEST(PageRewrite, MalformedAndNestedBlocks) {
    struct Case {
        const char* sName;
        std::string sPage;
        std::string sExpected;
        std::vector<std::string> aBlocks;
    };
    const std::vector<Case> aCases = {
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
        {"unclosed opening tag ends the kind, earlier blocks are replaced",
         "<embed src=1></embed>\n<embed src=2>\n<embed src=3>",
         kEmb + "1();</script>\n<embed src=2>\n<embed src=3>",
         {"<embed src=1></embed>"}},
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
    for (const Case& oCase : aCases) {
        std::string sPage = oCase.sPage;
        long long iCount = 0;
        CollectingSink oSink;
        const long long iBlocks = RewriteText(sPage, iCount, oSink);
        EXPECT_EQ(sPage, oCase.sExpected) << oCase.sName;
        EXPECT_EQ(iBlocks, static_cast<long long>(oCase.aBlocks.size())) << oCase.sName;
        EXPECT_EQ(iCount, iBlocks) << oCase.sName;
        std::vector<std::string> aTexts;
        for (const Block& oBlock : oSink.aBlocks) aTexts.push_back(oBlock.sText);
        EXPECT_EQ(aTexts, oCase.aBlocks) << oCase.sName;
    }
}

TEST(PageRewrite, BytesOutsideBlocksComeBackUnchanged) {
    // UTF-8, Shift_JIS (with 0x5C as a trail byte) and windows-1252 bytes,
    // NUL bytes and lone CRs around and between the blocks.
    std::string sHead = "caf\xc3\xa9 \x95\x5c\x8e\x9a \xe9\xe8\r";
    sHead += std::string(1, '\0');
    const std::string sMiddle = "\n\xff\xfe<OBJECT>\r\r";
    const std::string sTail = "\x82\xa0 end";
    std::string sPage = sHead + "<object>\xe9</object>" + sMiddle + "<embed>\x95\x5c</embed>" + sTail;
    long long iCount = 0;
    CollectingSink oSink;
    RewriteText(sPage, iCount, oSink);
    EXPECT_EQ(sPage, sHead + Call(TagKind::Object, 1) + sMiddle + Call(TagKind::Embed, 2) + sTail);
    ASSERT_EQ(oSink.aBlocks.size(), 2u);
    EXPECT_EQ(oSink.aBlocks[1].sText, "<embed>\x95\x5c</embed>");
}

TEST(PageRewrite, NoSixteenBitLimits) {
    // Blocks far beyond byte 32767 and more than 32767 blocks in one page.
    std::string sPage(70000, 'x');
    const int iBlocks = 40000;
    for (int i = 0; i < iBlocks; ++i) sPage += "<embed src=" + std::to_string(i) + "></embed>\n";
    long long iCount = 0;
    CollectingSink oSink;
    EXPECT_EQ(RewriteText(sPage, iCount, oSink), iBlocks);
    EXPECT_EQ(iCount, iBlocks);
    EXPECT_EQ(oSink.aBlocks.back().sText, "<embed src=39999></embed>");
    EXPECT_EQ(oSink.aBlocks.back().iNumber, 40000);
    EXPECT_EQ(sPage.substr(0, 70000), std::string(70000, 'x'));
    EXPECT_NE(sPage.find("InsertEmbed40000();</script>\n"), std::string::npos);
    EXPECT_EQ(sPage.find("<embed"), std::string::npos);
}

}  // namespace
}  // namespace tagshift

#include "convert/ScriptFiles.h"

#include <charconv>

namespace tagshift {

namespace {

const TagKindTexts kObjectTexts{
    "<object",
    "</object>",
    "<script src='object.js' type='text/javascript'></script>",
    "<script type='text/javascript'>InsertObject",
    "function InsertObject",
    "object.js",
};

const TagKindTexts kEmbedTexts{
    "<embed",
    "</embed>",
    "<script src='embed.js' type='text/javascript'></script>",
    "<script type='text/javascript'>InsertEmbed",
    "function InsertEmbed",
    "embed.js",
};

void AppendNumber(std::string& sOut, long long iNumber) {
    char aDigits[24];
    auto oResult = std::to_chars(aDigits, aDigits + sizeof aDigits, iNumber);
    sOut.append(aDigits, oResult.ptr);
}

// One line of the block inside document.write('...'): a backslash becomes
// \\ and an apostrophe \', and the line's own line end (none for the last
// line) follows as an escape, so the string holds exactly the line's bytes.
// The UTF-8 forms of LINE SEPARATOR and PARAGRAPH SEPARATOR (E2 80 A8, E2 80
// A9) become \u2028 and \u2029: engines before ES2019 take them for line ends,
// which no string literal may hold.
void AppendWriteLine(std::string& sOut, std::string_view sLine, std::string_view sLineEnd) {
    sOut += "document.write('";
    std::size_t iStart = 0;
    for (std::size_t i = 0; i < sLine.size(); ++i) {
        const char c = sLine[i];
        if (c == '\\' || c == '\'') {
            sOut.append(sLine.data() + iStart, i - iStart);
            sOut += '\\';
            iStart = i;  // the character itself follows its backslash
        } else if (c == '\xE2' && i + 2 < sLine.size() && sLine[i + 1] == '\x80' &&
                   (sLine[i + 2] == '\xA8' || sLine[i + 2] == '\xA9')) {
            sOut.append(sLine.data() + iStart, i - iStart);
            sOut += sLine[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
            i += 2;
            iStart = i + 1;
        }
    }
    sOut.append(sLine.data() + iStart, sLine.size() - iStart);
    for (char c : sLineEnd) sOut += c == '\r' ? "\\r" : "\\n";
    sOut += "');\r\n";
}

}  // namespace

const TagKindTexts& KindTexts(TagKind eKind) { return eKind == TagKind::Object ? kObjectTexts : kEmbedTexts; }

void AppendFunctionTo(std::string& sOut, TagKind eKind, long long iNumber, std::string_view sBlock) {
    sOut += KindTexts(eKind).sHeaderStart;
    AppendNumber(sOut, iNumber);
    sOut += "()\r\n{\r\n";
    if (!sBlock.empty()) {
        std::size_t iLineStart = 0;
        for (std::size_t i = 0; i < sBlock.size(); ++i) {
            const char c = sBlock[i];
            if (c != '\r' && c != '\n') continue;
            const std::size_t iLineEnd = i;
            if (c == '\r' && i + 1 < sBlock.size() && sBlock[i + 1] == '\n') ++i;
            AppendWriteLine(sOut, sBlock.substr(iLineStart, iLineEnd - iLineStart),
                            sBlock.substr(iLineEnd, i + 1 - iLineEnd));
            iLineStart = i + 1;
        }
        AppendWriteLine(sOut, sBlock.substr(iLineStart), {});
    }
    sOut += "}\r\n";
}

std::string BuildFunctionText(TagKind eKind, long long iNumber, std::string_view sBlock) {
    std::string sText;
    sText.reserve(sBlock.size() + 64);
    AppendFunctionTo(sText, eKind, iNumber, sBlock);
    return sText;
}

std::string ScriptPath(const PageFile& oFile, TagKind eKind) {
    std::string sPath = oFile.Path.substr(0, oFile.Path.size() - oFile.Name.size());
    sPath += KindTexts(eKind).sScriptFile;
    return sPath;
}

fs::FsError AppendFunctionText(const PageFile& oFile, TagKind eKind, std::string_view sText, fs::AppendFile& oScript,
                               fs::AppendMark* pMark, const fs::FileInfo* pPage) {
    fs::AppendMark oMark;
    if (fs::FsError oOpen = oScript.Open(ScriptPath(oFile, eKind), oMark, pPage); oOpen.Failed()) return oOpen;
    if (pMark) *pMark = oMark;
    // A script file from the source may end without a line end: the header
    // must not run into its last line.
    if (oMark.bNeedsLineEnd)
        if (fs::FsError oBreak = oScript.Append("\r\n"); oBreak.Failed()) return oBreak;
    return oScript.Append(sText);
}

}  // namespace tagshift

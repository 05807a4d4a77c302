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

void AppendNumber(std::string& out, long long number) {
    char digits[24];
    auto result = std::to_chars(digits, digits + sizeof digits, number);
    out.append(digits, result.ptr);
}

// One line of the block inside document.write('...'): a backslash becomes
// \\ and an apostrophe \', and the line's own line end (none for the last
// line) follows as an escape, so the string holds exactly the line's bytes.
// The UTF-8 forms of LINE SEPARATOR and PARAGRAPH SEPARATOR (E2 80 A8, E2 80
// A9) become \u2028 and \u2029: engines before ES2019 take them for line ends,
// which no string literal may hold.
void AppendWriteLine(std::string& out, std::string_view line, std::string_view lineEnd) {
    out += "document.write('";
    std::size_t start = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\\' || c == '\'') {
            out.append(line.data() + start, i - start);
            out += '\\';
            start = i;  // the character itself follows its backslash
        } else if (c == '\xE2' && i + 2 < line.size() && line[i + 1] == '\x80' &&
                   (line[i + 2] == '\xA8' || line[i + 2] == '\xA9')) {
            out.append(line.data() + start, i - start);
            out += line[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
            i += 2;
            start = i + 1;
        }
    }
    out.append(line.data() + start, line.size() - start);
    for (char c : lineEnd) out += c == '\r' ? "\\r" : "\\n";
    out += "');\r\n";
}

}  // namespace

const TagKindTexts& KindTexts(TagKind kind) { return kind == TagKind::Object ? kObjectTexts : kEmbedTexts; }

void AppendFunctionTo(std::string& out, TagKind kind, long long number, std::string_view block) {
    AppendFunctionHead(out, kind, number);
    AppendFunctionBody(out, block);
}

void AppendFunctionHead(std::string& out, TagKind kind, long long number) {
    out += KindTexts(kind).headerStart;
    AppendNumber(out, number);
}

void AppendFunctionBody(std::string& out, std::string_view block) {
    out += "()\r\n{\r\n";
    if (!block.empty()) {
        std::size_t lineStart = 0;
        for (std::size_t i = 0; i < block.size(); ++i) {
            const char c = block[i];
            if (c != '\r' && c != '\n') continue;
            const std::size_t lineEndAt = i;
            if (c == '\r' && i + 1 < block.size() && block[i + 1] == '\n') ++i;
            AppendWriteLine(out, block.substr(lineStart, lineEndAt - lineStart),
                            block.substr(lineEndAt, i + 1 - lineEndAt));
            lineStart = i + 1;
        }
        AppendWriteLine(out, block.substr(lineStart), {});
    }
    out += "}\r\n";
}

std::string ScriptPath(const PageFile& file, TagKind kind) {
    std::string path = file.path.substr(0, file.path.size() - file.name.size());
    path += KindTexts(kind).scriptFile;
    return path;
}

fs::FsError AppendFunctionText(const PageFile& file, TagKind kind, std::string_view text, fs::AppendFile& script,
                               fs::AppendMark* markOut, const fs::FileInfo* page) {
    fs::AppendMark mark;
    if (fs::FsError openError = script.Open(ScriptPath(file, kind), mark, page); openError.Failed()) return openError;
    if (markOut) *markOut = mark;
    // A script file from the source may end without a line end: the header
    // must not run into its last line.
    if (mark.needsLineEnd)
        if (fs::FsError breakError = script.Append("\r\n"); breakError.Failed()) return breakError;
    return script.Append(text);
}

}  // namespace tagshift

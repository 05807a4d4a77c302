// The two tag kinds and the script functions that carry a cut-out block.
#pragma once

#include <string>
#include <string_view>

#include "fs/FileSystem.h"

namespace tagshift {

enum class TagKind { Object = 0, Embed = 1 };
inline constexpr TagKind kTagKinds[] = {TagKind::Object, TagKind::Embed};

struct TagKindTexts {
    std::string_view opening;      // "<object"
    std::string_view closing;      // "</object>"
    std::string_view includeTag;   // the script element that loads the script file
    std::string_view callStart;    // the call element up to the function's number
    std::string_view headerStart;  // "function InsertObject"
    std::string_view scriptFile;   // "object.js"
};
const TagKindTexts& KindTexts(TagKind kind);

inline constexpr std::string_view kCallEnd = "();</script>";

// A page of the destination tree: its full path and its name. sourcePath,
// when set, is the page's twin in the source tree, which is read instead of
// the page (the copy leaves selected pages for their first rewrite to write).
struct PageFile {
    std::string path;
    std::string name;
    std::string sourcePath;
};

// The function that writes block back into the document: a header with the
// block's number, then one document.write line per line of the block (split
// at CR LF, lone CR and lone LF; backslashes and apostrophes escaped; each
// line's own line end written inside the quotes as \r\n, \r or \n), every
// line of the function ending in CR LF; appended to out.
void AppendFunctionTo(std::string& out, TagKind kind, long long number, std::string_view block);
// The same in two parts: the header up to the number, and the rest.
void AppendFunctionHead(std::string& out, TagKind kind, long long number);
void AppendFunctionBody(std::string& out, std::string_view block);

// The kind's script file beside the page: Path without Name, then the name.
std::string ScriptPath(const PageFile& file, TagKind kind);

// Adds function text to the kind's script file in the page's folder, creating
// the file when it does not exist; a line end goes first when the file does
// not end in one. script keeps the file open from one call to the next (it
// opens the file of another folder when the page lies elsewhere). mark, when
// given, receives the file's state before this text, so that a failed page can
// be taken back. A script file this creates takes the permission bits of
// page (the page whose functions it receives first) when given.
fs::FsError AppendFunctionText(const PageFile& file, TagKind kind, std::string_view text, fs::AppendFile& script,
                               fs::AppendMark* mark, const fs::FileInfo* page = nullptr);

}  // namespace tagshift

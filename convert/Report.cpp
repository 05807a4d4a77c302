#include "convert/Report.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "convert/RunTexts.h"
#include "convert/Texts.h"

namespace tagshift {

namespace {

// Light and dark by the reader's scheme, light on paper; sizes in rem so
// that a zoomed page reflows instead of scrolling sideways. Sections off
// screen are not laid out until they come near, which keeps a report of
// 100,000 pages quick to open.
constexpr std::string_view kStyle = R"(
:root{color-scheme:light dark;--bg:#fff;--fg:#1a1a1a;--muted:#595959;--line:#c8c8c8;--code:#f3f3f3;--link:#0a4fbf;--mark:#8a4b00}
@media (prefers-color-scheme:dark){:root{--bg:#141414;--fg:#e8e8e8;--muted:#b0b0b0;--line:#4a4a4a;--code:#222;--link:#8cb8ff;--mark:#f0b060}}
body{margin:0 auto;max-width:70rem;padding:0 1rem 2rem;background:var(--bg);color:var(--fg);font:1rem/1.5 system-ui,sans-serif}
a{color:var(--link)}
h1{font-size:1.6rem;margin:1rem 0 .5rem}
h2{font-size:1.3rem;margin:2rem 0 .5rem;border-bottom:1px solid var(--line)}
h3{font-size:1.1rem;margin:1.2rem 0 .3rem;overflow-wrap:anywhere}
h4{font-size:1rem;font-weight:600;margin:.8rem 0 .3rem;overflow-wrap:anywhere}
table{border-collapse:collapse;margin:.5rem 0}
th,td{text-align:left;vertical-align:top;padding:.15rem .7rem .15rem 0;border-bottom:1px solid var(--line);overflow-wrap:anywhere}
pre,code{font:.9rem/1.4 ui-monospace,SFMono-Regular,Menlo,Consolas,monospace}
pre{margin:0;padding:.4rem .5rem;background:var(--code);border:1px solid var(--line);white-space:pre-wrap;overflow-wrap:anywhere}
.facts{display:grid;grid-template-columns:repeat(auto-fill,minmax(18rem,1fr));gap:0 1.5rem;list-style:none;padding:0;margin:.5rem 0 1rem}
.facts li{display:flex;justify-content:space-between;gap:1rem;border-bottom:1px solid var(--line);padding:.15rem 0}
.facts span{white-space:nowrap}
.facts b{font-weight:600;text-align:right;overflow-wrap:anywhere}
.pair{display:grid;grid-template-columns:repeat(auto-fit,minmax(15rem,1fr));gap:.5rem}
.label,.note{margin:0;color:var(--muted);font-size:.9rem}
.mark{color:var(--mark);border:2px solid var(--mark);padding:0 .3rem}
.page{content-visibility:auto;contain-intrinsic-size:auto 16rem}
.chunk{content-visibility:auto;contain-intrinsic-size:auto 150rem}
ul.pages{padding-left:1.2rem;overflow-wrap:anywhere}
@media print{:root{--bg:#fff;--fg:#000;--muted:#333;--line:#999;--code:#fff;--link:#000;--mark:#000}
body{max-width:none;padding:0}a{text-decoration:none}
.page,.chunk{content-visibility:visible}.block{break-inside:avoid}h2,h3,h4{break-after:avoid}}
)";

constexpr std::size_t kFlushSize = std::size_t{1} << 20;
constexpr long long kChunkItems = 100;

// The report's text as it is made, handed to the file every megabyte.
class ReportFile {
public:
    explicit ReportFile(const std::string& path) : path_(path) {}

    std::string text;

    void Flush() {
        if (!error_.Failed() && !text.empty()) {
            if (!opened_) {
                opened_ = true;
                fs::RemoveFile(path_);  // AppendFile adds to what stands there
                fs::AppendMark mark;
                error_ = file_.Open(path_, mark);
            }
            if (!error_.Failed()) error_ = file_.Append(text);
        }
        text.clear();
    }
    void FlushWhenFull() {
        if (text.size() >= kFlushSize) Flush();
    }
    fs::FsError Finish() {
        Flush();
        file_.Close();
        if (error_.Failed() && opened_) fs::RemoveFile(path_);
        return error_;
    }

private:
    const std::string& path_;
    fs::AppendFile file_;
    fs::FsError error_;
    bool opened_ = false;
};

// path shown below folder ("about/contact.html"), or whole when it lies
// elsewhere.
std::string_view Below(std::string_view path, std::string_view folder) {
    if (!folder.empty() && path.size() > folder.size() + 1 && path.substr(0, folder.size()) == folder &&
        fs::IsSeparator(path[folder.size()]))
        return path.substr(folder.size() + 1);
    return path;
}

constexpr std::string_view kNoscriptOpen = "<noscript>";
constexpr std::string_view kNoscriptClose = "</noscript>";

// What took the block's place: the include and call elements, then, for a
// block kept for visitors without script, the block again in <noscript>.
void AppendElements(std::string& out, const MovedBlock& block, std::string_view text) {
    const TagKindTexts& texts = KindTexts(block.kind);
    out += texts.includeTag;
    out += texts.callStart;
    out += std::to_string(block.number);
    out += kCallEnd;
    if (!block.fallback) return;
    out += kNoscriptOpen;
    out += text;
    out += kNoscriptClose;
}

// The block's text from the page as read. An embed block can hold object
// blocks the object pass had replaced before: its length counts their script
// elements, not their text, so it is rebuilt the same way. False when the
// page no longer holds the block (it changed since the run).
bool BlockText(std::string_view page, const PageRecord& record, const MovedBlock& block, std::string& scratch,
               std::string_view& text) {
    std::size_t at = block.offset;
    bool rebuilt = false;
    scratch.clear();
    if (block.kind == TagKind::Embed) {
        for (const MovedBlock& inner : record.blocks) {
            if (inner.kind != TagKind::Object || inner.offset < at) continue;
            if (inner.offset > page.size() || inner.length > page.size() - inner.offset) return false;
            if (scratch.size() + (inner.offset - at) >= block.length) break;
            scratch.append(page.substr(at, inner.offset - at));
            AppendElements(scratch, inner, page.substr(inner.offset, inner.length));
            at = inner.offset + inner.length;
            rebuilt = true;
        }
    }
    if (scratch.size() > block.length) return false;
    const std::size_t rest = block.length - scratch.size();
    if (at > page.size() || rest > page.size() - at) return false;
    if (!rebuilt) {
        text = page.substr(at, rest);
        return true;
    }
    scratch.append(page.substr(at, rest));
    text = scratch;
    return true;
}

// The length of the UTF-8 sequence at s[i] that Unicode calls well formed,
// 0 when there is none; code receives its code point.
std::size_t WellFormed(std::string_view s, std::size_t i, char32_t& code) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned lead = byte(i);
    std::size_t length = 0;
    unsigned low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;  // not the surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (s.size() - i < length || byte(i + 1) < low || byte(i + 1) > high) return 0;
    code = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if (k > 1 && (byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    return length;
}

// path percent-encoded, its separators as '/'. With drive, the colon of "C:"
// stays; in a relative address it would read as a scheme.
void AppendUrlPath(std::string& url, std::string_view path, bool drive = false) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        const auto byte = static_cast<unsigned char>(c);
        if (fs::IsSeparator(c)) url += '/';
        else if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
                 c == '-' || c == '.' || c == '_' || c == '~' || (c == ':' && i == 1 && drive))
            url += c;
        else {
            url += '%';
            url += kHex[byte >> 4];
            url += kHex[byte & 0xF];
        }
    }
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

class ReportWriter {
public:
    ReportWriter(const ConversionResult& result, const ReportOptions& options, ReportFile& file)
        : result_(result), options_(options), file_(file), out_(file.text) {}

    void Write() {
        for (const PageRecord& page : result_.pages) {
            if (page.Changed()) ++changed_;
            for (const MovedBlock& block : page.blocks) ++blocksByKind_[static_cast<int>(block.kind)];
            for (const LeftAloneTag& tag : page.leftAlone) ++tagsByReason_[tag.why];
        }
        Head();
        Summary();
        ChangedPages();
        LeftAloneTags();
        Entries();
        UnchangedPages();
        out_ += "</main>\n</body>\n</html>\n";
    }

private:
    void Text(std::string_view bytes) { AppendHtmlText(out_, bytes); }
    void Number(long long value) { out_ += std::to_string(value); }
    void Fact(std::string_view name, const std::string& value) {
        out_ += "<li><span>";
        out_ += name;
        out_ += "</span> <b>";
        Text(value);
        out_ += "</b></li>\n";
    }
    void Folder(std::string_view name, const std::string& path) {
        out_ += "<tr><th scope=\"row\">";
        out_ += name;
        out_ += "</th><td>";
        Text(Visible(path));
        out_ += "</td></tr>\n";
    }
    void Fact(std::string_view name, long long value) { Fact(name, std::to_string(value)); }

    // The page as the reader opens it: the converted page, or in a preview
    // the source page.
    const std::string& Opened(const PageRecord& page) const {
        return options_.preview && !page.sourcePath.empty() ? page.sourcePath : page.path;
    }
    // Links are relative to the base, the folder that holds the pages, which
    // keeps a report of many pages small.
    const std::string& BaseFolder() const {
        return options_.preview ? result_.sourceFolder : result_.convertedFolder;
    }
    void Link(const std::string& path, std::string_view shown) {
        out_ += "<a href=\"";
        const std::string_view below = Below(path, BaseFolder());
        if (below.size() < path.size()) AppendUrlPath(out_, below);
        else out_ += FileUrl(path);
        out_ += "\">";
        Text(Visible(shown));
        out_ += "</a>";
    }
    void PageLink(const PageRecord& page) { Link(Opened(page), Below(page.path, result_.convertedFolder)); }

    void Head() {
        const std::string_view site = Below(result_.sourceFolder, fs::ParentFolder(result_.sourceFolder));
        out_ += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                "<meta name=\"color-scheme\" content=\"light dark\">\n";
        if (!BaseFolder().empty()) {
            out_ += "<base href=\"";
            out_ += FileUrl(BaseFolder());
            out_ += "/\">\n";
        }
        out_ += "<title>";
        out_ += options_.preview ? "Tagshift preview: " : "Tagshift report: ";
        Text(Visible(site));
        out_ += "</title>\n<style>";
        out_ += kStyle;
        out_ += "</style>\n</head>\n<body>\n<header>\n<h1>Tagshift report";
        if (options_.preview) out_ += " <span class=\"mark\">preview</span>";
        out_ += "</h1>\n";
        if (options_.preview)
            out_ += "<p>Nothing was written: this is what a run would do. The page links open the source pages.</p>\n";
    }

    void Summary() {
        out_ += "<table>\n";
        Folder("Source folder", result_.sourceFolder);
        Folder(options_.preview ? "Would be written to" : "Converted folder", result_.convertedFolder);
        out_ += "</table>\n<ul class=\"facts\">\n";
        Fact("Outcome", Outcome());
        Fact("Pages selected", result_.pagesSelected < 0 ? 0 : result_.pagesSelected);
        Fact("Files Converted", result_.pagesConverted);
        Fact("Pages changed", changed_);
        Fact("Pages unchanged", static_cast<long long>(result_.pages.size()) - changed_);
        Fact("Blocks moved", std::to_string(result_.functionsReplaced) + " (object " +
                                 std::to_string(blocksByKind_[0]) + ", embed " + std::to_string(blocksByKind_[1]) +
                                 ")");
        std::string tags = std::to_string(result_.tagsLeftAlone);
        const char* separator = " (";
        for (const auto& [why, count] : tagsByReason_) {
            tags += separator + why + ": " + std::to_string(count);
            separator = ", ";
        }
        if (!tagsByReason_.empty()) tags += ')';
        Fact("Tags left alone", tags);
        Fact("Pages not converted", result_.pagesFailed);
        Fact("Entries not copied", result_.entriesNotCopied);
        Fact("Entries left out", result_.entriesLeftOut);
        long long replaced = 0;
        for (const EntryNote& note : result_.entries) replaced += note.kind == EntryNoteKind::Replaced;
        Fact("Entries replaced", replaced);
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.2f s", result_.seconds);
        Fact("Time", seconds);
        out_ += "</ul>\n</header>\n<main>\n";
    }

    std::string Outcome() const {
        switch (result_.outcome) {
            case RunOutcome::Completed: return "completed";
            case RunOutcome::CompletedWithFailures: return "completed, with failures";
            case RunOutcome::Refused: return "refused: " + result_.error;
            case RunOutcome::Failed: return "failed: " + result_.error;
            case RunOutcome::Stopped: return "stopped";
            case RunOutcome::NotRun: break;
        }
        return "not run";
    }

    void ChangedPages() {
        out_ += "<h2>Changed pages (";
        Number(changed_);
        out_ += ")</h2>\n";
        if (changed_ == 0) out_ += "<p>No page changed.</p>\n";
        const bool compact = changed_ > options_.fullBlocksUpTo;
        if (compact) {
            out_ += "<p class=\"note\">With this many pages each block is one line: its number, kind, line and "
                    "script file, its first ";
            Number(static_cast<long long>(options_.shortBlockBytes));
            out_ += " bytes (its script file holds it whole) and the function that took its place.</p>\n";
            out_ += Chunk(changed_);
            out_ += "<ul class=\"pages\">\n";
        }
        std::string data;  // one page at a time: its memory serves the next
        std::string scratch;
        long long shown = 0;
        for (const PageRecord& page : result_.pages) {
            if (!page.Changed()) continue;
            if (compact) NextItem(shown);
            out_ += compact ? "<li>" : "<section class=\"page\">\n<h3>";
            PageLink(page);
            out_ += compact ? "\n" : "</h3>\n";
            const std::string& read = page.sourcePath.empty() ? page.path : page.sourcePath;
            const fs::FsError readError = fs::ReadWholeFile(read, data);
            if (readError.Failed()) {
                out_ += "<p class=\"note\">The page could not be read again: ";
                Text(readError.reason);
                out_ += "</p>\n";
                data.clear();
            }
            if (compact) out_ += "<pre>";
            for (const MovedBlock& block : page.blocks) {
                std::string_view text;
                const bool found = !readError.Failed() && BlockText(data, page, block, scratch, text);
                if (compact) BlockLine(page, block, found ? &text : nullptr);
                else Block(page, block, found ? &text : nullptr, readError.Failed());
            }
            out_ += compact ? "</pre></li>\n" : "</section>\n";
            file_.FlushWhenFull();
        }
        if (compact) out_ += "</ul></div>\n";
    }

    // Long lists come in chunks that the browser lays out only when they
    // come near: a list of 100,000 lines laid out at once takes a minute.
    void NextItem(long long& shown) {
        if (shown > 0 && shown % kChunkItems == 0) out_ += "</ul></div>\n<div class=\"chunk\"><ul class=\"pages\">\n";
        ++shown;
    }
    // A short list is laid out at once: its true height is known from the
    // start.
    static const char* Chunk(long long items) { return items > kChunkItems ? "<div class=\"chunk\">" : "<div>"; }

    // A table in chunks of its own, each with the heading row.
    void OpenTable(const char* headings, long long rows) {
        tableHead_ = std::string(Chunk(rows)) + "<table>\n<thead><tr>" + headings + "</tr></thead>\n<tbody>\n";
        out_ += tableHead_;
        rows_ = 0;
    }
    void NextRow() {
        if (rows_ > 0 && rows_ % kChunkItems == 0) out_ += "</tbody>\n</table></div>\n" + tableHead_;
        ++rows_;
    }

    void BlockHeading(const PageRecord& page, const MovedBlock& block, bool link) {
        Number(block.number);
        out_ += block.kind == TagKind::Object ? ": object, line " : ": embed, line ";
        Number(block.line);
        out_ += ", into ";
        const std::string script = ScriptFileOf(page, block);
        if (options_.preview || !link) Text(Visible(Below(script, result_.convertedFolder)));
        else Link(script, Below(script, result_.convertedFolder));
    }

    void Block(const PageRecord& page, const MovedBlock& block, const std::string_view* text, bool unread) {
        out_ += "<div class=\"block\">\n<h4>Block ";
        BlockHeading(page, block, true);
        out_ += "</h4>\n<div class=\"pair\"><div><p class=\"label\">Before</p><pre>";
        if (text) {
            Text(*text);
            out_ += "</pre>";
        } else {
            out_ += "</pre><p class=\"note\">";
            out_ += unread ? "Not shown: the page could not be read." : "Not shown: the page has changed since.";
            out_ += "</p>";
        }
        out_ += "</div>\n<div><p class=\"label\">After</p><pre>";
        std::string elements;
        AppendElements(elements, block, text ? *text : "…");
        Text(elements);
        out_ += "</pre></div></div>\n</div>\n";
    }

    // The block in one line: its start, line ends shown as spaces.
    void BlockLine(const PageRecord& page, const MovedBlock& block, const std::string_view* text) {
        BlockHeading(page, block, false);
        out_ += ": ";
        if (text) {
            std::size_t cut = std::min(options_.shortBlockBytes, text->size());
            while (cut > 0 && cut < text->size() && (static_cast<unsigned char>((*text)[cut]) & 0xC0) == 0x80) --cut;
            std::string start(text->substr(0, cut));
            for (char& c : start)
                if (c == '\r' || c == '\n' || c == '\t') c = ' ';
            Text(start);
            if (cut < text->size()) out_ += "…";
        } else {
            out_ += "(not shown: the page could not be read, or has changed since)";
        }
        out_ += block.kind == TagKind::Object ? " → InsertObject" : " → InsertEmbed";
        Number(block.number);
        out_ += block.fallback ? "() and the block in &lt;noscript&gt;\n" : "()\n";
    }

    void LeftAloneTags() {
        out_ += "<h2>Tags left alone (";
        Number(result_.tagsLeftAlone);
        out_ += ")</h2>\n";
        if (result_.tagsLeftAlone == 0) {
            out_ += "<p>None.</p>\n";
            return;
        }
        OpenTable("<th>Page</th><th>Line</th><th>Tag</th><th>Why</th>", result_.tagsLeftAlone);
        for (const PageRecord& page : result_.pages) {
            for (const LeftAloneTag& tag : page.leftAlone) {
                NextRow();
                out_ += "<tr><td>";
                PageLink(page);
                out_ += "</td><td>";
                Number(tag.line);
                out_ += "</td><td><code>";
                Text(Visible(tag.opening));
                out_ += "</code></td><td>";
                Text(tag.why);
                out_ += "</td></tr>\n";
            }
            file_.FlushWhenFull();
        }
        out_ += "</tbody>\n</table></div>\n";
    }

    // The failed selections and the entries, in the order of the log.
    void Entries() {
        out_ += "<h2>Not converted, not copied, left out</h2>\n";
        bool any = !result_.entries.empty();
        for (const PageRecord& page : result_.pages)
            for (const PageSelection& selection : page.selections) any = any || selection.failed;
        if (!any) {
            out_ += "<p>None.</p>\n";
            return;
        }
        OpenTable("<th>Path</th><th>What</th><th>Why</th>",
                  static_cast<long long>(result_.entries.size()) + result_.pagesFailed);
        std::size_t entry = 0;
        for (std::size_t i = 0; i <= result_.pages.size(); ++i) {
            for (; entry < result_.entries.size() && result_.entries[entry].beforePage <= i; ++entry) Entry(result_.entries[entry]);
            if (i == result_.pages.size()) break;
            const PageRecord& page = result_.pages[i];
            file_.FlushWhenFull();
            for (const PageSelection& selection : page.selections) {
                if (!selection.failed) continue;
                NextRow();
                out_ += "<tr><td>";
                PageLink(page);
                out_ += "</td><td>page not converted</td><td>";
                Text(selection.failure);
                out_ += "</td></tr>\n";
            }
        }
        out_ += "</tbody>\n</table></div>\n";
    }

    void Entry(const EntryNote& note) {
        static constexpr const char* kWhat[] = {"file not copied", "folder not copied", "left out", "replaced"};
        NextRow();
        out_ += "<tr><td>";
        Text(Visible(Below(note.path, result_.convertedFolder)));
        out_ += "</td><td>";
        out_ += kWhat[static_cast<int>(note.kind)];
        out_ += "</td><td>";
        Text(note.reason);
        out_ += "</td></tr>\n";
    }

    void UnchangedPages() {
        const long long unchanged = static_cast<long long>(result_.pages.size()) - changed_;
        out_ += "<h2>Unchanged pages (";
        Number(unchanged);
        out_ += ")</h2>\n";
        if (unchanged == 0) {
            out_ += "<p>None.</p>\n";
            return;
        }
        out_ += "<details>\n<summary>";
        Number(unchanged);
        out_ += unchanged == 1 ? " page with no block to move" : " pages with no block to move";
        out_ += "</summary>\n";
        out_ += Chunk(unchanged);
        out_ += "<ul class=\"pages\">\n";
        long long shown = 0;
        for (const PageRecord& page : result_.pages) {
            if (page.Changed()) continue;
            NextItem(shown);
            out_ += "<li>";
            PageLink(page);
            out_ += "</li>\n";
            file_.FlushWhenFull();
        }
        out_ += "</ul></div>\n</details>\n";
    }

    const ConversionResult& result_;
    const ReportOptions& options_;
    ReportFile& file_;
    std::string& out_;
    long long changed_ = 0;
    long long blocksByKind_[2] = {0, 0};
    std::map<std::string, long long> tagsByReason_;
    std::string tableHead_;
    long long rows_ = 0;
};

}  // namespace

std::string ReportFileName(const ConversionResult& result) {
    const std::string& folder = result.sourceFolder;
    std::size_t start = folder.size();
    while (start > 0 && !fs::IsSeparator(folder[start - 1])) --start;
    // A root ("/", "C:\") has no name of its own to give.
    std::string name = folder.substr(start);
    if (name.empty() || name.back() == ':') name = "site";
    return name + texts::kDestSuffix + "-report.html";
}

fs::FsError WriteReport(const ConversionResult& result, const std::string& path, const ReportOptions& options) {
    ReportFile file(path);
    ReportWriter(result, options, file).Write();
    return file.Finish();
}

std::string FileUrl(const std::string& path) {
    std::string url = "file://";
    // "/a" and "\\server\share" carry their own slashes; "C:\a" needs one.
    if (path.empty() || !fs::IsSeparator(path[0])) url += '/';
    AppendUrlPath(url, path, true);
    return url;
}

void AppendHtmlText(std::string& out, std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            switch (c) {
                case '&': out += "&amp;"; break;
                case '<': out += "&lt;"; break;
                case '>': out += "&gt;"; break;
                case '\t':
                case '\r':
                case '\n': out += c; break;
                default:
                    if (byte >= 0x20 && byte != 0x7F) out += c;
                    else out += Visible(std::string_view(&c, 1));
            }
            ++i;
            continue;
        }
        char32_t code = 0;
        const std::size_t length = WellFormed(bytes, i, code);
        const bool nonCharacter = (code >= 0xFDD0 && code <= 0xFDEF) || (code & 0xFFFE) == 0xFFFE;
        if (length == 0 || code <= 0x9F || nonCharacter) {
            out += kReplacement;
            i += length == 0 ? 1 : length;
            continue;
        }
        out.append(bytes.data() + i, length);
        i += length;
    }
}

}  // namespace tagshift

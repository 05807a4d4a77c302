#include "convert/RunTexts.h"

#include "fs/FileSystem.h"

namespace tagshift {

using namespace texts;

std::string Visible(std::string_view name) {
    std::string shown;
    shown.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            shown += c;
            continue;
        }
        // U+2400 + byte (U+2421 for DEL) is E2 90 80+byte, or E2 90 A1.
        shown += '\xE2';
        shown += '\x90';
        shown += static_cast<char>(byte == 0x7F ? 0xA1 : 0x80 + byte);
    }
    return shown;
}

namespace {

void AddLine(std::string& text, std::string_view line) {
    text += line;
    text += kCrLf;
}

void AddPage(std::string& log, const PageRecord& page) {
    for (std::size_t i = 0; i < page.selections.size(); ++i) {
        AddLine(log, kLogProcessing + Visible(page.path));
        if (i == 0)
            for (const LeftAloneTag& tag : page.leftAlone) AddLine(log, kLogLeftAlone + LeftAloneLine(tag));
        if (page.selections[i].failed) AddLine(log, kLogFailed + Visible(page.path) + " - " + page.selections[i].failure);
    }
}

}  // namespace

std::string LogText(const ConversionResult& result) { return LogText(result, !result.logPath.empty()); }

std::string LogText(const ConversionResult& result, bool complete) {
    std::string log;
    AddLine(log, kLogStarted);
    if (result.refusal) {
        AddLine(log, result.refusal);
        return log;
    }
    if (result.pagesSelected < 0) return log;
    AddLine(log, kLogCopying + Visible(result.sourceFolder));
    AddLine(log, kLogDestination + Visible(result.convertedFolder));
    std::size_t entry = 0;
    for (std::size_t page = 0; page <= result.pages.size(); ++page) {
        for (; entry < result.entries.size() && result.entries[entry].beforePage <= page; ++entry)
            AddLine(log, EntryLine(result.entries[entry]));
        if (page < result.pages.size()) AddPage(log, result.pages[page]);
    }
    if (complete) log += kLogComplete;
    return log;
}

std::string SummaryText(const ConversionResult& result, const std::string& logReference) {
    if (result.outcome != RunOutcome::Completed && result.outcome != RunOutcome::CompletedWithFailures) return {};
    // A preview writes no log: its lines say where the tree would be, last.
    const std::string seeLog = result.dryRun ? std::string() : " (see " + logReference + ")";
    std::string text = kSummaryFiles + std::to_string(result.pagesConverted) + kSummaryFunctions +
                       std::to_string(result.functionsReplaced);
    // Files Converted counts selections; the pages that changed may be fewer.
    if (const long long changed = PagesChanged(result); changed != result.pagesConverted)
        text += kCrLf + (kSummaryPagesChanged + std::to_string(changed));
    if (!result.dryRun) text += kCrLf + (kSummaryVisible + Visible(result.convertedFolder));
    if (result.pagesFailed > 0) text += kCrLf + (kSummaryNotConverted + std::to_string(result.pagesFailed)) + seeLog;
    if (result.entriesNotCopied > 0)
        text += kCrLf + (kSummaryNotCopied + std::to_string(result.entriesNotCopied)) + seeLog;
    if (result.entriesLeftOut > 0) text += kCrLf + (kSummaryLeftOut + std::to_string(result.entriesLeftOut)) + seeLog;
    if (result.dryRun) text += kCrLf + (kSummaryWouldBe + Visible(result.convertedFolder));
    return text;
}

std::vector<std::string> FailureLines(const ConversionResult& result) {
    std::vector<std::string> lines;
    std::size_t entry = 0;
    auto addEntries = [&](std::size_t page) {
        for (; entry < result.entries.size() && result.entries[entry].beforePage <= page; ++entry) {
            const EntryNote& note = result.entries[entry];
            if (note.kind == EntryNoteKind::FailedFile || note.kind == EntryNoteKind::FailedFolder)
                lines.push_back(EntryLine(note));
        }
    };
    for (std::size_t page = 0; page < result.pages.size(); ++page) {
        addEntries(page);
        for (const PageSelection& selection : result.pages[page].selections)
            if (selection.failed) lines.push_back(kLogFailed + Visible(result.pages[page].path) + " - " + selection.failure);
    }
    addEntries(result.pages.size());
    return lines;
}

std::string LeftAloneLine(const LeftAloneTag& tag) {
    return Visible(tag.page) + ':' + std::to_string(tag.line) + ": " + Visible(tag.opening) + kLogLeftAloneWhy +
           tag.why + ')';
}

std::string EntryLine(const EntryNote& note) {
    switch (note.kind) {
        case EntryNoteKind::LeftOut: return kLogLeftOut + Visible(note.path) + " - " + note.reason;
        case EntryNoteKind::Replaced: return kLogReplaced + Visible(note.path) + " - " + note.reason;
        case EntryNoteKind::FailedFolder: return kLogFailedFolder + Visible(note.path) + kLogUnreadable + note.reason;
        case EntryNoteKind::FailedFile: break;
    }
    return kLogFailed + Visible(note.path) + kLogUnreadable + note.reason;
}

std::vector<std::string> PatternWarnings(const std::string& patterns) {
    std::vector<std::string> warnings;
    for (const std::string& pattern : SplitPatterns(patterns)) {
        if (pattern.empty() || pattern.rfind("*.", 0) == 0) continue;
        const std::string meant = "*." + pattern.substr(std::min(pattern.find_first_not_of("*."), pattern.size()));
        const std::string selects =
            pattern.size() <= 2 ? " selects nothing" : " selects every name that ends in `" + pattern.substr(2) + "`";
        warnings.push_back("`" + Visible(pattern) + "`" + Visible(selects) + "; did you mean `" + Visible(meant) + "`?");
    }
    return warnings;
}

long long PagesChanged(const ConversionResult& result) {
    long long changed = 0;
    for (const PageRecord& page : result.pages) changed += page.Changed();
    return changed;
}

std::string ScriptFileOf(const PageRecord& page, const MovedBlock& block) {
    return fs::JoinPath(fs::ParentFolder(page.path), KindTexts(block.kind).scriptFile);
}

}  // namespace tagshift

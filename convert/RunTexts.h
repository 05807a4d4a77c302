// The texts made from a run's record: the log, the summary, the lines a
// terminal shows. Each is one function over the record; nothing reads a
// text back.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "convert/Conversion.h"

namespace tagshift {

// name as it may be shown on one line: each control byte (0x00-0x1F, 0x7F)
// becomes its picture (U+2400 + the byte, U+2421 for DEL) in UTF-8, so that
// no name can start a line of its own; every other byte stays.
std::string Visible(std::string_view name);

// The run log, CR LF after every line; complete adds the closing line, as
// the log written into a finished tree has it.
std::string LogText(const ConversionResult& result, bool complete);
// The log as the run left it: complete when it was written.
std::string LogText(const ConversionResult& result);

// The summary of a completed run (empty for any other), its lines joined by CR LF. logReference
// is how the lines that point to the log name it ("converter_log.txt", or
// its full path).
std::string SummaryText(const ConversionResult& result, const std::string& logReference = texts::kLogFileName);

// The "Failed File:" and "Failed Folder:" lines of the log, in its order.
std::vector<std::string> FailureLines(const ConversionResult& result);

// A tag left alone as one line: "PAGE:LINE: <OBJECT left as it is (why)".
std::string LeftAloneLine(const LeftAloneTag& tag);

// An entry left out or replaced, as the log says it ("Left Out: PATH - why").
std::string EntryLine(const EntryNote& note);

// A warning for each non-empty piece of the pattern list that does not
// start with "*." (the rule reads it from its third character all the same):
// "`html` selects every name that ends in `ml`; did you mean `*.html`?"
std::vector<std::string> PatternWarnings(const std::string& patterns);

// True when a tag was left alone for its capital letters (the any-case
// switch would have converted it).
bool LeftAloneForCapitals(const ConversionResult& result);

// Pages of the record that a rewrite changed.
long long PagesChanged(const ConversionResult& result);

// The script file beside page that received block.
std::string ScriptFileOf(const PageRecord& page, const MovedBlock& block);

}  // namespace tagshift

// The report of a run: one self-contained HTML page (inline style, no
// script, nothing fetched from elsewhere) made from the run's record alone.
// The block texts come from the source pages, read again one at a time, so
// that the report of a large run never holds more than one page.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "convert/Conversion.h"
#include "fs/FileSystem.h"

namespace tagshift {

struct ReportOptions {
    // The record of a dry run: nothing was written, so the page links open
    // the source pages and the script files are named, not linked.
    bool preview = false;
    // Above this many changed pages each block is one line that shows only
    // its first shortBlockBytes bytes (its script file holds it whole), so
    // that the report of a large site still opens in a few seconds.
    long long fullBlocksUpTo = 5000;
    std::size_t shortBlockBytes = 80;
};

// "SITE_Converted-report.html", SITE being the source folder's name.
std::string ReportFileName(const ConversionResult& result);

// Writes the report to path, replacing what stands there (a file or a link,
// never a folder). It is written in pieces as it is made; a report that
// could not be written whole is removed.
fs::FsError WriteReport(const ConversionResult& result, const std::string& path, const ReportOptions& options = {});

// The file: URL of an absolute path (POSIX "/a/b", Windows "C:\a\b" or
// "\\server\share\b"); every byte but letters, digits, "-._~" and the
// separators is percent-encoded, so that any name survives.
std::string FileUrl(const std::string& path);

// bytes as HTML text that nothing can make live: & < > as references;
// control bytes other than tab, CR and LF as their pictures (U+2400 + the
// byte); bytes that are not UTF-8, C1 controls and noncharacters as U+FFFD.
void AppendHtmlText(std::string& out, std::string_view bytes);

}  // namespace tagshift

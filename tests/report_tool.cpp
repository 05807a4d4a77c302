// Converts a site and writes the run's report, for the browser test, the
// pictures in docs/ and the figures of a large report. Not installed.
//
//   tagshift_report_tool [--preview] [--pages N] [--writes K] SOURCE REPORT
//   tagshift_report_tool --bench-site DIR
//
// --pages N repeats the record's pages until it holds N (the same source
// pages read again and again), which gives the report of a very large run
// without converting one. --writes K writes the report K times, so that
// timing it from outside tells the writing from the conversion. --bench-site writes the benchmarks' 10,000-file site.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/SiteGenerator.h"
#include "convert/Conversion.h"
#include "convert/Report.h"

int main(int argc, char** argv) {
    using namespace tagshift;
    ReportOptions options;
    long long pages = 0;
    long long writes = 1;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--preview") options.preview = true;
        else if (argument == "--pages" && i + 1 < argc) pages = std::atoll(argv[++i]);
        else if (argument == "--writes" && i + 1 < argc) writes = std::atoll(argv[++i]);
        else if (argument == "--bench-site" && i + 1 < argc) {
            bench::SiteShape shape;
            shape.seed = 10;
            shape.files = 10000;
            shape.folders = 200;
            const bench::SiteStats stats = bench::GenerateSite(shape, argv[++i]);
            std::printf("%lld files, %lld pages, %lld blocks\n", stats.files, stats.pages, stats.blocks);
            return 0;
        } else break;
    }
    if (argc - i != 2) {
        std::fprintf(stderr, "usage: %s [--preview] [--pages N] [--writes K] SOURCE REPORT | --bench-site DIR\n", argv[0]);
        return 2;
    }
    ConversionRequest request;
    request.sourceFolder = argv[i];
    ConversionObserver quiet;
    ConversionResult result = Convert(request, quiet);
    if (result.outcome != RunOutcome::Completed && result.outcome != RunOutcome::CompletedWithFailures) {
        std::fprintf(stderr, "%s\n", result.error.c_str());
        return 1;
    }
    const std::size_t real = result.pages.size();
    for (std::size_t next = 0; real > 0 && static_cast<long long>(result.pages.size()) < pages; ++next) {
        const PageRecord copy = result.pages[next % real];
        result.pages.push_back(copy);
        result.pagesConverted += static_cast<long long>(copy.selections.size());
        result.functionsReplaced += static_cast<long long>(copy.blocks.size());
        result.tagsLeftAlone += static_cast<long long>(copy.leftAlone.size());
    }
    if (pages > 0) result.pagesSelected = static_cast<long long>(result.pages.size());
    for (long long write = 0; write < writes; ++write) {
        const fs::FsError error = WriteReport(result, argv[i + 1], options);
        if (error.Failed()) {
            std::fprintf(stderr, "%s: %s\n", error.path.c_str(), error.reason.c_str());
            return 1;
        }
    }
    std::printf("%zu pages in the record\n", result.pages.size());
    return 0;
}

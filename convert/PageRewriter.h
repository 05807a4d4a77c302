// The in-memory part of a page rewrite: finding the blocks of a tag kind and
// putting the include and call elements in their place.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/ScriptFiles.h"

namespace tagshift {

// Why an opening text stayed in the page as it was.
enum class LeftAloneReason {
    CapitalLetters,  // it matches only in another letter case
    NoClosingTag,    // no closing text after it (and, for embed, no end of the tag)
    InsideScript,
    InsideStyle,
    InsideTextarea,
    InsideTitle,
    InsideNoscript,
    InsideComment,
};

// The words the user reads for a reason ("inside a script").
const char* LeftAloneText(LeftAloneReason why);

// Where a block stood in the page as it was read: its first line (from 1)
// and its first byte's offset.
struct BlockPlace {
    long long line = 0;
    std::size_t offset = 0;
    bool fallback = false;  // a copy of the block follows its call, in a <noscript> element
};

// Receives every block that a pass cuts out, in page order, and every
// opening text that a pass leaves alone.
class BlockSink {
public:
    virtual ~BlockSink() = default;
    virtual void Add(TagKind kind, long long number, std::string_view block, const BlockPlace& place) = 0;
    // opening is the opening text as it stands in the page; line counts
    // from 1 in the page as it was read.
    virtual void LeftAlone(TagKind /*kind*/, std::string_view /*opening*/, long long /*line*/,
                           LeftAloneReason /*why*/) {}
};

// A replaced block as the later pass sees it: its call element ends at
// offset of the pass's output, the block held lineEnds line ends, and the
// elements that took its place are growth bytes longer than it was.
struct TakenLines {
    std::size_t offset;
    long long lineEnds;
    long long growth;
};

// A range of a pass's output [begin, end).
struct OutputRange {
    std::size_t begin;
    std::size_t end;
};

struct PassOptions {
    bool anyCase = false;  // opening and closing texts match in any letter case
    // After the call of each block that follows the page's first <body tag,
    // the block again inside <noscript>...</noscript>, for visitors
    // without script.
    bool noscriptFallback = false;
    // The blocks an earlier pass over this page replaced (its linesTaken),
    // so that lines and offsets name the page as read.
    const std::vector<TakenLines>* linesTakenBefore = nullptr;
    std::vector<TakenLines>* linesTaken = nullptr;  // filled with this pass's blocks
    // The fallbacks an earlier pass wrote (its fallbacks): what they hold is
    // the rewrite's own copy, and no tag in them is reported.
    const std::vector<OutputRange>* fallbacksBefore = nullptr;
    std::vector<OutputRange>* fallbacks = nullptr;  // filled with this pass's fallbacks
};

struct RewriteOptions {
    bool anyCase = false;
    bool noscriptFallback = false;
};

// One forward pass over page for one tag kind. Markup only is converted: the
// content of script, style, textarea, title and noscript elements and of
// comments (not of IE's conditional comments) is skipped. A block runs from
// the opening text to the first closing text after it; an embed with no
// closing text after it ends at the first '>' outside quoted values. Each
// block is numbered with ++functionCount, handed to sink and replaced in
// out by the include tag and the call tag. Every other opening text stays,
// and sink hears why. Text outside the blocks is copied byte for byte.
// Returns the number of blocks replaced; when it is 0, out is left empty.
long long ReplaceBlocks(std::string_view page, TagKind kind, long long& functionCount, std::string& out,
                        BlockSink& sink, const PassOptions& options = {});

// A converted page as the runs that make it up, in order: a run of the
// page as the rewrite left it, then the two elements that replaced the
// block after it. The page is written from them, never put together in
// memory a second time; a run costs a few words, whatever the page's size.
//
// The function numbers are kept apart from the text: a page rewritten with
// its count starting at 0 is written with any first number by adding it
// (numberBase) to every number, byte for byte what a rewrite that started
// there gives, unless NumbersInBlocks().
class PagePieces {
public:
    struct Run {
        std::size_t offset = 0;  // into the page
        std::size_t length = 0;
        long long number = 0;    // the block after the run (0: none, the page's end)
        TagKind kind = TagKind::Object;
        bool fallback = false;   // the block (up to the next run) again, in <noscript>
    };
    // A call of the object pass in the page the embed pass read, where it
    // stands written with number 0; it is written with its own number.
    struct CallPlace {
        std::size_t offset = 0;
        long long number = 0;
        TagKind kind = TagKind::Object;
    };

    void Clear(std::string_view page);
    void AddRun(std::size_t offset, std::size_t length) {
        runs_.push_back(Run{offset, length, 0, TagKind::Object});
        size_ += length;
    }
    void AddCall(TagKind kind, long long number);
    void AddFallback(std::size_t blockLength);  // to the last call
    // The size of the text with every number written as 0.
    std::size_t Size() const { return size_; }
    bool Empty() const { return runs_.empty(); }
    // True when a run of the page holds word (lower case, from '<') in any letter case.
    bool RunsContain(std::string_view word) const;
    // Calls emit with each piece in order; returns emit's first nonzero answer.
    int Emit(const std::function<int(std::string_view)>& emit, long long numberBase = 0) const;
    std::string Joined(long long numberBase = 0) const;
    // The text with every call's number written as 0, for the next pass;
    // places receives where the calls stand in it.
    std::string JoinedForNextPass(std::vector<CallPlace>& places) const;
    void SetCallPlaces(std::vector<CallPlace> places) { places_ = std::move(places); }
    // A moved block held a call of an earlier pass: the texts hold the
    // numbers as they were counted, and no other first number will do.
    bool NumbersInBlocks() const { return numbersInBlocks_; }
    void SetNumbersInBlocks() { numbersInBlocks_ = true; }

private:
    int EmitPage(std::size_t from, std::size_t to, long long numberBase,
                 const std::function<int(std::string_view)>& emit) const;

    std::string_view page_;
    std::vector<Run> runs_;
    std::vector<CallPlace> places_;  // in offset order
    std::size_t size_ = 0;
    bool numbersInBlocks_ = false;
};

// Both passes, object blocks first, then embed blocks of the result. out
// receives the converted page as pieces that view into page (which the
// rewrite may replace by the object pass's result) and into out itself.
// Returns the number of blocks replaced; out is empty when it is 0.
long long RewriteText(std::string& page, long long& functionCount, BlockSink& sink, const RewriteOptions& options,
                      PagePieces& out);

// The same, with page becoming the converted page.
long long RewriteText(std::string& page, long long& functionCount, BlockSink& sink, const RewriteOptions& options);
long long RewriteText(std::string& page, long long& functionCount, BlockSink& sink, bool anyCase = false);

}  // namespace tagshift

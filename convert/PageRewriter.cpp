#include "convert/PageRewriter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "convert/Texts.h"

namespace tagshift {

namespace {

constexpr std::size_t kNpos = std::string_view::npos;
constexpr std::string_view kNoscriptOpen = "<noscript>";
constexpr std::string_view kNoscriptClose = "</noscript>";

std::size_t Find(std::string_view text, std::string_view needle, std::size_t from) {
    return text.find(needle, from);
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// word (lower case) stands at at of text, in any letter case.
bool StandsAnyCase(std::string_view text, std::size_t at, std::string_view word) {
    if (at > text.size() || text.size() - at < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (Lower(text[at + i]) != word[i]) return false;
    return true;
}

// Finds the first '<' of a text from an offset whose next byte may be one
// of letters (each lower case, or a byte that letter case does not change).
// Bytes are compared with their 0x20 bit set, so every tag that opens with
// one of letters, in either letter case, is found; what else is found (a
// byte that differs from a letter in that bit alone) is told apart by the
// caller. Sixteen bytes at a time: most '<' open tags nobody asks for, and
// the scan does not stop at them. A '<' at the end of text is not found.
// Made once for a pass, which stops many times.
template <std::size_t Count>
class TagStartFinder {
public:
    explicit TagStartFinder(const std::array<char, Count>& letters) {
        for (std::size_t i = 0; i < Count; ++i) {
            folded_[i] = static_cast<unsigned char>(letters[i] | 0x20);
            for (int lane = 0; lane < 16; ++lane) lanes_[i][lane] = folded_[i];
        }
    }

    std::size_t Find(std::string_view text, std::size_t from) const {
        std::size_t at = from;
        for (; at + 17 <= text.size(); at += 16) {
            Lanes bytes, next;
            std::memcpy(&bytes, text.data() + at, 16);
            std::memcpy(&next, text.data() + at + 1, 16);
            const Lanes lt = bytes == '<';  // 0xFF where true
            Words ltWords;
            std::memcpy(&ltWords, &lt, 16);
            if ((ltWords[0] | ltWords[1]) == 0) continue;
            next |= 0x20;
            Lanes wanted = next == lanes_[0];
            for (std::size_t i = 1; i < Count; ++i) wanted |= next == lanes_[i];
            const Lanes hits = lt & wanted;
            Words hitWords;
            std::memcpy(&hitWords, &hits, 16);
            if (hitWords[0]) return at + static_cast<std::size_t>(__builtin_ctzll(hitWords[0]) >> 3);
            if (hitWords[1]) return at + 8 + static_cast<std::size_t>(__builtin_ctzll(hitWords[1]) >> 3);
        }
        for (; at + 1 < text.size(); ++at) {
            if (text[at] != '<') continue;
            const unsigned char next = static_cast<unsigned char>(text[at + 1] | 0x20);
            for (unsigned char letter : folded_)
                if (next == letter) return at;
        }
        return kNpos;
    }

private:
    typedef unsigned char Lanes __attribute__((vector_size(16)));
    typedef std::uint64_t Words __attribute__((vector_size(16)));
    Lanes lanes_[Count];
    unsigned char folded_[Count];
};

// The first needle (lower case, starting with '<') from from, in any letter case.
std::size_t FindAnyCase(std::string_view text, std::string_view needle, std::size_t from) {
    const TagStartFinder<1> finder({needle[1]});
    while (from < text.size()) {
        const std::size_t at = finder.Find(text, from);
        if (at == kNpos) return kNpos;
        if (StandsAnyCase(text, at, needle)) return at;
        from = at + 1;
    }
    return kNpos;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

// Line ends in [from, to): every LF, and every CR that no LF follows (the
// byte after to counts, as in the page). Sixteen bytes at a time: the LFs,
// the CRs, and the CRs an LF follows (the bytes one on, so that a pair
// across two blocks of sixteen counts too), each lane counting up to 255.
long long CountLineEnds(std::string_view text, std::size_t from, std::size_t to) {
    typedef unsigned char Lanes __attribute__((vector_size(16)));
    long long count = 0;
    std::size_t at = from;
    while (at + 17 <= to) {
        Lanes lineEnds = {};  // LF + CR - CR LF, per lane
        for (int round = 0; round < 255 && at + 17 <= to; ++round, at += 16) {
            Lanes bytes, next;
            std::memcpy(&bytes, text.data() + at, 16);
            std::memcpy(&next, text.data() + at + 1, 16);
            const Lanes cr = bytes == '\r';  // 0xFF where true
            lineEnds -= (bytes == '\n') + (cr & ~(next == '\n'));  // -(-1) for each line end
        }
        for (int lane = 0; lane < 16; ++lane) count += lineEnds[lane];
    }
    for (; at < to; ++at)
        if (text[at] == '\n' || (text[at] == '\r' && (at + 1 >= text.size() || text[at + 1] != '\n'))) ++count;
    return count;
}

// Elements whose content is not markup, with the start of their end tag.
struct RawElement {
    std::string_view name;     // lower case, after the '<'
    std::string_view endTagText;   // "</script"
    LeftAloneReason why;
};
const RawElement kRawElements[] = {
    {"script", "</script", LeftAloneReason::InsideScript},
    {"style", "</style", LeftAloneReason::InsideStyle},
    {"textarea", "</textarea", LeftAloneReason::InsideTextarea},
    {"title", "</title", LeftAloneReason::InsideTitle},
    {"noscript", "</noscript", LeftAloneReason::InsideNoscript},
};

// Line numbers of offsets asked for in increasing order, counted forward
// from the last one asked for; and the offsets in the page as it was read
// before an earlier pass replaced blocks.
class LineCounter {
public:
    LineCounter(std::string_view text, const std::vector<TakenLines>* takenBefore) : text_(text), takenBefore_(takenBefore) {}

    long long LineOf(std::size_t offset) {
        line_ += CountLineEnds(text_, at_, offset);
        at_ = offset;
        if (takenBefore_) {
            while (takenIndex_ < takenBefore_->size() && (*takenBefore_)[takenIndex_].offset <= offset) {
                line_ += (*takenBefore_)[takenIndex_].lineEnds;
                growth_ += (*takenBefore_)[takenIndex_++].growth;
            }
        }
        return line_;
    }

    BlockPlace PlaceOf(std::size_t offset) {
        const long long line = LineOf(offset);
        return BlockPlace{line, static_cast<std::size_t>(static_cast<long long>(offset) - growth_)};
    }

private:
    std::string_view text_;
    const std::vector<TakenLines>* takenBefore_;
    std::size_t takenIndex_ = 0;
    std::size_t at_ = 0;
    long long line_ = 1;
    long long growth_ = 0;
};

// The end of a void tag: the first '>' outside quoted values. A walk that
// finds none marks the states it went through, and a later walk that meets
// one of them stops there, so all walks of a page together stay linear.
class VoidTagEnd {
public:
    explicit VoidTagEnd(std::string_view text) : text_(text) {}

    std::size_t Find(std::size_t from) {
        const std::size_t end = Walk(from, false);
        if (end == kNpos) Walk(from, true);
        return end;
    }

private:
    enum State : unsigned char { Plain, AfterEquals, InDouble, InSingle };

    std::size_t Walk(std::size_t from, bool mark) {
        if (mark && dead_.empty()) dead_.assign(text_.size(), 0);
        State state = Plain;
        for (std::size_t i = from; i < text_.size(); ++i) {
            const unsigned char bit = static_cast<unsigned char>(1u << state);
            if (!dead_.empty()) {
                if (dead_[i] & bit) return kNpos;
                if (mark) dead_[i] |= bit;
            }
            const char c = text_[i];
            switch (state) {
                case Plain:
                    if (c == '>') return i;
                    if (c == '=') state = AfterEquals;
                    break;
                case AfterEquals:
                    if (c == '>') return i;
                    if (c == '"') state = InDouble;
                    else if (c == '\'') state = InSingle;
                    else if (c != '=' && !IsSpace(c)) state = Plain;
                    break;
                case InDouble:
                    if (c == '"') state = Plain;
                    break;
                case InSingle:
                    if (c == '\'') state = Plain;
                    break;
            }
        }
        return kNpos;
    }

    std::string_view text_;
    std::vector<unsigned char> dead_;  // per byte, one bit per State of walks that found nothing
};

}  // namespace

const char* LeftAloneText(LeftAloneReason why) {
    switch (why) {
        case LeftAloneReason::CapitalLetters: return texts::kWhyCapitalLetters;
        case LeftAloneReason::NoClosingTag: return "no closing tag";
        case LeftAloneReason::InsideScript: return "inside a script";
        case LeftAloneReason::InsideStyle: return "inside a style";
        case LeftAloneReason::InsideTextarea: return "inside a textarea";
        case LeftAloneReason::InsideTitle: return "inside a title";
        case LeftAloneReason::InsideNoscript: return "inside a noscript";
        case LeftAloneReason::InsideComment: return "inside a comment";
    }
    return "";
}

namespace {

// The include element and the call element that take a block's place.
template <typename Emit>
auto EmitCallText(TagKind kind, long long number, Emit emit) {
    const TagKindTexts& texts = KindTexts(kind);
    char digits[24];
    const auto digitsEnd = std::to_chars(digits, digits + sizeof digits, number);
    if (auto failed = emit(texts.includeTag)) return failed;
    if (auto failed = emit(texts.callStart)) return failed;
    if (auto failed = emit(std::string_view(digits, static_cast<std::size_t>(digitsEnd.ptr - digits)))) return failed;
    return emit(kCallEnd);
}

void AppendCallText(std::string& text, TagKind kind, long long number) {
    EmitCallText(kind, number, [&](std::string_view piece) {
        text += piece;
        return 0;
    });
}

std::size_t CallTextSize(TagKind kind, long long number) {
    std::size_t size = 0;
    EmitCallText(kind, number, [&](std::string_view piece) {
        size += piece.size();
        return 0;
    });
    return size;
}

// What a pass writes its page into: the page's text in one string, or the
// pieces that make it up.
class StringOutput {
public:
    explicit StringOutput(std::string& text) : text_(text) {}
    void Clear() { text_.clear(); }
    void Reserve(std::size_t size) { text_.reserve(size); }
    void Page(const char* bytes, std::size_t length) { text_.append(bytes, length); }
    void Call(TagKind kind, long long number) { AppendCallText(text_, kind, number); }
    void Fallback(std::string_view block) {
        text_ += kNoscriptOpen;
        text_ += block;
        text_ += kNoscriptClose;
    }
    std::size_t Size() const { return text_.size(); }

private:
    std::string& text_;
};

// A pass's output as runs of its page (see PagePieces).
class PieceOutput {
public:
    PieceOutput(PagePieces& pieces, std::string_view page) : pieces_(pieces), page_(page) {}
    void Clear() { pieces_.Clear(page_); }
    void Reserve(std::size_t) {}
    void Page(const char* bytes, std::size_t length) {
        pieces_.AddRun(static_cast<std::size_t>(bytes - page_.data()), length);
    }
    void Call(TagKind kind, long long number) { pieces_.AddCall(kind, number); }
    void Fallback(std::string_view block) { pieces_.AddFallback(block.size()); }
    std::size_t Size() const { return pieces_.Size(); }

private:
    PagePieces& pieces_;
    std::string_view page_;
};

template <typename Output>
long long ReplaceBlocksInto(std::string_view page, TagKind kind, long long& functionCount, Output& out,
                            BlockSink& sink, const PassOptions& options) {
    const TagKindTexts& texts = KindTexts(kind);
    // Both texts are lower case already.
    const std::string_view opening = texts.opening;
    const std::string_view closing = texts.closing;
    LineCounter lines(page, options.linesTakenBefore);
    VoidTagEnd voidEnd(page);
    if (options.linesTaken) options.linesTaken->clear();

    std::size_t fallbackIndex = 0;  // the first of fallbacksBefore that may still hold an offset asked for
    auto inOwnFallback = [&](std::size_t at) {
        if (!options.fallbacksBefore) return false;
        const std::vector<OutputRange>& ranges = *options.fallbacksBefore;
        while (fallbackIndex < ranges.size() && ranges[fallbackIndex].end <= at) ++fallbackIndex;
        return fallbackIndex < ranges.size() && ranges[fallbackIndex].begin <= at;
    };
    auto leaveAlone = [&](std::size_t at, LeftAloneReason why) {
        if (inOwnFallback(at)) return;
        sink.LeftAlone(kind, page.substr(at, opening.size()), lines.LineOf(at), why);
    };
    bool afterBody = false;  // the scan has met the page's first <body tag
    if (options.fallbacks) options.fallbacks->clear();
    // Every opening text (in any letter case) in [from, to) stays.
    auto leaveAllAlone = [&](std::size_t from, std::size_t to, LeftAloneReason why) {
        const std::string_view region = page.substr(0, to);
        for (std::size_t at = FindAnyCase(region, opening, from); at != kNpos;
             at = FindAnyCase(region, opening, at + 1))
            leaveAlone(at, why);
    };

    // The letters after '<' that the scan stops at: comments, the raw
    // elements, <body and the kind's own opening.
    const std::array<char, 6> tagLetters{'!', 's', 't', 'n', 'b', opening[1]};
    const TagStartFinder<6> tagStarts(tagLetters);
    out.Clear();
    long long blocks = 0;
    bool noClosing = false;  // no closing text is left in the rest of the page
    std::size_t copied = 0;  // everything before this offset is in out
    std::size_t at = 0;      // where the search goes on
    while (at < page.size()) {
        const std::size_t lt = tagStarts.Find(page, at);
        if (lt == kNpos) break;
        at = lt + 1;
        // A stop may still be another tag (a byte one bit from a letter):
        // the letter itself tells, before any longer comparison.
        if (std::find(tagLetters.begin(), tagLetters.end(), Lower(page[at])) == tagLetters.end()) continue;

        if (StandsAnyCase(page, lt, "<!--")) {
            // IE reads what stands in a conditional comment, so it is markup.
            if (StandsAnyCase(page, lt, "<!--[if")) continue;
            // The end may share the comment's own dashes: <!--> and <!---> are whole comments.
            const std::size_t dashes = Find(page, "-->", lt + 2);
            const std::size_t end = dashes == kNpos ? page.size() : dashes + 3;
            leaveAllAlone(lt + 4, end, LeftAloneReason::InsideComment);
            at = end;
            continue;
        }
        const RawElement* rawElement = nullptr;
        for (const RawElement& raw : kRawElements) {
            const std::size_t after = lt + 1 + raw.name.size();
            if (StandsAnyCase(page, lt + 1, raw.name) && after < page.size() &&
                (IsSpace(page[after]) || page[after] == '/' || page[after] == '>')) {
                rawElement = &raw;
                break;
            }
        }
        if (rawElement) {
            const std::size_t content = lt + 1 + rawElement->name.size();
            const std::size_t endTag = FindAnyCase(page, rawElement->endTagText, content);
            const std::size_t end = endTag == kNpos ? page.size() : endTag;
            leaveAllAlone(content, end, rawElement->why);
            at = end;
            continue;
        }
        if (!afterBody && StandsAnyCase(page, lt, "<body") &&
            (lt + 5 >= page.size() || IsSpace(page[lt + 5]) || page[lt + 5] == '>' || page[lt + 5] == '/'))
            afterBody = true;
        if (!StandsAnyCase(page, lt, opening)) continue;
        if (!options.anyCase && page.compare(lt, opening.size(), opening) != 0) {
            leaveAlone(lt, LeftAloneReason::CapitalLetters);
            continue;
        }

        std::size_t end = kNpos;
        if (!noClosing) {
            const std::size_t from = lt + opening.size();
            const std::size_t closeAt =
                options.anyCase ? FindAnyCase(page, closing, from) : Find(page, closing, from);
            if (closeAt == kNpos) noClosing = true;
            else end = closeAt + closing.size();
        }
        if (end == kNpos && kind == TagKind::Embed) {
            const std::size_t gt = voidEnd.Find(lt + opening.size());
            if (gt != kNpos) end = gt + 1;
        }
        if (end == kNpos) {
            leaveAlone(lt, LeftAloneReason::NoClosingTag);
            continue;
        }

        if (blocks == 0) out.Reserve(page.size() + 128);
        ++blocks;
        ++functionCount;
        BlockPlace place = lines.PlaceOf(lt);
        place.fallback = options.noscriptFallback && afterBody;
        out.Page(page.data() + copied, lt - copied);
        const std::size_t callStart = out.Size();
        out.Call(kind, functionCount);
        long long lineEnds = CountLineEnds(page, lt, end);
        if (place.fallback) {
            const std::size_t fallbackStart = out.Size();
            out.Fallback(page.substr(lt, end - lt));
            if (options.fallbacks) options.fallbacks->push_back(OutputRange{fallbackStart, out.Size()});
            // The copy's line ends are in the output, where a later pass
            // counts them itself (a block ends in '>', never in a CR that
            // an LF after it would join).
            lineEnds = 0;
        }
        if (options.linesTaken)
            options.linesTaken->push_back(TakenLines{out.Size(), lineEnds,
                                                     static_cast<long long>(out.Size() - callStart) -
                                                         static_cast<long long>(end - lt)});
        sink.Add(kind, functionCount, page.substr(lt, end - lt), place);
        copied = at = end;
    }
    if (blocks > 0) out.Page(page.data() + copied, page.size() - copied);
    return blocks;
}

}  // namespace

long long ReplaceBlocks(std::string_view page, TagKind kind, long long& functionCount, std::string& out,
                        BlockSink& sink, const PassOptions& options) {
    StringOutput output(out);
    return ReplaceBlocksInto(page, kind, functionCount, output, sink, options);
}

void PagePieces::Clear(std::string_view page) {
    page_ = page;
    runs_.clear();
    places_.clear();
    size_ = 0;
    numbersInBlocks_ = false;
}

void PagePieces::AddFallback(std::size_t blockLength) {
    runs_.back().fallback = true;
    size_ += kNoscriptOpen.size() + blockLength + kNoscriptClose.size();
}

void PagePieces::AddCall(TagKind kind, long long number) {
    if (runs_.empty() || runs_.back().number != 0) AddRun(0, 0);
    runs_.back().number = number;
    runs_.back().kind = kind;
    size_ += CallTextSize(kind, 0);
}

bool PagePieces::RunsContain(std::string_view word) const {
    for (const Run& run : runs_)
        if (FindAnyCase(page_.substr(run.offset, run.length), word, 0) != kNpos) return true;
    return false;
}

// The page's bytes [from, to), each call of an earlier pass in them with its number.
int PagePieces::EmitPage(std::size_t from, std::size_t to, long long numberBase,
                         const std::function<int(std::string_view)>& emit) const {
    auto place = std::lower_bound(places_.begin(), places_.end(), from,
                                  [](const CallPlace& p, std::size_t at) { return p.offset < at; });
    for (; place != places_.end() && place->offset < to; ++place) {
        if (place->offset > from)
            if (int failed = emit(page_.substr(from, place->offset - from))) return failed;
        if (int failed = EmitCallText(place->kind, place->number + numberBase, emit)) return failed;
        from = place->offset + CallTextSize(place->kind, 0);
    }
    if (to > from) return emit(page_.substr(from, to - from));
    return 0;
}

int PagePieces::Emit(const std::function<int(std::string_view)>& emit, long long numberBase) const {
    for (std::size_t i = 0; i < runs_.size(); ++i) {
        const Run& run = runs_[i];
        if (int failed = EmitPage(run.offset, run.offset + run.length, numberBase, emit)) return failed;
        if (run.number > 0)
            if (int failed = EmitCallText(run.kind, run.number + numberBase, emit)) return failed;
        if (run.fallback) {
            // The block stands between this run and the next one.
            const std::size_t block = run.offset + run.length;
            if (int failed = emit(kNoscriptOpen)) return failed;
            if (int failed = EmitPage(block, runs_[i + 1].offset, numberBase, emit)) return failed;
            if (int failed = emit(kNoscriptClose)) return failed;
        }
    }
    return 0;
}

std::string PagePieces::Joined(long long numberBase) const {
    std::string text;
    text.reserve(size_ + 16 * runs_.size());
    Emit(
        [&](std::string_view piece) {
            text += piece;
            return 0;
        },
        numberBase);
    return text;
}

std::string PagePieces::JoinedForNextPass(std::vector<CallPlace>& places) const {
    places.clear();
    std::string text;
    text.reserve(size_);
    for (std::size_t i = 0; i < runs_.size(); ++i) {
        const Run& run = runs_[i];
        text.append(page_.data() + run.offset, run.length);
        if (run.number > 0) {
            places.push_back(CallPlace{text.size(), run.number, run.kind});
            AppendCallText(text, run.kind, 0);
        }
        if (run.fallback) {
            const std::size_t block = run.offset + run.length;
            text += kNoscriptOpen;
            text.append(page_.data() + block, runs_[i + 1].offset - block);
            text += kNoscriptClose;
        }
    }
    return text;
}

namespace {

// Holds what a pass tells, to be told on only if no moved block holds one
// of the calls an earlier pass left (which stand there without their
// numbers): then the pass is done again over the page as numbered.
class HeldSink : public BlockSink {
public:
    HeldSink(const std::vector<PagePieces::CallPlace>& places, std::string_view page) : places_(places), page_(page) {}
    void Add(TagKind kind, long long number, std::string_view block, const BlockPlace& place) override {
        const std::size_t begin = static_cast<std::size_t>(block.data() - page_.data());
        auto call = std::lower_bound(places_.begin(), places_.end(), begin,
                                     [&](const PagePieces::CallPlace& p, std::size_t at) {
                                         return p.offset + CallTextSize(p.kind, 0) <= at;
                                     });
        if (call != places_.end() && call->offset < begin + block.size()) holdsCalls_ = true;
        events_.push_back(Event{true, kind, number, block, place, {}});
    }
    void LeftAlone(TagKind kind, std::string_view opening, long long line, LeftAloneReason why) override {
        BlockPlace place;
        place.line = line;
        events_.push_back(Event{false, kind, 0, opening, place, why});
    }
    bool HoldsCalls() const { return holdsCalls_; }
    void TellTo(BlockSink& sink) const {
        for (const Event& event : events_) {
            if (event.added) sink.Add(event.kind, event.number, event.text, event.place);
            else sink.LeftAlone(event.kind, event.text, event.place.line, event.why);
        }
    }

private:
    struct Event {
        bool added;
        TagKind kind;
        long long number;
        std::string_view text;
        BlockPlace place;
        LeftAloneReason why;
    };
    const std::vector<PagePieces::CallPlace>& places_;
    std::string_view page_;
    std::vector<Event> events_;
    bool holdsCalls_ = false;
};

}  // namespace

// Both passes, object blocks first, then embed blocks of the result. The
// embed pass needs the object pass's result as one text only when the page
// has embed openings outside its object blocks; otherwise the object pass's
// pieces are the page (the embed pass would find nothing in them), and a
// page without object blocks goes to the embed pass as it was read. The
// object pass's calls stand in that text with the number 0, each as long as
// any other (the embed pass skips script elements, whatever their
// content): its result does not depend on the numbers, unless an embed
// block takes in one of those calls.
long long RewriteText(std::string& page, long long& functionCount, BlockSink& sink, const RewriteOptions& rewrite,
                      PagePieces& out) {
    std::vector<TakenLines> taken;
    std::vector<OutputRange> fallbacks;
    PassOptions options;
    options.anyCase = rewrite.anyCase;
    options.noscriptFallback = rewrite.noscriptFallback;
    options.linesTaken = &taken;
    options.fallbacks = &fallbacks;
    PieceOutput objectOutput(out, page);
    const long long objects = ReplaceBlocksInto(page, TagKind::Object, functionCount, objectOutput, sink, options);
    options.linesTaken = nullptr;
    options.fallbacks = nullptr;
    if (objects == 0) {
        PieceOutput embedOutput(out, page);
        return ReplaceBlocksInto(page, TagKind::Embed, functionCount, embedOutput, sink, options);
    }
    if (!out.RunsContain(KindTexts(TagKind::Embed).opening)) return objects;
    std::vector<PagePieces::CallPlace> places;
    std::string original;
    {
        std::string joined = out.JoinedForNextPass(places);
        original.swap(page);
        page.swap(joined);
    }
    options.linesTakenBefore = &taken;
    options.fallbacksBefore = &fallbacks;
    const long long countAfterObjects = functionCount;
    PieceOutput embedOutput(out, page);
    HeldSink held(places, page);
    const long long embeds = ReplaceBlocksInto(page, TagKind::Embed, functionCount, embedOutput, held, options);
    if (!held.HoldsCalls()) {
        std::string().swap(original);
        held.TellTo(sink);
        if (embeds == 0) {
            out.Clear(page);
            out.AddRun(0, page.size());
        }
        out.SetCallPlaces(std::move(places));
        return objects + embeds;
    }
    // An embed block takes in an object call: the embed pass reads the
    // object pass's result as numbered, and the page keeps those numbers.
    // The object pass is done again for that text alone (its blocks were
    // told already).
    class Unheard : public BlockSink {
        void Add(TagKind, long long, std::string_view, const BlockPlace&) override {}
    } unheard;
    long long count = countAfterObjects - objects;
    std::string numbered;
    options.linesTakenBefore = nullptr;
    options.fallbacksBefore = nullptr;
    options.linesTaken = &taken;
    options.fallbacks = &fallbacks;
    ReplaceBlocks(original, TagKind::Object, count, numbered, unheard, options);
    std::string().swap(original);
    page.swap(numbered);
    std::string().swap(numbered);
    options.linesTaken = nullptr;
    options.fallbacks = nullptr;
    options.linesTakenBefore = &taken;
    options.fallbacksBefore = &fallbacks;
    functionCount = countAfterObjects;
    PieceOutput numberedOutput(out, page);
    const long long numberedEmbeds =
        ReplaceBlocksInto(page, TagKind::Embed, functionCount, numberedOutput, sink, options);
    if (numberedEmbeds == 0) {
        out.Clear(page);
        out.AddRun(0, page.size());
    }
    out.SetNumbersInBlocks();
    return objects + numberedEmbeds;
}

long long RewriteText(std::string& page, long long& functionCount, BlockSink& sink, const RewriteOptions& options) {
    PagePieces pieces;
    const long long blocks = RewriteText(page, functionCount, sink, options, pieces);
    if (blocks > 0) page = pieces.Joined();
    return blocks;
}

long long RewriteText(std::string& page, long long& functionCount, BlockSink& sink, bool anyCase) {
    return RewriteText(page, functionCount, sink, RewriteOptions{anyCase, false});
}

}  // namespace tagshift

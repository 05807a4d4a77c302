#include "convert/PageRewriter.h"

#include <charconv>
#include <cstring>
#include <deque>

namespace tagshift {

namespace {

constexpr std::size_t kNpos = std::string_view::npos;

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

// The first needle (lower case, starting with '<') from from, in any letter case.
std::size_t FindAnyCase(std::string_view text, std::string_view needle, std::size_t from) {
    while (from < text.size()) {
        const void* ltPointer = std::memchr(text.data() + from, '<', text.size() - from);
        if (!ltPointer) return kNpos;
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(ltPointer) - text.data());
        if (StandsAnyCase(text, at, needle)) return at;
        from = at + 1;
    }
    return kNpos;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

long long CountLineEnds(std::string_view text, std::size_t from, std::size_t to) {
    long long count = 0;
    for (std::size_t i = from; i < to; ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) ++count;
    }
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
        case LeftAloneReason::CapitalLetters: return "capital letters";
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

// What a pass writes its page into: the page's text in one string, or the
// pieces that make it up.
class StringOutput {
public:
    explicit StringOutput(std::string& text) : text_(text) {}
    void Clear() { text_.clear(); }
    void Reserve(std::size_t size) { text_.reserve(size); }
    void Page(const char* bytes, std::size_t length) { text_.append(bytes, length); }
    void Text(std::string_view text) { text_ += text; }
    void Number(std::string_view digits) { text_ += digits; }
    std::size_t Size() const { return text_.size(); }

private:
    std::string& text_;
};

// A pass's output as pieces (see PagePieces).
class PieceOutput {
public:
    explicit PieceOutput(PagePieces& pieces) : pieces_(pieces) {}
    void Clear() { pieces_.Clear(); }
    void Reserve(std::size_t) {}
    void Page(const char* bytes, std::size_t length) { pieces_.View(std::string_view(bytes, length)); }
    void Text(std::string_view text) { pieces_.View(text); }  // the kinds' texts: static
    void Number(std::string_view digits) { pieces_.Copy(digits); }
    std::size_t Size() const { return pieces_.Size(); }

private:
    PagePieces& pieces_;
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

    auto leaveAlone = [&](std::size_t at, LeftAloneReason why) {
        sink.LeftAlone(kind, page.substr(at, opening.size()), lines.LineOf(at), why);
    };
    // Every opening text (in any letter case) in [from, to) stays.
    auto leaveAllAlone = [&](std::size_t from, std::size_t to, LeftAloneReason why) {
        const std::string_view region = page.substr(0, to);
        for (std::size_t at = FindAnyCase(region, opening, from); at != kNpos;
             at = FindAnyCase(region, opening, at + 1))
            leaveAlone(at, why);
    };

    out.Clear();
    long long blocks = 0;
    bool noClosing = false;  // no closing text is left in the rest of the page
    std::size_t copied = 0;  // everything before this offset is in out
    std::size_t at = 0;      // where the search goes on
    while (at < page.size()) {
        const void* ltPointer = std::memchr(page.data() + at, '<', page.size() - at);
        if (!ltPointer) break;
        const std::size_t lt = static_cast<std::size_t>(static_cast<const char*>(ltPointer) - page.data());
        at = lt + 1;

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
        const BlockPlace place = lines.PlaceOf(lt);
        out.Page(page.data() + copied, lt - copied);
        const std::size_t callStart = out.Size();
        out.Text(texts.includeTag);
        out.Text(texts.callStart);
        char digits[24];
        auto digitsEnd = std::to_chars(digits, digits + sizeof digits, functionCount);
        out.Number(std::string_view(digits, static_cast<std::size_t>(digitsEnd.ptr - digits)));
        out.Text(kCallEnd);
        if (options.linesTaken)
            options.linesTaken->push_back(TakenLines{out.Size(), CountLineEnds(page, lt, end),
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

void PagePieces::Clear() {
    pieces_.clear();
    copies_.clear();
    size_ = 0;
}

void PagePieces::View(std::string_view bytes) {
    if (bytes.empty()) return;
    pieces_.push_back(bytes);
    size_ += bytes.size();
}

void PagePieces::Copy(std::string_view bytes) {
    // Copies share blocks of storage that never grow past their capacity,
    // so that a view into one stays where it is.
    if (copies_.empty() || copies_.back().size() + bytes.size() > copies_.back().capacity()) {
        copies_.emplace_back();
        copies_.back().reserve(std::max<std::size_t>(4096, bytes.size()));
    }
    std::string& block = copies_.back();
    const std::size_t at = block.size();
    block += bytes;
    View(std::string_view(block).substr(at));
}

bool PagePieces::ViewsOfContain(std::string_view page, std::string_view word) const {
    for (const std::string_view piece : pieces_)
        if (piece.data() >= page.data() && piece.data() < page.data() + page.size() &&
            FindAnyCase(piece, word, 0) != kNpos)
            return true;
    return false;
}

std::string PagePieces::Joined() const {
    std::string text;
    text.reserve(size_);
    for (const std::string_view piece : pieces_) text += piece;
    return text;
}

// Both passes, object blocks first, then embed blocks of the result. The
// embed pass needs the object pass's result as one text only when the page
// has embed openings outside its object blocks; otherwise the object pass's
// pieces are the page (the embed pass would find nothing in them), and a
// page without object blocks goes to the embed pass as it was read.
long long RewriteText(std::string& page, long long& functionCount, BlockSink& sink, bool anyCase, PagePieces& out) {
    std::vector<TakenLines> taken;
    PassOptions options;
    options.anyCase = anyCase;
    options.linesTaken = &taken;
    PieceOutput output(out);
    const long long objects = ReplaceBlocksInto(page, TagKind::Object, functionCount, output, sink, options);
    options.linesTaken = nullptr;
    if (objects > 0) {
        if (!out.ViewsOfContain(page, KindTexts(TagKind::Embed).opening)) return objects;
        std::string next = out.Joined();
        out.Clear();
        page.swap(next);
        std::string().swap(next);  // give the old text's memory back before the next pass
        options.linesTakenBefore = &taken;
    }
    const long long embeds = ReplaceBlocksInto(page, TagKind::Embed, functionCount, output, sink, options);
    if (embeds == 0 && objects > 0) out.View(page);
    return objects + embeds;
}

long long RewriteText(std::string& page, long long& functionCount, BlockSink& sink, bool anyCase) {
    PagePieces pieces;
    const long long blocks = RewriteText(page, functionCount, sink, anyCase, pieces);
    if (blocks > 0) page = pieces.Joined();
    return blocks;
}

}  // namespace tagshift

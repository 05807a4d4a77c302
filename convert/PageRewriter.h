// The in-memory part of a page rewrite: finding the blocks of a tag kind and
// putting the include and call elements in their place.
#pragma once

#include <string>
#include <string_view>

#include "convert/ScriptFiles.h"

namespace tagshift {

// Receives every block that a pass cuts out, in page order.
class BlockSink {
public:
    virtual ~BlockSink() = default;
    virtual void Add(TagKind eKind, long long iNumber, std::string_view sBlock) = 0;
};

// One forward pass over sPage for one tag kind. A block runs from the
// opening text to the first closing text after it; each one is numbered with
// ++iFunctionCount, handed to oSink and replaced in sOut by the include tag
// and the call tag. An opening text with no closing text after it ends the
// pass: it and everything after it stay as they are. Text outside the blocks
// is copied byte for byte. Returns the number of blocks replaced; when it is
// 0, sOut is left empty.
long long ReplaceBlocks(std::string_view sPage, TagKind eKind, long long& iFunctionCount, std::string& sOut,
                        BlockSink& oSink);

// Both passes, object blocks first, then embed blocks of the result. sPage
// becomes the converted page. Returns the number of blocks replaced.
long long RewriteText(std::string& sPage, long long& iFunctionCount, BlockSink& oSink);

}  // namespace tagshift

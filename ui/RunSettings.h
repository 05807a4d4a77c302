// What a run from the window is asked to do, as the window's controls set it.
#pragma once

#include <string>

#include "convert/Texts.h"

namespace tagshift::ui {

// The pattern list (the hidden pattern box's text) and the two switches of
// the "File types" dialog. They last while the program runs; none is saved.
struct RunSettings {
    std::string patterns = tagshift::texts::kDefaultPatterns;
    bool anyCase = false;   // page names and tags match in any letter case
    bool noscript = false;  // each block of the body also stays, in a <noscript> after its call
    bool operator==(const RunSettings& o) const {
        return patterns == o.patterns && anyCase == o.anyCase && noscript == o.noscript;
    }
};

}  // namespace tagshift::ui

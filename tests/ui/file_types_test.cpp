// The "File types" dialog's behaviour, and what the main window does with it.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "tests/ui/FakeFace.h"

namespace tagshift::ui::testing {
namespace {

using F = FileTypesControl;

// A user's act in the dialog: typing a whole list, ticking a box, a button.
struct Act {
    F control;
    std::string text = {};
    bool on = false;
};

void Play(FileTypesDialog& dialog, const std::vector<Act>& acts) {
    for (const Act& act : acts) {
        if (act.control == F::Patterns)
            dialog.PatternsEdited(act.text);
        else if (act.control == F::AnyCase || act.control == F::Noscript)
            dialog.Toggled(act.control, act.on);
        else
            dialog.Activate(act.control);
    }
}

TEST(FileTypesDialog, OkTakesTheFieldsCancelNothingAndAnUnusableListIsRefused) {
    struct Case {
        const char* name;
        RunSettings before;
        std::vector<Act> acts;
        bool accepted;
        RunSettings after;  // the fields at the end
        std::vector<std::string> errors;
        std::string warning;  // at the end
        std::string status;
    };
    const std::string kDefault = "*.htm;*.html;*.php;*.php3;*.asp;*.aspx";
    const std::vector<Case> cases = {
        {"OK as it opened", {}, {{F::Ok}}, true, {}, {}, "", ""},
        {"a list of one's own, capitals on",
         {},
         {{F::Patterns, "*.cfm;*.HTM"}, {F::AnyCase, "", true}, {F::Ok}},
         true,
         {"*.cfm;*.HTM", true, false},
         {},
         "",
         "Progress: File types: *.cfm;*.HTM"},
        {"Cancel", {}, {{F::Patterns, "*.cfm"}, {F::Noscript, "", true}, {F::Cancel}}, false, {"*.cfm", false, true}, {}, "", ""},
        {"an empty list is refused until one is typed",
         {},
         {{F::Patterns, ""}, {F::Ok}, {F::Patterns, "*.jsp"}, {F::Ok}},
         true,
         {"*.jsp", false, false},
         {"Error: You must select a pattern..."},
         "",
         "Progress: File types: *.jsp"},
        {"pieces too short to select anything are no list",
         {},
         {{F::Patterns, ";*;x"}, {F::Ok}},
         false,
         {";*;x", false, false},
         {"Error: You must select a pattern..."},
         "`*` selects nothing; did you mean `*.`?\n`x` selects nothing; did you mean `*.x`?",
         ""},
        {"a piece without *. is warned of, not refused",
         {},
         {{F::Patterns, "*.htm;html;"}, {F::Ok}},
         true,
         {"*.htm;html;", false, false},
         {},
         "`html` selects every name that ends in `ml`; did you mean `*.html`?",
         "Progress: File types: *.htm;html;"},
        {"Restore defaults, then OK", {"*.cfm", true, true}, {{F::Restore}, {F::Ok}}, true, {kDefault, false, false}, {}, "", ""},
    };
    for (const Case& c : cases) {
        FileTypesDialog dialog(c.before);
        FakeFileTypesView view;
        dialog.Shown(view);
        EXPECT_EQ(view.patterns, c.before.patterns) << c.name;
        EXPECT_EQ(view.focus, F::Patterns) << c.name;
        Play(dialog, c.acts);
        EXPECT_EQ(dialog.Accepted(), c.accepted) << c.name;
        EXPECT_EQ(view.closed, c.errors.empty() || c.accepted ? 1 : 0) << c.name;
        EXPECT_EQ(dialog.Settings(), c.after) << c.name;
        EXPECT_EQ(view.errors, c.errors) << c.name;
        EXPECT_EQ(view.warning, c.warning) << c.name;
        EXPECT_EQ(dialog.StatusText(), c.status) << c.name;
    }
    // What Restore defaults shows.
    FileTypesDialog dialog(RunSettings{"html", true, true});
    FakeFileTypesView view;
    dialog.Shown(view);
    EXPECT_FALSE(view.warning.empty());
    dialog.Activate(F::Restore);
    EXPECT_EQ(view.patterns, kDefault);
    EXPECT_EQ(view.checked, (std::map<F, bool>{{F::AnyCase, false}, {F::Noscript, false}}));
    EXPECT_EQ(view.warning, "");
}

TEST(FileTypesDialog, TheWindowsLinkOpensItAndOkSetsTheNextRuns) {
    struct Case {
        F button;
        RunSettings settings;
        std::string patternBox, status;
        long long pagesConverted;
    };
    const std::vector<Case> cases = {
        {F::Ok, {"*.HTM", true, true}, "*.HTM", "Progress: File types: *.HTM", 1},
        {F::Cancel, {}, "", "", 0},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        const std::string site = dir / "site";
        test::WriteFile(site + test::Native("/PAGE.HTM"), "<body><OBJECT></OBJECT>");
        FakeFace face;
        MainWindow window(face, face);
        face.SetFocus(ControlId::FileTypesLabel);
        face.onFileTypes = [&](FileTypesDialog& dialog) {
            FakeFileTypesView view;
            dialog.Shown(view);
            Play(dialog, {{F::Patterns, "*.HTM"}, {F::AnyCase, "", true}, {F::Noscript, "", true}, {c.button}});
        };
        window.Activate(ControlId::FileTypesLabel);
        EXPECT_EQ(face.fileTypesShown, 1);
        EXPECT_EQ(window.Settings(), c.settings);
        EXPECT_EQ(face.texts[ControlId::PatternBox], c.patternBox);
        EXPECT_EQ(face.texts[ControlId::StatusLine], c.status);
        EXPECT_EQ(face.focus, ControlId::FileTypesLabel);
        face.chooserAnswers.push_back(site);
        window.Activate(ControlId::FolderButton);
        window.Activate(ControlId::ConvertButton);
        EXPECT_EQ(window.LastResult().pagesConverted, c.pagesConverted);
        const bool fallback = c.pagesConverted && window.LastResult().pages.at(0).blocks.at(0).fallback;
        EXPECT_EQ(fallback, c.pagesConverted == 1);
    }
}

}  // namespace
}  // namespace tagshift::ui::testing

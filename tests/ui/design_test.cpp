// Rules every window design keeps, whatever its rows say.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>

#include "ui/Design.h"

namespace tagshift::ui {
namespace {

// The contrast ratio of two colours (1 to 21), as the accessibility
// guidelines define it.
double Linear(std::uint8_t channel) {
    const double c = channel / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(Colour colour) {
    return 0.2126 * Linear(colour.red) + 0.7152 * Linear(colour.green) + 0.0722 * Linear(colour.blue);
}

double ContrastRatio(Colour a, Colour b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(Design, TwipsBecomePixelsAtAnyResolution) {
    struct Case {
        int twips, dpi, pixels;
    };
    const std::vector<Case> cases = {{6900, 96, 460},  {4500, 96, 300},  {15, 96, 1},      {7, 96, 0}, {8, 96, 1},
                                     {6900, 144, 690}, {6900, 192, 920}, {5220, 120, 435}, {0, 96, 0}, {-15, 96, -1}};
    for (const Case& c : cases) EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " at " << c.dpi;
    EXPECT_DOUBLE_EQ(TextScale(8.25, 8.25), 1.0);
    EXPECT_DOUBLE_EQ(TextScale(16.5, 8.25), 2.0);
    EXPECT_DOUBLE_EQ(TextScale(40, 8.25), 2.0);
    EXPECT_DOUBLE_EQ(TextScale(6, 8.25), 1.0);
    EXPECT_NEAR(ContrastRatio(kBlack, kWhite), 21.0, 1e-9);
    EXPECT_NEAR(ContrastRatio(Colour{119, 119, 119}, kWhite), 4.48, 0.01);
}

TEST(Design, EveryControlAUserActsOnIsATabStopWithARoleAndANameInReadingOrder) {
    for (const WindowDesign* design : {&MainWindowDesign(), &DisclaimerDesign()}) {
        const std::vector<ControlId> order = TabOrder(*design);
        ASSERT_FALSE(order.empty()) << design->caption;
        // The tab order is the order in which the controls are read.
        std::vector<ControlId> read;
        for (const Control& control : design->controls)
            if (control.tabIndex >= 0) read.push_back(control.id);
        EXPECT_EQ(order, read) << design->caption;
        for (const Control& control : design->controls) {
            const bool acts =
                control.role == Role::Button || control.role == Role::Link || control.role == Role::CheckBox;
            EXPECT_EQ(acts, control.tabIndex >= 0) << control.name;
            if (!acts) continue;
            const char* name = control.accessibleName ? control.accessibleName : control.text;
            EXPECT_TRUE(name && *name) << control.name << " has no name";
            if (control.kind == ControlKind::Picture) {
                EXPECT_TRUE(control.accessibleDescription) << control.name;
            }
        }
    }
    EXPECT_EQ(TabOrder(MainWindowDesign()).front(), ControlId::FolderButton);
    EXPECT_EQ(TabOrder(DisclaimerDesign()).front(), ControlId::DontShowAgain);
}

TEST(Design, TextIsReadableAndStandsInItsWindow) {
    for (const WindowDesign* design : {&MainWindowDesign(), &DisclaimerDesign()}) {
        for (const Control& control : design->controls) {
            if (control.kind == ControlKind::TextBox) continue;  // the hidden pattern box
            EXPECT_LT(control.twips.left, design->widthTwips) << control.name;
            EXPECT_LE(control.twips.top + control.twips.height, design->heightTwips) << control.name;
            // Text on the plain background (the blue bands carry white text).
            if (control.kind != ControlKind::Label || control.textColour == kWhite) continue;
            EXPECT_GE(ContrastRatio(control.textColour, design->background), 4.5) << control.name;
        }
        // Mnemonics are unique within a window.
        std::set<char> letters;
        for (const Control& control : design->controls)
            if (control.mnemonic) {
                EXPECT_TRUE(letters.insert(static_cast<char>(std::tolower(control.mnemonic))).second);
            }
    }
    EXPECT_GE(ContrastRatio(kFocusBlue, kWhite), 3.0);
}

}  // namespace
}  // namespace tagshift::ui

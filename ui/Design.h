// The design of both windows, once, for every face: each control with its
// place in twips, its text, colours, font, tooltip, picture, tab order and
// what a screen reader says of it. A face lays its widgets out from this
// table and converts twips to pixels with TwipsToPixels().
#pragma once

#include <cstdint>
#include <vector>

namespace tagshift::ui {

enum class ControlId {
    // The main window.
    DonateButton,
    ConvertButton,
    FolderButton,
    PatternBox,
    DonateHeading,
    HelpLink,
    FileTypesLabel,
    FileTypesText,
    InfoLink,
    InfoText,
    ConvertLink,
    ConvertHeading,
    StatusLine,
    ProgressBar,
    FolderName,
    FolderHeading,
    IntroText,
    // The disclaimer.
    ExitButton,
    ContinueButton,
    DontShowAgain,
    ReadmeParagraph,
    DonateParagraph,
    Rule,
    TestParagraph,
    CopyParagraph,
    GuaranteeParagraph,
    AsIsParagraph,
};

enum class ControlKind { Picture, Label, TextBox, Button, CheckBox, Line, ProgressBar };

// What a control is to a screen reader.
enum class Role {
    None,    // not announced on its own (a hidden box, a rule)
    Text,    // a paragraph or a heading, read in design order
    Button,  // does something in this program
    Link,    // opens something outside it (a web page, a file)
    CheckBox,
    Status,      // the status line: its changes are announced
    ProgressBar  // exposes how far the run is as a value
};

struct Colour {
    std::uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const Colour& o) const { return red == o.red && green == o.green && blue == o.blue; }
};

inline constexpr Colour kBlack{0, 0, 0};
inline constexpr Colour kWhite{255, 255, 255};
inline constexpr Colour kLinkBlue{0, 0, 192};
inline constexpr Colour kDarkGrey{64, 64, 64};
inline constexpr Colour kGrey{128, 128, 128};
inline constexpr Colour kFocusBlue{0, 84, 166};  // the focus frame: 7:1 on white, 4.6:1 on the blue bands

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
};

// A row of the design. Rows name their fields; what a row leaves out is
// the common case below (black, transparent 8.25 pt text, no tooltip, no
// picture, no focus, nothing for a screen reader).
struct Control {
    ControlId id;
    const char* name;  // the widget's object name: "folderButton"
    ControlKind kind;
    Rect twips;
    const char* text = "";  // caption or content; "" for pictures
    Colour textColour = kBlack;
    bool opaque = false;  // fills its box with the window's background colour
    bool bold = false;
    int pointSize100 = 825;         // 825: 8.25 pt
    const char* tooltip = nullptr;  // nullptr: none
    const char* picture = nullptr;  // resource name ("folder.png"); nullptr: none
    int tabIndex = -1;              // keyboard order; -1: takes no focus
    Role role = Role::None;
    const char* accessibleName = nullptr;         // nullptr: the text is the name
    const char* accessibleDescription = nullptr;  // nullptr: none
    char mnemonic = 0;                            // Alt + this letter activates it; 0: none
};

struct WindowDesign {
    const char* caption;
    int widthTwips, heightTwips;  // the client area
    Colour background = kWhite;
    const char* backgroundPicture = nullptr;  // nullptr: plain background colour
    const char* icon = nullptr;               // nullptr: none
    int pointSize100 = 825;                   // the window font's size
    std::vector<Control> controls = {};       // in design order (back to front)
};

const WindowDesign& MainWindowDesign();
const WindowDesign& DisclaimerDesign();

// The control of a design; every id of the design is there.
const Control& ControlOf(const WindowDesign& design, ControlId id);

// The controls that take the focus, in tab order.
std::vector<ControlId> TabOrder(const WindowDesign& design);

// Twips to pixels at a screen's dots per inch (1440 twips to the inch),
// rounded to the nearest pixel: 15 twips a pixel at 96 dpi.
int TwipsToPixels(int twips, int dotsPerInch);

// How much larger than the design the user's text is, from the system's
// text size: 1.0 at the standard size. Faces scale the window's layout and
// fonts by it (up to 2.0) so that no text is clipped.
double TextScale(double systemPointSize, double designPointSize);

}  // namespace tagshift::ui

#include "ui/Design.h"

#include <algorithm>
#include <stdexcept>

#include "convert/Texts.h"

namespace tagshift::ui {

namespace {

constexpr const char* kChooseTip = "Click to choose the directory containing the website(s) you wish to update";
// The Convert picture and link do the same: one name and description.
constexpr const char* kConvertName = "Convert website";
constexpr const char* kConvertDescription = "Copies the chosen folder beside it and converts the copy";

// Controls are listed in reading order, top to bottom and left to right,
// which is the order a screen reader walks them; none overlap.
WindowDesign BuildMainWindow() {
    using K = ControlKind;
    WindowDesign design{.caption = "Tagshift",
                        .widthTwips = 6900,
                        .heightTwips = 4500,
                        .background = kWhite,
                        .backgroundPicture = "background.png",
                        .icon = "icon.png",
                        .pointSize100 = 825};
    design.controls = {
        {.id = ControlId::IntroText,
         .name = "introText",
         .kind = K::Label,
         .twips = {1965, 1155, 4830, 825},
         .text = "This program is designed to convert <object> and <embed> tags within a website to be compatible "
                 "with Internet Explorer after their patch (KB912945)  disabled active content.",
         .role = Role::Text},
        {.id = ControlId::FolderHeading,
         .name = "folderHeading",
         .kind = K::Label,
         .twips = {1980, 2130, 4860, 225},
         .text = "STEP 1: Choose the directory containing your website(s)",
         .textColour = kDarkGrey,
         .bold = true,
         .role = Role::Text},
        {.id = ControlId::FolderButton,
         .name = "folderButton",
         .kind = K::Picture,
         .twips = {2025, 2400, 330, 375},
         .tooltip = kChooseTip,
         .picture = "folder.png",
         .tabIndex = 0,
         .role = Role::Button,
         .accessibleName = "Choose the folder of your web site",
         .accessibleDescription = kChooseTip},
        {.id = ControlId::FolderName,
         .name = "folderName",
         .kind = K::Label,
         .twips = {2415, 2430, 4395, 480},
         .text = "No Directory Chosen",
         .tooltip = kChooseTip,
         .tabIndex = 1,
         .role = Role::Button,
         .accessibleDescription = kChooseTip},
        {.id = ControlId::ConvertHeading,
         .name = "convertHeading",
         .kind = K::Label,
         .twips = {1980, 2985, 2130, 225},
         .text = "STEP 2: Press Convert",
         .textColour = kDarkGrey,
         .bold = true,
         .role = Role::Text},
        {.id = ControlId::ConvertButton,
         .name = "convertButton",
         .kind = K::Picture,
         .twips = {1995, 3255, 645, 555},
         .picture = "icon.png",
         .tabIndex = 2,
         .role = Role::Button,
         .accessibleName = kConvertName,
         .accessibleDescription = kConvertDescription},
        {.id = ControlId::ConvertLink,
         .name = "convertLink",
         .kind = K::Label,
         .twips = {2640, 3375, 2130, 330},
         .text = "Convert Website!",
         .textColour = kLinkBlue,
         .bold = true,
         .pointSize100 = 1200,
         .tabIndex = 3,
         .role = Role::Button,
         .accessibleName = kConvertName,
         .accessibleDescription = kConvertDescription},
        {.id = ControlId::DonateHeading,
         .name = "donateHeading",
         .kind = K::Label,
         .twips = {5120, 2985, 2130, 225},
         .text = "STEP 3: Donate!",
         .textColour = kDarkGrey,
         .bold = true,
         .role = Role::Text},
        {.id = ControlId::DonateButton,
         .name = "donateButton",
         .kind = K::Picture,
         .twips = {5115, 3255, 945, 480},
         .tooltip = "Click here if you wish to donate",
         .picture = "donate.png",
         .tabIndex = 4,
         .role = Role::Link,
         .accessibleName = "Donate",
         .accessibleDescription = "Opens the donation page in your web browser"},
        {.id = ControlId::InfoText,
         .name = "infoText",
         .kind = K::Label,
         .twips = {315, 1590, 1200, 660},
         .text = "Find out why you need to apply this patch:",
         .role = Role::Text},
        {.id = ControlId::InfoLink,
         .name = "infoLink",
         .kind = K::Label,
         .twips = {315, 2205, 1200, 270},
         .text = "Microsoft info",
         .textColour = kLinkBlue,
         .tooltip = "Launch Internet Explorer and read about the patch Microsoft has applied stopping ActiveX",
         .tabIndex = 5,
         .role = Role::Link,
         .accessibleName = "Why you need this patch (web page)"},
        {.id = ControlId::FileTypesText,
         .name = "fileTypesText",
         .kind = K::Label,
         .twips = {315, 2535, 1200, 660},
         .text = "Change which files this program scans:",
         .role = Role::Text},
        // Opens the "File types" dialog (the only way to the pattern list).
        {.id = ControlId::FileTypesLabel,
         .name = "fileTypesLabel",
         .kind = K::Label,
         .twips = {315, 3150, 1260, 270},
         .text = "Change file types",
         .textColour = kLinkBlue,
         .tooltip = "Choose which pages are converted, and how",
         .tabIndex = 6,
         .role = Role::Button,
         .accessibleName = "Change file types",
         .accessibleDescription = "Opens the File types dialog: the page patterns, capital letters, <noscript>",
         .mnemonic = 'f'},
        {.id = ControlId::HelpLink,
         .name = "helpLink",
         .kind = K::Label,
         .twips = {330, 3555, 1200, 270},
         .text = "I need help!",
         .textColour = kLinkBlue,
         .tooltip = "Click here to launch the help file",
         .tabIndex = 7,
         .role = Role::Link,
         .accessibleName = "Open the help file"},
        {.id = ControlId::StatusLine,
         .name = "statusLine",
         .kind = K::Label,
         .twips = {105, 4230, 5505, 270},
         .text = "Progress: No Directory Selected     Version: " TAGSHIFT_VERSION,
         .textColour = kWhite,
         .role = Role::Status},
        // Beside the status line on the bottom band, seen only during a run.
        {.id = ControlId::ProgressBar,
         .name = "progressBar",
         .kind = K::ProgressBar,
         .twips = {5700, 4260, 1110, 180},
         .textColour = kWhite,
         .role = Role::ProgressBar,
         .accessibleName = "Pages converted"},
        // The page-pattern list every run reads. It lies below the client
        // area, where it is never seen, and takes neither focus nor keys.
        {.id = ControlId::PatternBox,
         .name = "patternBox",
         .kind = K::TextBox,
         .twips = {135, 4590, 5715, 345},
         .text = texts::kDefaultPatterns,
         .opaque = true},
    };
    return design;
}

WindowDesign BuildDisclaimer() {
    using K = ControlKind;
    WindowDesign design{.caption = "Pagemend Disclaimer", .widthTwips = 5220, .heightTwips = 4935};
    auto paragraph = [](ControlId id, const char* name, Rect rect, const char* text, bool bold) {
        return Control{.id = id,
                       .name = name,
                       .kind = K::Label,
                       .twips = rect,
                       .text = text,
                       .opaque = true,
                       .bold = bold,
                       .role = Role::Text};
    };
    design.controls = {
        paragraph(ControlId::AsIsParagraph, "asIsParagraph", {150, 165, 4920, 660},
                  "This program is offered to you \"as is\" and is desgined to help web programmers like you and me "
                  "update websites easily after Microsoft patched Internet Explorer to stop embedded Active X",
                  false),
        paragraph(ControlId::GuaranteeParagraph, "guaranteeParagraph", {135, 840, 4920, 645},
                  "This program comes with no guarantees and we can not be held responsible if it fails to work "
                  "with your website or any loss of earnings occur as a result of using this program.",
                  false),
        paragraph(ControlId::CopyParagraph, "copyParagraph", {150, 1500, 4920, 855},
                  "This program will copy the ammended website into a new directory. Please thoroughly test this "
                  "and be sure that you are satisfied the changes have worked before discarding the old site. In "
                  "fact, we do not recommend discarding your original site at all.",
                  false),
        paragraph(ControlId::TestParagraph, "testParagraph", {150, 2370, 4920, 300},
                  "Please test your website(s) after using this program!", true),
        paragraph(ControlId::ReadmeParagraph, "readmeParagraph", {150, 2640, 4920, 1005},
                  "Please read the readme.txt file for instructions. This program will not update <applet> tags "
                  "and cannot forsee any scripting, only HTML. Allthough this program will work fine with PHP, "
                  "ASP, etc, do not use this if you use PHP, ASP, etc to generate any part of the <object> or "
                  "<embed> tags.",
                  false),
        paragraph(ControlId::DonateParagraph, "donateParagraph", {150, 3705, 4920, 390},
                  "If this program works for you, please donate and  I will see what else I can produce to make "
                  "your life a bit easier!",
                  true),
        // A one-pixel rule from (120, 4260) to (5010, 4260).
        {.id = ControlId::Rule, .name = "rule", .kind = K::Line, .twips = {120, 4260, 4890, 15}},
        {.id = ControlId::DontShowAgain,
         .name = "dontShowAgain",
         .kind = K::CheckBox,
         .twips = {150, 4425, 2670, 270},
         .text = "Do not show this message again",
         .opaque = true,
         .tabIndex = 0,
         .role = Role::CheckBox,
         .mnemonic = 'D'},
        {.id = ControlId::ContinueButton,
         .name = "continueButton",
         .kind = K::Button,
         .twips = {3015, 4395, 1185, 345},
         .text = "Continue",
         .tabIndex = 1,
         .role = Role::Button,
         .mnemonic = 'C'},
        {.id = ControlId::ExitButton,
         .name = "exitButton",
         .kind = K::Button,
         .twips = {4290, 4395, 750, 345},
         .text = "Exit",
         .tabIndex = 2,
         .role = Role::Button,
         .mnemonic = 'x'},
    };
    return design;
}

}  // namespace

const WindowDesign& MainWindowDesign() {
    static const WindowDesign design = BuildMainWindow();
    return design;
}

const WindowDesign& DisclaimerDesign() {
    static const WindowDesign design = BuildDisclaimer();
    return design;
}

const Control& ControlOf(const WindowDesign& design, ControlId id) {
    for (const Control& control : design.controls)
        if (control.id == id) return control;
    throw std::out_of_range("no such control in this window");
}

std::vector<ControlId> TabOrder(const WindowDesign& design) {
    std::vector<const Control*> stops;
    for (const Control& control : design.controls)
        if (control.tabIndex >= 0) stops.push_back(&control);
    std::sort(stops.begin(), stops.end(), [](const Control* a, const Control* b) { return a->tabIndex < b->tabIndex; });
    std::vector<ControlId> order;
    for (const Control* control : stops) order.push_back(control->id);
    return order;
}

int TwipsToPixels(int twips, int dotsPerInch) {
    const long long scaled = static_cast<long long>(twips) * dotsPerInch;
    return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((-scaled + 720) / 1440));
}

double TextScale(double systemPointSize, double designPointSize) {
    if (systemPointSize <= 0 || designPointSize <= 0) return 1.0;
    return std::clamp(systemPointSize / designPointSize, 1.0, 2.0);
}

}  // namespace tagshift::ui

#include "ui/Design.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "convert/Texts.h"

namespace tagshift::ui {

namespace {

constexpr const char* kChooseTip = "Click to choose the directory containing the website(s) you wish to update";

// Controls are listed in reading order, top to bottom and left to right,
// which is the order a screen reader walks them; none overlap.
WindowDesign BuildMainWindow() {
    using K = ControlKind;
    const Colour none = kBlack;
    WindowDesign design{"Tagshift", 6900, 4500, kWhite, "background.png", "icon.png", 825, {}};
    design.controls = {
        {ControlId::IntroText, "introText", K::Label, {1965, 1155, 4830, 825},
         "This program is designed to convert <object> and <embed> tags within a website to be compatible with "
         "Internet Explorer after their patch (KB912945)  disabled active content.",
         kBlack, false, false, 825, nullptr, nullptr, -1, Role::Text, nullptr, nullptr, 0},
        {ControlId::FolderHeading, "folderHeading", K::Label, {1980, 2130, 4860, 225},
         "STEP 1: Choose the directory containing your website(s)", kDarkGrey, false, true, 825, nullptr, nullptr,
         -1, Role::Text, nullptr, nullptr, 0},
        {ControlId::FolderButton, "folderButton", K::Picture, {2025, 2400, 330, 375}, "", none, false, false, 825,
         kChooseTip, "folder.png", 0, Role::Button, "Choose the folder of your web site", kChooseTip, 0},
        {ControlId::FolderName, "folderName", K::Label, {2415, 2430, 4395, 480}, "No Directory Chosen", kBlack,
         false, false, 825, kChooseTip, nullptr, 1, Role::Button, nullptr, kChooseTip, 0},
        {ControlId::ConvertHeading, "convertHeading", K::Label, {1980, 2985, 2130, 225}, "STEP 2: Press Convert",
         kDarkGrey, false, true, 825, nullptr, nullptr, -1, Role::Text, nullptr, nullptr, 0},
        {ControlId::ConvertButton, "convertButton", K::Picture, {1995, 3255, 645, 555}, "", none, false, false, 825,
         nullptr, "icon.png", 2, Role::Button, "Convert website",
         "Copies the chosen folder beside it and converts the copy", 0},
        {ControlId::ConvertLink, "convertLink", K::Label, {2640, 3375, 2130, 330}, "Convert Website!", kLinkBlue,
         false, true, 1200, nullptr, nullptr, 3, Role::Button, "Convert website",
         "Copies the chosen folder beside it and converts the copy", 0},
        {ControlId::DonateHeading, "donateHeading", K::Label, {5120, 2985, 2130, 225}, "STEP 3: Donate!",
         kDarkGrey, false, true, 825, nullptr, nullptr, -1, Role::Text, nullptr, nullptr, 0},
        {ControlId::DonateButton, "donateButton", K::Picture, {5115, 3255, 945, 480}, "", none, false, false, 825,
         "Click here if you wish to donate", "donate.png", 4, Role::Link, "Donate",
         "Opens the donation page in your web browser", 0},
        {ControlId::InfoText, "infoText", K::Label, {315, 1590, 1200, 660},
         "Find out why you need to apply this patch:", kBlack, false, false, 825, nullptr, nullptr, -1, Role::Text,
         nullptr, nullptr, 0},
        {ControlId::InfoLink, "infoLink", K::Label, {315, 2205, 1200, 270}, "Microsoft info", kLinkBlue, false,
         false, 825, "Launch Internet Explorer and read about the patch Microsoft has applied stopping ActiveX",
         nullptr, 5, Role::Link, "Why you need this patch (web page)", nullptr, 0},
        {ControlId::FileTypesText, "fileTypesText", K::Label, {315, 2535, 1200, 660},
         "Change which files this program scans:", kBlack, false, false, 825, nullptr, nullptr, -1, Role::Text,
         nullptr, nullptr, 0},
        // Switched off in the design: shown disabled, with no action.
        {ControlId::FileTypesLabel, "fileTypesLabel", K::Label, {315, 3150, 1260, 270}, "Change file types", kGrey,
         false, false, 825, nullptr, nullptr, -1, Role::Text, nullptr, nullptr, 0},
        {ControlId::HelpLink, "helpLink", K::Label, {330, 3555, 1200, 270}, "I need help!", kLinkBlue, false, false,
         825, "Click here to launch the help file", nullptr, 6, Role::Link, "Open the help file", nullptr, 0},
        {ControlId::StatusLine, "statusLine", K::Label, {105, 4230, 5505, 270},
         "Progress: No Directory Selected     Version: " TAGSHIFT_VERSION, kWhite, false, false, 825, nullptr,
         nullptr, -1, Role::Status, nullptr, nullptr, 0},
        // Beside the status line on the bottom band, seen only during a run.
        {ControlId::ProgressBar, "progressBar", K::ProgressBar, {5700, 4260, 1110, 180}, "", kWhite, false, false,
         825, nullptr, nullptr, -1, Role::ProgressBar, "Pages converted", nullptr, 0},
        // The page-pattern list every run reads. It lies below the client
        // area, where it is never seen, and takes neither focus nor keys.
        {ControlId::PatternBox, "patternBox", K::TextBox, {135, 4590, 5715, 345}, texts::kDefaultPatterns, kBlack,
         true, false, 825, nullptr, nullptr, -1, Role::None, nullptr, nullptr, 0},
    };
    return design;
}

WindowDesign BuildDisclaimer() {
    using K = ControlKind;
    WindowDesign design{"Pagemend Disclaimer", 5220, 4935, kWhite, nullptr, nullptr, 825, {}};
    auto paragraph = [](ControlId id, const char* name, Rect rect, const char* text, bool bold) {
        return Control{id, name, K::Label, rect, text, kBlack, true, bold, 825, nullptr, nullptr, -1, Role::Text,
                       nullptr, nullptr, 0};
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
        {ControlId::Rule, "rule", K::Line, {120, 4260, 4890, 15}, "", kBlack, false, false, 825, nullptr, nullptr,
         -1, Role::None, nullptr, nullptr, 0},
        {ControlId::DontShowAgain, "dontShowAgain", K::CheckBox, {150, 4425, 2670, 270},
         "Do not show this message again", kBlack, true, false, 825, nullptr, nullptr, 0, Role::CheckBox, nullptr,
         nullptr, 'D'},
        {ControlId::ContinueButton, "continueButton", K::Button, {3015, 4395, 1185, 345}, "Continue", kBlack, false,
         false, 825, nullptr, nullptr, 1, Role::Button, nullptr, nullptr, 'C'},
        {ControlId::ExitButton, "exitButton", K::Button, {4290, 4395, 750, 345}, "Exit", kBlack, false, false, 825,
         nullptr, nullptr, 2, Role::Button, nullptr, nullptr, 'x'},
    };
    return design;
}

double Linear(std::uint8_t channel) {
    const double c = channel / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(Colour colour) {
    return 0.2126 * Linear(colour.red) + 0.7152 * Linear(colour.green) + 0.0722 * Linear(colour.blue);
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

double ContrastRatio(Colour a, Colour b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace tagshift::ui

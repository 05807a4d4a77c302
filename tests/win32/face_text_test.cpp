// The Win32 face's text rules: what a command line hands the window, the
// Alt letters of the disclaimer's buttons, and font sizes at any dpi.
#include <gtest/gtest.h>

#include <cwctype>

#include "app/win32/FaceText.h"
#include "fs/Utf16.h"
#include "ui/Design.h"

namespace tagshift::win32 {
namespace {

TEST(FaceText, TheArgumentTextFollowsTheProgramsName) {
    struct Case {
        const wchar_t* commandLine;
        const wchar_t* argumentText;
    };
    const Case cases[] = {
        {L"tagshift.exe", L""},
        {L"tagshift.exe   ", L""},
        {L"tagshift.exe C:\\site", L"C:\\site"},
        {L"\"C:\\Program Files\\Tagshift\\tagshift.exe\" C:\\my site", L"C:\\my site"},
        {L"\"C:\\Program Files\\Tagshift\\tagshift.exe\"\"C:\\a b\"", L"\"C:\\a b\""},
        {L"  tagshift \t \"D:\\sit\u00e9 \u65e5\u672c\"  ", L"\"D:\\sit\u00e9 \u65e5\u672c\""},
        {L"\"unclosed quote C:\\site", L""},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(ArgumentText(c.commandLine), c.argumentText) << fs::ToUtf8(c.commandLine);
}

TEST(FaceText, AnArgumentIsQuotedOnlyWhereTheParserNeedsIt) {
    struct Case {
        const wchar_t* argument;
        const wchar_t* quoted;
    };
    const Case cases[] = {
        {L"notepad.exe", L"notepad.exe"},
        {L"https://example.com/a?b=1&c=%20", L"https://example.com/a?b=1&c=%20"},
        {L"c:\\Program Files\\Internet Explorer\\iexplore.exe",
         L"\"c:\\Program Files\\Internet Explorer\\iexplore.exe\""},
        {L"", L"\"\""},
        {L"C:\\my site\\", L"\"C:\\my site\\\\\""},
        {L"say \"hi\\\"", L"\"say \\\"hi\\\\\\\"\""},
    };
    for (const Case& c : cases) EXPECT_EQ(QuotedArgument(c.argument), c.quoted) << fs::ToUtf8(c.argument);
}

TEST(FaceText, LongLinesAreBrokenAfterABlankOrSeparatorElseAnywhere) {
    struct Case {
        const wchar_t* text;
        int maxWidth;  // in characters here
        const wchar_t* wrapped;
    };
    const Case cases[] = {
        {L"short", 10, L"short"},
        {L"C:\\aaaa\\bbbb\\cccc", 8, L"C:\\aaaa\\\r\nbbbb\\\r\ncccc"},
        {L"/home/a/site_Converted", 12, L"/home/a/\r\nsite_Convert\r\ned"},
        {L"abcdefghij", 4, L"abcd\r\nefgh\r\nij"},
        {L"see C:\\a b\r\nok", 6, L"see \r\nC:\\a b\r\nok"},
        {L"Files Converted: 3\r\nYour new website(s)", 40, L"Files Converted: 3\r\nYour new website(s)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WrappedText(c.text, c.maxWidth, [](wchar_t) { return 1; }), c.wrapped) << fs::ToUtf8(c.text);
}

// The caption without its marks: "E&xit" -> "Exit", "&&" -> "&".
std::wstring Unmarked(const std::wstring& caption, wchar_t* marked) {
    std::wstring text;
    *marked = 0;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == L'&' && i + 1 < caption.size()) {
            ++i;
            if (caption[i] != L'&' && *marked == 0) *marked = caption[i];
        }
        text += caption[i];
    }
    return text;
}

TEST(FaceText, EveryMnemonicOfTheDesignMarksALetterOfItsCaption) {
    int seen = 0;
    for (const ui::WindowDesign* design : {&ui::MainWindowDesign(), &ui::DisclaimerDesign()}) {
        for (const ui::Control& control : design->controls) {
            const std::wstring text = fs::ToUtf16(control.text);
            wchar_t marked = 0;
            const std::wstring caption = MnemonicCaption(text, control.mnemonic);
            EXPECT_EQ(Unmarked(caption, &marked), text) << control.name;
            if (control.mnemonic == 0) {
                EXPECT_EQ(marked, 0) << control.name;
                continue;
            }
            ++seen;
            EXPECT_EQ(std::towlower(marked), std::towlower(static_cast<wchar_t>(control.mnemonic))) << control.name;
        }
    }
    EXPECT_GT(seen, 0);
    EXPECT_EQ(MnemonicCaption(L"Salt & pepper", 'p'), L"Salt && &pepper");
    EXPECT_EQ(MnemonicCaption(L"Exit", 'q'), L"Exit");
}

TEST(FaceText, FontHeightsFollowTheDpi) {
    struct Case {
        int pointSize100, dpi, height;
    };
    const Case cases[] = {{825, 96, -11}, {1200, 96, -16}, {825, 144, -17}, {1200, 192, -32}, {825, 120, -14}};
    for (const Case& c : cases)
        EXPECT_EQ(FontHeight(c.pointSize100, c.dpi), c.height) << c.pointSize100 << "@" << c.dpi;
}

}  // namespace
}  // namespace tagshift::win32

// The small text rules of the Win32 face, kept apart from the windows so
// that the tests can check them: the argument text of a command line, a
// caption with its Alt letter, and font heights at a screen's dpi.
#pragma once

#include <functional>
#include <string>

namespace tagshift::win32 {

// What follows the program's own name on a command line, with the blanks
// around it removed: the name is quoted ("C:\Program Files\t.exe" rest) or
// ends at the first blank, as Windows itself parses it.
std::wstring ArgumentText(const std::wstring& commandLine);

// One argument of a command line, quoted where Windows' parser needs it
// (a blank, a tab, a quote, or nothing), so that it reads back unchanged.
std::wstring QuotedArgument(const std::wstring& argument);

// A caption with the mnemonic marked for Windows: "Exit" and 'x' give
// "E&xit" (the first letter that matches, in any case); an '&' already in
// the text is doubled; no letter or no match leaves the text as it is.
std::wstring MnemonicCaption(const std::wstring& text, char mnemonic);

// The text with a line end put in wherever a line would be wider than
// maxWidth, as widthOf measures it: after a blank or a path separator where
// there is one, else between two characters, so that a long path shows in
// full however narrow the box. Lines that fit are left as they are.
std::wstring WrappedText(const std::wstring& text, int maxWidth, const std::function<int(wchar_t)>& widthOf);

// The LOGFONT height (negative: the character height) of a font of
// pointSize100 / 100 points at dotsPerInch.
int FontHeight(int pointSize100, int dotsPerInch);

}  // namespace tagshift::win32

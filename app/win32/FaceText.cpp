#include "app/win32/FaceText.h"

#include <cwctype>

namespace tagshift::win32 {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

std::wstring ArgumentText(const std::wstring& commandLine) {
    std::size_t at = 0;
    const std::size_t size = commandLine.size();
    while (at < size && IsBlank(commandLine[at])) ++at;
    if (at < size && commandLine[at] == L'"') {
        const std::size_t close = commandLine.find(L'"', at + 1);
        at = close == std::wstring::npos ? size : close + 1;
    } else {
        while (at < size && !IsBlank(commandLine[at])) ++at;
    }
    while (at < size && IsBlank(commandLine[at])) ++at;
    std::size_t end = size;
    while (end > at &&
           (IsBlank(commandLine[end - 1]) || commandLine[end - 1] == L'\r' || commandLine[end - 1] == L'\n'))
        --end;
    return commandLine.substr(at, end - at);
}

std::wstring QuotedArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    // Backslashes are literal unless a quote follows them: only those are doubled.
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L'"';
}

std::wstring MnemonicCaption(const std::wstring& text, char mnemonic) {
    std::wstring caption;
    bool marked = mnemonic == 0;
    const wchar_t wanted =
        static_cast<wchar_t>(std::towlower(static_cast<wint_t>(static_cast<unsigned char>(mnemonic))));
    for (wchar_t c : text) {
        if (c == L'&') {
            caption += L"&&";
            continue;
        }
        if (!marked && static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c))) == wanted) {
            caption += L'&';
            marked = true;
        }
        caption += c;
    }
    return caption;
}

std::wstring WrappedText(const std::wstring& text, int maxWidth, const std::function<int(wchar_t)>& widthOf) {
    std::wstring wrapped;
    std::wstring line;  // the line being filled, since the last line end
    int width = 0;
    std::size_t lastBreak = std::wstring::npos;  // in line, just after a blank or separator
    for (wchar_t c : text) {
        if (c == L'\r' || c == L'\n') {
            wrapped += line;
            wrapped += c;
            line.clear();
            width = 0;
            lastBreak = std::wstring::npos;
            continue;
        }
        const int charWidth = widthOf(c);
        const bool secondHalf = c >= 0xDC00 && c <= 0xDFFF;  // never parted from the first
        if (width + charWidth > maxWidth && !line.empty() && !secondHalf) {
            // Break at the last blank or separator, else right here.
            const std::size_t at = lastBreak != std::wstring::npos ? lastBreak : line.size();
            wrapped += line.substr(0, at);
            wrapped += L"\r\n";
            line.erase(0, at);
            width = 0;
            for (wchar_t kept : line) width += widthOf(kept);
            lastBreak = std::wstring::npos;
        }
        line += c;
        width += charWidth;
        if (c == L' ' || c == L'\\' || c == L'/') lastBreak = line.size();
    }
    return wrapped + line;
}

int FontHeight(int pointSize100, int dotsPerInch) {
    // 72 points to the inch; rounded to the nearest pixel.
    const long long scaled = static_cast<long long>(pointSize100) * dotsPerInch;
    return -static_cast<int>((scaled + 3600) / 7200);
}

}  // namespace tagshift::win32

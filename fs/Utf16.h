// Windows only: the one place where UTF-8 paths and texts become the UTF-16
// of the wide Win32 calls, and back. Invalid UTF-8 becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace tagshift::fs {

std::wstring ToUtf16(std::string_view text);
std::string ToUtf8(std::wstring_view text);

}  // namespace tagshift::fs

#include "app/win32/Drops.h"

#include <shlobj.h>

#include <cstring>

#include "fs/Utf16.h"

namespace tagshift::win32 {

std::vector<std::string> DroppedPaths(HDROP drop) {
    std::vector<std::string> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(DragQueryFileW(drop, i, nullptr, 0), L'\0');
        DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size() + 1));
        paths.push_back(fs::ToUtf8(path));
    }
    return paths;
}

HDROP TestDrop(const COPYDATASTRUCT& data) {
    if (data.dwData != kTestDropMark || !GetEnvironmentVariableW(kTestDropsVariable, nullptr, 0)) return nullptr;
    // DROPFILES, then the paths, each null-ended, and one more null.
    const std::size_t bytes = data.cbData / sizeof(wchar_t) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + bytes + 2 * sizeof(wchar_t));
    auto* header = memory ? static_cast<DROPFILES*>(GlobalLock(memory)) : nullptr;
    if (!header) return nullptr;
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    if (bytes) std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), data.lpData, bytes);
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

}  // namespace tagshift::win32

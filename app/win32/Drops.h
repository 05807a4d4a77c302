// Files and folders dropped on a window from Explorer (WM_DROPFILES), and
// the test entry that makes such a drop inside the program: under wine no
// drop can come from another process, so a driver sends the paths with
// WM_COPYDATA and the window drops them on itself.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

namespace tagshift::win32 {

// WM_COPYDATA's mark of a test drop: its data are the paths, UTF-16, each
// ended by a null character.
inline constexpr ULONG_PTR kTestDropMark = 0x54445250;
// The test entry answers only when this variable is set (to anything).
inline constexpr const wchar_t* kTestDropsVariable = L"TAGSHIFT_TEST_DROPS";

// The paths of a drop, UTF-8, in the order Explorer gives them.
std::vector<std::string> DroppedPaths(HDROP drop);

// A drop of these paths as the shell hands it to a window; nullptr when the
// test entry is off or the data are not a test drop.
HDROP TestDrop(const COPYDATASTRUCT& data);

}  // namespace tagshift::win32

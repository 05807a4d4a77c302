// The "File types" dialog in Win32: a dialog template in the system's
// dialog font (MS Shell Dlg) laid out in dialog units, so that Windows
// scales it with that font, and the dialog manager's own keys (Tab, Alt
// letters, Enter for OK, Escape for Cancel). Every act goes to
// ui::FileTypesDialog.
#pragma once

#include <windows.h>

#include "ui/FileTypes.h"

namespace tagshift::win32 {

// A control's id in the dialog: OK and Cancel are the dialog manager's own.
inline int FileTypesItemId(ui::FileTypesControl id) {
    if (id == ui::FileTypesControl::Ok) return IDOK;
    if (id == ui::FileTypesControl::Cancel) return IDCANCEL;
    return 300 + static_cast<int>(id);
}

// Shows the dialog modal to owner until OK or Cancel closes it.
void RunFileTypesBox(ui::FileTypesDialog& logic, HWND owner);

}  // namespace tagshift::win32

#include "ui/CommandLine.h"

namespace tagshift::ui {

namespace {

// Laid out for help2man, which makes the manual page from it: the usage
// lines, the description, then the options, each starting with "-".
const char* const kHelp =
    "Usage: tagshift [FOLDER]\n"
    "  or:  tagshift --help | --version\n"
    "\n"
    "Opens Tagshift's windows: the disclaimer (unless \"Do not show this message\n"
    "again\" was ticked before), then the main window, in which a folder of web\n"
    "sites is chosen and converted. The folder is copied to FOLDER_Converted\n"
    "beside it and, in the copy, every <object>...</object> and <embed>...</embed>\n"
    "block of the selected pages is moved into generated script files (object.js,\n"
    "embed.js) beside each page. The folder itself is only read.\n"
    "\n"
    "With FOLDER the main window converts it as it loads, before it is shown.\n"
    "Everything after the program's name is the folder's name, blanks included;\n"
    "a name in double quotes loses its quotes.\n"
    "\n"
    "Options, read only when they are the whole command line:\n"
    "  -h, --help     show this help and exit\n"
    "  --version      show the version and exit\n"
    "\n"
    "The same conversion without a window: tagshift-convert (see\n"
    "tagshift-convert --help). \"I need help!\" in the main window opens the\n"
    "help file readme.txt.\n";

}  // namespace

std::optional<std::string> CommandLineAnswer(const std::string& argumentText) {
    if (argumentText == "--help" || argumentText == "-h" || argumentText == "/?") return std::string(kHelp);
    if (argumentText == "--version") return std::string("tagshift ") + TAGSHIFT_VERSION + "\n";
    return std::nullopt;
}

}  // namespace tagshift::ui

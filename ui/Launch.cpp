#include "ui/Launch.h"

#include <cstdio>

#include "fs/FileSystem.h"
#include "ui/MainWindow.h"

#ifndef TAGSHIFT_DONATION_ACCOUNT
#define TAGSHIFT_DONATION_ACCOUNT "donations@example.com"
#endif
#ifndef TAGSHIFT_DONATION_BUTTON_SOURCE
#define TAGSHIFT_DONATION_BUTTON_SOURCE "Tagshift_Donate_WPS_GB"
#endif

namespace tagshift::ui {

namespace {

using windowTexts::kHelpFileName;

constexpr const char* kBrowserPath = "c:\\Program Files\\Internet Explorer\\iexplore.exe";
constexpr const char* kTextViewer = "notepad.exe";

// Letters, digits and "-._~" stay; every other byte becomes %XX.
std::string PercentEncoded(const std::string& text) {
    std::string encoded;
    for (unsigned char c : text) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.' || c == '_' || c == '~';
        if (plain) {
            encoded += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            encoded += escaped;
        }
    }
    return encoded;
}

}  // namespace

std::string DonationAddress() {
    return "https://www.paypal.com/cgi-bin/webscr?cmd=_xclick&business=" + PercentEncoded(TAGSHIFT_DONATION_ACCOUNT) +
           "&no_shipping=1&cn=Any%20comments%3a&tax=0&currency_code=GBP&bn=" +
           PercentEncoded(TAGSHIFT_DONATION_BUTTON_SOURCE) + "&charset=UTF%2d8";
}

std::string InformationAddress() {
    return "http://msdn.microsoft.com/library/default.asp?url=/workshop/author/dhtml/overview/activating_activex.asp";
}

std::string FindHelpFile(const std::string& currentFolder, const std::string& programFolder) {
    for (const std::string& folder : {currentFolder, programFolder}) {
        if (folder.empty()) continue;
        const std::string path = fs::JoinPath(folder, kHelpFileName);
        if (fs::FileExists(path)) return path;
    }
    return std::string();
}

LaunchPlan WebPagePlan(Platform platform, const std::string& address, const std::string& what) {
    LaunchPlan plan;
    // Where that browser is gone (or was never there), the page still opens.
    if (platform == Platform::Windows) plan.steps.push_back({LaunchStep::Kind::StartProgram, kBrowserPath, address});
    plan.steps.push_back({LaunchStep::Kind::OpenAddress, "", address});
    plan.failure = "Could not open " + what + address;
    return plan;
}

LaunchPlan HelpFilePlan(Platform platform, const std::string& helpFile, const std::string& currentFolder,
                        const std::string& programFolder) {
    LaunchPlan plan;
    if (helpFile.empty()) {
        plan.failure = std::string("The help file could not be opened: there is no ") + kHelpFileName + " in " +
                       currentFolder + " nor in " + programFolder + ".";
        return plan;
    }
    // Notepad is always there on Windows, also where no viewer is registered for .txt.
    if (platform == Platform::Windows) plan.steps.push_back({LaunchStep::Kind::StartProgram, kTextViewer, helpFile});
    plan.steps.push_back({LaunchStep::Kind::OpenFile, "", helpFile});
    plan.failure = "Could not open the help file " + helpFile;
    return plan;
}

LaunchPlan ReportPlan(const std::string& path) {
    return {{{LaunchStep::Kind::OpenFile, "", path}}, "The report was saved as " + path + ", but it could not be opened"};
}

}  // namespace tagshift::ui

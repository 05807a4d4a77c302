// What the window's launches open and how: the donation page, the
// information page, the help file and the report of a run. The plan of each launch is data, for
// either platform, so that every face does the same and the Windows plan
// can be checked anywhere. A face only carries out one step when told.
#pragma once

#include <string>
#include <vector>

namespace tagshift::ui {

enum class Platform { Windows, Posix };

// The platform this program was built for.
Platform ThisPlatform();

struct LaunchStep {
    enum class Kind {
        StartProgram,  // start program with subject as its one argument
        OpenAddress,   // open the web address subject in the default browser
        OpenFile,      // open the file subject in its default viewer
    };
    Kind kind;
    std::string program;  // StartProgram: a full path, or a name found on the search path
    std::string subject;
    bool operator==(const LaunchStep& o) const {
        return kind == o.kind && program == o.program && subject == o.subject;
    }
};

// The steps are tried in order until one starts; when none does (or there
// are none), the window shows failure in an error box.
struct LaunchPlan {
    std::vector<LaunchStep> steps;
    std::string failure;
};

// The two web addresses the window opens.
std::string DonationAddress();
std::string InformationAddress();

// The help file: readme.txt of the current folder, failing that the one
// beside the program; empty when neither exists.
std::string FindHelpFile(const std::string& currentFolder, const std::string& programFolder);

// A web page: the browser at its fixed path on Windows first, then the
// default browser. what names the page in the failure ("the donation page ").
LaunchPlan WebPagePlan(Platform platform, const std::string& address, const std::string& what);

// The help file found by FindHelpFile (empty: none): Notepad on Windows
// first, then the default viewer; no steps when there is no help file.
LaunchPlan HelpFilePlan(Platform platform, const std::string& helpFile, const std::string& currentFolder,
                        const std::string& programFolder);

// The report of a run, saved at path: opened in the default browser, as
// the system opens an HTML file.
LaunchPlan ReportPlan(const std::string& path);

}  // namespace tagshift::ui

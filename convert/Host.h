// What a conversion run needs from whatever drives it: a window, a console
// or a test.
#pragma once

#include <string>

namespace tagshift {

class ConvertHost {
public:
    virtual ~ConvertHost() = default;

    // Shows a status text and then processes pending events.
    virtual void ShowStatus(const std::string& sText) = 0;

    // Processes pending events (the walk's yields).
    virtual void ProcessEvents() = 0;

    // Enables or disables the two action controls (folder and Convert).
    virtual void SetActionsEnabled(bool bEnabled) = 0;

    // The pattern list the run is to use, as one ';'-separated text.
    virtual std::string PatternText() = 0;

    // A modal message box; iStyle 16 is the stop icon, 64 information.
    virtual void ShowMessage(const std::string& sPrompt, int iStyle, const std::string& sTitle) = 0;

    // Asked after every yield: true ends the run after the page in
    // progress, with no further message box and no log written.
    virtual bool StopRequested() { return false; }

    // An opening text that a rewrite left in the page as markup: the page's
    // path, the text as it stands, its line (from 1) and why, in the words
    // the user reads ("inside a script").
    virtual void ReportLeftAlone(const std::string& /*sPage*/, const std::string& /*sOpening*/, long long /*iLine*/,
                                 const std::string& /*sWhy*/) {}
};

}  // namespace tagshift

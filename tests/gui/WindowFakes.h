// Fakes of the platform services and a window that reports every status
// text it is given, for the main window's tests.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include <QString>
#include <QWidget>

#include "app/Services.h"
#include "app/form1.h"

namespace tagshift::app::testing {

class FakeChooser : public FolderChooser {
public:
    std::optional<QString> ChooseFolder(QWidget* pOwner, const QString& sTitle) override {
        aOwners.push_back(pOwner);
        aTitles.push_back(sTitle);
        if (aAnswers.empty()) return std::nullopt;
        std::optional<QString> oAnswer;
        oAnswer.swap(aAnswers.front());
        aAnswers.pop_front();
        return oAnswer;
    }
    std::deque<std::optional<QString>> aAnswers;  // nullopt: the user cancels
    std::vector<QWidget*> aOwners;
    std::vector<QString> aTitles;
};

class FakeLauncher : public Launcher {
public:
    bool OpenWebPage(const QString& sAddress) override {
        aPages.push_back(sAddress);
        return bSucceeds;
    }
    bool OpenTextFile(const QString& sPath) override {
        aFiles.push_back(sPath);
        return bSucceeds;
    }
    bool bSucceeds = true;
    std::vector<QString> aPages;
    std::vector<QString> aFiles;
};

struct Message {
    QString sPrompt;
    int iStyle;
    QString sTitle;
    bool bWindowVisible;
};

class FakeMessages : public MessageBoxes {
public:
    void Show(QWidget* pOwner, const QString& sPrompt, int iStyle, const QString& sTitle) override {
        aShown.push_back({sPrompt, iStyle, sTitle, pOwner && pOwner->isVisible()});
        if (fOnShow) fOnShow(aShown.back());
    }
    std::vector<Message> aShown;
    std::function<void(const Message&)> fOnShow;
};

struct StatusSeen {
    QString sText;
    bool bDirectoryEnabled;
    bool bConvertEnabled;
};

// The window with its status callback observed.
class ObservedWindow : public form1 {
public:
    ObservedWindow(FakeChooser& oChooser, FakeLauncher& oLauncher, FakeMessages& oMessages)
        : form1(Services{&oChooser, &oLauncher, &oMessages}) {}

    void ShowStatus(const std::string& sText) override {
        aStatus.push_back({QString::fromStdString(sText), cmd_Directory->isEnabled(), cmd_Convert->isEnabled()});
        if (fOnStatus) fOnStatus(aStatus.back());
        form1::ShowStatus(sText);
    }

    std::vector<StatusSeen> aStatus;
    std::function<void(const StatusSeen&)> fOnStatus;
};

}  // namespace tagshift::app::testing

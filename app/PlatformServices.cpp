#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

#include "app/Services.h"

namespace tagshift::app {

namespace {

class QtFolderChooser : public FolderChooser {
public:
    std::optional<QString> ChooseFolder(QWidget* pOwner, const QString& sTitle) override {
        // Qt's own dialog on every platform: it always has the path field
        // the user can type a folder into.
        QFileDialog oDialog(pOwner, sTitle, QDir::homePath());
        oDialog.setFileMode(QFileDialog::Directory);
        oDialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
        oDialog.setWindowModality(Qt::WindowModal);
        if (oDialog.exec() != QDialog::Accepted) return std::nullopt;
        const QStringList aChosen = oDialog.selectedFiles();
        if (aChosen.isEmpty() || aChosen.front().isEmpty()) return std::nullopt;
        return QDir::toNativeSeparators(aChosen.front());
    }
};

class DesktopLauncher : public Launcher {
public:
    bool OpenWebPage(const QString& sAddress) override {
#ifdef Q_OS_WIN
        const QString sBrowser = QStringLiteral("c:\\Program Files\\Internet Explorer\\iexplore.exe");
        if (QFileInfo::exists(sBrowser) && QProcess::startDetached(sBrowser, {sAddress})) return true;
#endif
        return QDesktopServices::openUrl(QUrl(sAddress, QUrl::StrictMode));
    }

    bool OpenTextFile(const QString& sPath) override {
#ifdef Q_OS_WIN
        if (QProcess::startDetached(QStringLiteral("notepad.exe"), {sPath})) return true;
#endif
        return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(sPath).absoluteFilePath()));
    }
};

class QtMessageBoxes : public MessageBoxes {
public:
    void Show(QWidget* pOwner, const QString& sPrompt, int iStyle, const QString& sTitle) override {
        QMessageBox oBox(pOwner);
        oBox.setIcon(IconFor(iStyle));
        oBox.setWindowTitle(sTitle);
        oBox.setTextFormat(Qt::PlainText);
        QString sText = sPrompt;
        oBox.setText(sText.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        oBox.setStandardButtons(QMessageBox::Ok);
        oBox.exec();
    }

    static QMessageBox::Icon IconFor(int iStyle) {
        switch (iStyle & 0x70) {
            case 16: return QMessageBox::Critical;
            case 32: return QMessageBox::Question;
            case 48: return QMessageBox::Warning;
            case 64: return QMessageBox::Information;
            default: return QMessageBox::NoIcon;
        }
    }
};

}  // namespace

Services PlatformServices() {
    static QtFolderChooser oChooser;
    static DesktopLauncher oLauncher;
    static QtMessageBoxes oMessages;
    return Services{&oChooser, &oLauncher, &oMessages};
}

}  // namespace tagshift::app

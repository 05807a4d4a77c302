#include "app/qt/QtServices.h"

#include "app/qt/FileTypesWidget.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QUrl>

#include "ui/MainWindow.h"

namespace tagshift::qt {

namespace {

// The core's paths are UTF-8 on every platform: what Qt's local 8-bit
// encoding is on Unix, but not on Windows (the ANSI code page there).
std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString NativeFolder(const QString& path) { return QDir::toNativeSeparators(path); }

}  // namespace

QtServices::QtServices() { clock_.start(); }

QWidget* QtServices::Owner() const { return owner_ && owner_->isVisible() ? owner_.data() : nullptr; }

std::optional<std::string> QtServices::ChooseFolder(const std::string& title) {
    // Qt's own dialog on every platform: it always has the path field the
    // user can type a folder into.
    QFileDialog dialog(Owner(), FromUtf8(title), QDir::homePath());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    dialog.setWindowModality(Qt::WindowModal);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
    return ToUtf8(NativeFolder(chosen.front()));
}

void QtServices::ShowFileTypes(ui::FileTypesDialog& dialog) { FileTypesWidget::Run(dialog, Owner()); }
std::optional<std::string> QtServices::ChooseSaveFile(const ui::SaveRequest& request) {
    // The platform's own dialog where there is one (a portal's too, which
    // lets a confined browser read the file chosen); Qt's where there is not.
    QFileDialog dialog(Owner(), FromUtf8(request.title), FromUtf8(request.folder));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QString extension = FromUtf8(request.extension);
    dialog.setNameFilter(FromUtf8(request.typeName) + QStringLiteral(" (*.") + extension + QStringLiteral(")"));
    dialog.setDefaultSuffix(extension);
    dialog.selectFile(FromUtf8(request.fileName));
    dialog.setWindowModality(Qt::WindowModal);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
    return ToUtf8(NativeFolder(chosen.front()));
}

ui::Answer QtServices::ShowMessage(ui::MessageKind kind, const std::string& title, const std::string& prompt) {
    QMessageBox box(Owner());
    box.setWindowTitle(FromUtf8(title));
    box.setTextFormat(Qt::PlainText);
    box.setText(FromUtf8(prompt).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    QAbstractButton* openFolder = nullptr;
    QAbstractButton* saveReport = nullptr;
    switch (kind) {
        case ui::MessageKind::Error:
            box.setIcon(QMessageBox::Critical);
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case ui::MessageKind::Information:
            box.setIcon(QMessageBox::Information);
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case ui::MessageKind::Summary:
            box.setIcon(QMessageBox::Information);
            box.setStandardButtons(QMessageBox::Ok);
            openFolder = box.addButton(QString::fromLatin1(kOpenFolderText), QMessageBox::ActionRole);
            saveReport = box.addButton(QString::fromUtf8(ui::windowTexts::kSaveReportButton), QMessageBox::ActionRole);
            box.setDefaultButton(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Ok);
            break;
        case ui::MessageKind::Question:
            box.setIcon(QMessageBox::Question);
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::No);
            box.setEscapeButton(QMessageBox::No);
            break;
    }
    box.exec();
    QAbstractButton* pressed = box.clickedButton();
    if (kind == ui::MessageKind::Question)
        return pressed == box.button(QMessageBox::Yes) ? ui::Answer::Yes : ui::Answer::No;
    if (openFolder && pressed == openFolder) return ui::Answer::OpenFolder;
    if (saveReport && pressed == saveReport) return ui::Answer::SaveReport;
    return ui::Answer::Ok;
}

bool QtServices::Launch(const ui::LaunchStep& step) {
    const QString subject = FromUtf8(step.subject);
    switch (step.kind) {
        case ui::LaunchStep::Kind::StartProgram: return QProcess::startDetached(FromUtf8(step.program), {subject});
        case ui::LaunchStep::Kind::OpenAddress: return QDesktopServices::openUrl(QUrl(subject, QUrl::StrictMode));
        case ui::LaunchStep::Kind::OpenFile:
            return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(subject).absoluteFilePath()));
    }
    return false;
}

bool QtServices::OpenFolder(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(FromUtf8(path)).absoluteFilePath()));
}

std::string QtServices::CurrentFolder() { return ToUtf8(NativeFolder(QDir::currentPath())); }

std::string QtServices::ProgramFolder() { return ToUtf8(NativeFolder(QCoreApplication::applicationDirPath())); }

long long QtServices::NowMilliseconds() { return clock_.elapsed(); }

void QtServices::EndProgram() {
    ended_ = true;
    QCoreApplication::exit(0);
}

}  // namespace tagshift::qt

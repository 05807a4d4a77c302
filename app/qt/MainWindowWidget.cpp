#include "app/qt/MainWindowWidget.h"

#include <cctype>

#include <QAccessible>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QShortcut>

static void InitResources() { Q_INIT_RESOURCE(tagshift); }

namespace tagshift::qt {

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

MainWindowWidget::MainWindowWidget(ui::Services& services, double textScale, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      design_(ui::MainWindowDesign()),
      textScale_(textScale),
      logic_(*this, services) {
    InitResources();
    InstallAccessibility();
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QString::fromUtf8(design_.caption));
    if (design_.icon) setWindowIcon(QIcon(QStringLiteral(":/tagshift/") + QString::fromLatin1(design_.icon)));
    const int dpi = DotsPerInch(textScale_);
    setFixedSize(ui::TwipsToPixels(design_.widthTwips, dpi), ui::TwipsToPixels(design_.heightTwips, dpi));
    if (design_.backgroundPicture) {
        const QPixmap picture(QStringLiteral(":/tagshift/") + QString::fromLatin1(design_.backgroundPicture));
        background_ = picture.size() == size()
                          ? picture
                          : picture.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    setPalette(DesignPalette(design_.background, ui::kBlack));
    setFont(DesignFont(design_.pointSize100, false, textScale_, kLetterSpacingPercent));
    setMouseTracking(true);
    setAcceptDrops(true);
    Build();
}

void MainWindowWidget::Build() {
    std::vector<QWidget*> built;
    for (const ui::Control& control : design_.controls) {
        QWidget* widget = nullptr;
        switch (control.kind) {
            case ui::ControlKind::Picture:
            case ui::ControlKind::Label: {
                auto* item = new ControlWidget(control, design_.background, textScale_, kLetterSpacingPercent, this);
                item->onActivate = [this, id = control.id] { logic_.Activate(id); };
                item->onPointer = [this, id = control.id] { logic_.PointerOver(id); };
                if (control.mnemonic) {
                    const int key = Qt::Key_A + (std::tolower(static_cast<unsigned char>(control.mnemonic)) - 'a');
                    auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | static_cast<Qt::Key>(key)), this);
                    connect(shortcut, &QShortcut::activated, item, [item] {
                        item->setFocus(Qt::ShortcutFocusReason);
                        item->Activate();
                    });
                }
                widget = item;
                break;
            }
            case ui::ControlKind::TextBox: {
                // The pattern list: read-only, out of sight, never focused,
                // so nothing typed can change which pages are converted.
                auto* box = new QLineEdit(QString::fromUtf8(control.text), this);
                box->setGeometry(PixelRect(control.twips, textScale_));
                box->setFont(DesignFont(control.pointSize100, control.bold, textScale_));
                box->setFocusPolicy(Qt::NoFocus);
                box->setReadOnly(true);
                box->setAttribute(Qt::WA_InputMethodEnabled, false);
                // Hidden as well: a screen reader passes it over.
                box->hide();
                widget = box;
                break;
            }
            case ui::ControlKind::ProgressBar: {
                progress_ = new QProgressBar(this);
                progress_->setGeometry(PixelRect(control.twips, textScale_));
                progress_->setTextVisible(false);
                progress_->setRange(0, 1);
                progress_->setValue(0);
                progress_->setAccessibleName(QString::fromUtf8(control.accessibleName ? control.accessibleName : ""));
                // White on the blue band, whatever the theme.
                const QString white = ToQColor(control.textColour).name();
                progress_->setStyleSheet(
                    QStringLiteral("QProgressBar { border: 1px solid %1; background: transparent; }"
                                   "QProgressBar::chunk { background: %1; }")
                        .arg(white));
                progress_->hide();
                widget = progress_;
                break;
            }
            case ui::ControlKind::Button:
            case ui::ControlKind::CheckBox:
            case ui::ControlKind::Line:
                continue;  // none in this window
        }
        widget->setObjectName(QString::fromLatin1(control.name));
        if (control.tabIndex < 0) widget->setFocusPolicy(Qt::NoFocus);
        if (!qobject_cast<ControlWidget*>(widget)) {
            // Pointer movements over the other widgets reach the logic too,
            // never the window's background.
            widget->setMouseTracking(true);
            widget->installEventFilter(this);
        }
        controls_[control.id] = widget;
    }
    // Tab stops in the design's order.
    const std::vector<ui::ControlId> order = ui::TabOrder(design_);
    for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(Control(order[i - 1]), Control(order[i]));
}

void MainWindowWidget::Start(const std::string& argumentText) {
    logic_.Load(argumentText);
    show();
    logic_.Shown();
}

// --- MainView ---------------------------------------------------------------

void MainWindowWidget::SetText(ui::ControlId id, const std::string& text) {
    if (ControlWidget* control = DesignControl(id)) control->SetText(FromUtf8(text));
}

void MainWindowWidget::SetUnderline(ui::ControlId id, bool underline) {
    if (ControlWidget* control = DesignControl(id)) control->SetUnderline(underline);
}

void MainWindowWidget::SetBorder(ui::ControlId id, bool border) {
    if (ControlWidget* control = DesignControl(id)) control->SetBorder(border);
}

void MainWindowWidget::SetEnabled(ui::ControlId id, bool enabled) { Control(id)->setEnabled(enabled); }

void MainWindowWidget::SetFocus(ui::ControlId id) { Control(id)->setFocus(Qt::OtherFocusReason); }

std::optional<ui::ControlId> MainWindowWidget::FocusedControl() {
    // The window's focus widget, also while a box has the keyboard.
    const QWidget* focus = focusWidget();
    for (const auto& [id, widget] : controls_)
        if (widget == focus) return id;
    return std::nullopt;
}

void MainWindowWidget::SetProgress(long long pagesDone, long long pagesInAll) {
    if (pagesInAll < 0) {
        progress_->hide();
        return;
    }
    // QProgressBar counts in int: very large counts are shown in proportion.
    const long long limit = 1000000;
    const long long range = pagesInAll > limit ? limit : pagesInAll;
    const long long value = pagesInAll > limit ? pagesDone * limit / pagesInAll : pagesDone;
    progress_->setRange(0, static_cast<int>(range));
    progress_->setValue(static_cast<int>(value));
    progress_->show();
}

void MainWindowWidget::Announce(const std::string& text) {
    // The status line's accessible name is the stage announced: a screen
    // reader reads the change, not the files flashing by.
    if (ControlWidget* status = DesignControl(ui::ControlId::StatusLine)) status->SetAnnouncement(FromUtf8(text));
    QAccessibleEvent event(Control(ui::ControlId::StatusLine), QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

void MainWindowWidget::ProcessEvents() { QCoreApplication::processEvents(); }

// --- Events -----------------------------------------------------------------

bool MainWindowWidget::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove)
        for (const auto& [id, widget] : controls_)
            if (widget == watched) {
                logic_.PointerOver(id);
                return true;
            }
    return QWidget::eventFilter(watched, event);
}

void MainWindowWidget::mouseMoveEvent(QMouseEvent*) { logic_.PointerOverBackground(); }

void MainWindowWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!background_.isNull()) painter.drawPixmap(0, 0, background_);
    PaintFocusFrame(*this, painter);
}

void MainWindowWidget::closeEvent(QCloseEvent* event) {
    // During a run the logic asks whether to stop it; it ends the program
    // itself once the run has stopped.
    if (logic_.CloseRequested())
        event->accept();
    else
        event->ignore();
}

void MainWindowWidget::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindowWidget::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        const QString path = url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : url.toString();
        paths.push_back(path.toUtf8().toStdString());
    }
    event->acceptProposedAction();
    // After the drop has ended: the file manager is not kept waiting while a
    // refusal's box is open.
    QMetaObject::invokeMethod(this, [this, paths] { logic_.Dropped(paths); }, Qt::QueuedConnection);
}

}  // namespace tagshift::qt

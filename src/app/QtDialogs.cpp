// SPDX-License-Identifier: MIT
#include "app/QtDialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QDir>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QUrl>

#include "core/app/ErrorReport.h"
#include "options/ColorSwatch.h"

namespace ostrand {

QString QtDialogs::displayText(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

namespace {
// Joins the characters on either side of it into one unbreakable piece.
constexpr char16_t kWordJoiner = 0x2060;
} // namespace

QString QtDialogs::breakableText(const QString& text)
{
    // Text is broken at spaces and after path separators, but not after the separator that begins a path; a
    // hyphen inside a name or a word holds it together.
    QString breakable;
    breakable.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        breakable += c;
        const bool beforeText = i + 1 < text.size() && !text.at(i + 1).isSpace();
        const bool startsPath = (c == QLatin1Char('/') || c == QLatin1Char('\\')) &&
                                (i == 0 || text.at(i - 1).isSpace() || text.at(i - 1) == QLatin1Char('('));
        if (beforeText && (c == QLatin1Char('-') || startsPath))
            breakable += QChar(kWordJoiner);
    }
    return breakable;
}

QString QtDialogs::plainText(const QString& shown)
{
    QString plain = shown;
    plain.remove(QChar(kWordJoiner));
    // A selection across lines comes with paragraph separators.
    plain.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    plain.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return plain;
}

QStringList QtDialogs::openFileNames(const QString& title, const QString& filter)
{
    // Qt gives "/" on every system; the file list holds the system's own separators.
    QStringList names = QFileDialog::getOpenFileNames(m_owner, title, QString(), filter);
    for (QString& name : names)
        name = QDir::toNativeSeparators(name);
    return names;
}

qint64 QtDialogs::pickColor(qint64 initialColor)
{
    const QColor chosen = QColorDialog::getColor(colorOfNumber(initialColor), m_owner);
    return chosen.isValid() ? numberOfColor(chosen) : initialColor;
}

QString QtDialogs::browseForFolder(const QString& title, const QString& startFolder)
{
    return QDir::toNativeSeparators(
        QFileDialog::getExistingDirectory(m_owner, title, startFolder, QFileDialog::ShowDirsOnly));
}

QString QtDialogs::inputText(const QString& prompt, const QString& title, const QString& defaultText)
{
    bool accepted = false;
    const QString text =
        QInputDialog::getText(m_owner, title, displayText(prompt), QLineEdit::Normal, defaultText, &accepted);
    return accepted ? text : QString();
}

namespace {

// A report box is a dialog: a title and a close button, no minimise or maximise.
constexpr Qt::WindowFlags kBoxFlags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                      Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                      Qt::MSWindowsFixedSizeDialogHint;

// The room a window manager's title bar takes besides the title: the window's icon and up to three buttons.
constexpr int kTitleBarExtras = 120;

// An OK box: its text can be selected, Ctrl+C copies it (the selection, or the whole box when nothing is selected),
// its lines break only at spaces and path separators, and it is wide enough for its title.
class OkBox : public QMessageBox
{
public:
    OkBox(Icon icon, const QString& title, const QString& text)
        : QMessageBox(icon, title, QtDialogs::breakableText(QtDialogs::displayText(text)), Ok, nullptr, kBoxFlags),
          m_text(QtDialogs::displayText(text))
    {
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        // The box is never narrower than its title needs: a row of that width below everything else.
        if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
            QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
            titleFont.setBold(true);
            const int titleWidth = QFontMetrics(titleFont).horizontalAdvance(title) + kTitleBarExtras;
            grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Fixed, QSizePolicy::Fixed), grid->rowCount(), 0,
                          1, grid->columnCount());
        }
    }

    // What Ctrl+C puts on the clipboard.
    QString copiedText() const
    {
        const auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (label && label->hasSelectedText())
            return QtDialogs::plainText(label->selectedText());
        return windowTitle() + QStringLiteral("\n\n") + m_text;
    }

    // Where it opens: over the window it belongs to.
    void centreOver(QWidget* owner) { m_owner = owner; }

protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        // A line is never broken inside a word, however long it is; the box grows instead, as far as the screen
        // allows.
        if (auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
            label->setWordWrap(true);
        const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect(0, 0, 1 << 20, 1 << 20);
        const int wanted = qMin(qMax(width(), layout()->totalMinimumSize().width()), screen.width());
        if (wanted != width()) {
            const int height = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(wanted) : this->height();
            setFixedSize(wanted, qMin(height, screen.height()));
        }
        if (m_owner && m_owner->isVisible()) {
            QRect placed(QPoint(), size());
            placed.moveCenter(m_owner->frameGeometry().center());
            move(placed.topLeft());
        }
    }

private:
    QString m_text;
    QPointer<QWidget> m_owner;
};

// While an OK box is open, the user's input reaches no other window, as with a modal box, and the box keeps the
// activation; but the owner window can still be closed. Qt drops the close of a window that a modal box blocks,
// so a long operation that reports many failures would hold the user until the last box: closing the window
// closes the box, and the operation, which sees the window closing, ends. The box cannot be minimised: it comes
// back at once, so no input is held by a box out of sight.
class InputHold : public QObject
{
public:
    InputHold(OkBox& box, QWidget* owner) : m_box(box), m_owner(owner) { qApp->installEventFilter(this); }
    ~InputHold() override { qApp->removeEventFilter(this); }
    InputHold(const InputHold&) = delete;
    InputHold& operator=(const InputHold&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (widget == m_owner && event->type() == QEvent::Close) {
            m_box.reject();
            return false;
        }
        if (widget->window() == &m_box) {
            if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
                if (QClipboard* clipboard = QGuiApplication::clipboard())
                    clipboard->setText(m_box.copiedText());
                return true;
            }
            if (widget == &m_box && event->type() == QEvent::WindowStateChange && m_box.isMinimized())
                QMetaObject::invokeMethod(
                    &m_box,
                    [box = &m_box] {
                        box->setWindowState(box->windowState() & ~Qt::WindowMinimized);
                        box->show();
                        box->raise();
                        box->activateWindow();
                    },
                    Qt::QueuedConnection);
            return false;
        }
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return true;
        case QEvent::WindowActivate:
            // Another window of the program was activated: the box takes the activation back.
            QMetaObject::invokeMethod(
                &m_box,
                [box = &m_box] {
                    box->raise();
                    box->activateWindow();
                },
                Qt::QueuedConnection);
            return false;
        default:
            return false;
        }
    }

private:
    OkBox& m_box;
    QPointer<QWidget> m_owner;
};

// An OK box that waits until it is closed, and lets the owner close meanwhile. The box is a window of the program
// but not a child of the owner's window: a window manager that minimises a child window with its parent would hide
// the main window with it.
void showOkBox(QWidget* owner, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    OkBox box(icon, title, text);
    box.setWindowModality(Qt::NonModal);
    box.centreOver(owner);
    if (owner)
        box.setWindowIcon(owner->windowIcon());
    const InputHold hold(box, owner);
    QEventLoop loop;
    QObject::connect(&box, &QDialog::finished, &loop, &QEventLoop::quit);
    box.show();
    box.activateWindow();
    if (box.isVisible())
        loop.exec(QEventLoop::DialogExec);
    // As after a modal box, the window it belongs to has the activation again.
    if (owner && owner->isVisible())
        owner->activateWindow();
}

QMessageBox::StandardButton showBox(QWidget* owner, QMessageBox::Icon icon, const QString& title, const QString& text,
                                    QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, title, QtDialogs::displayText(text), buttons, owner);
    box.setWindowModality(Qt::ApplicationModal);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

void QtDialogs::message(const QString& text, const QString& title)
{
    showOkBox(m_owner, QMessageBox::NoIcon, title, text);
}

bool QtDialogs::question(const QString& text, const QString& title)
{
    return showBox(m_owner, QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void QtDialogs::errorReport(const QString& text)
{
    showOkBox(m_owner, QMessageBox::Warning, errorReportTitle(), text);
}

void QtDialogs::openFolderInFileManager(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace ostrand

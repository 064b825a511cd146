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
#include <QScrollArea>
#include <QScrollBar>
#include <QUrl>
#include <QWindow>

#include "app/BoxText.h"
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

// The room a window manager's frame takes around a box, where the system does not tell it yet: borders and a title
// bar.
constexpr QMargins kFrameGuess(8, 40, 8, 8);
// The widest a box grows to keep its lines whole, where the screen allows.
constexpr int kWidestBox = 1000;

// A box of the program. Its text can be selected, and Ctrl+C copies it: the selection, or the whole box when nothing
// is selected. Its lines break at spaces and path separators, and a piece wider than a line inside itself. It fits
// the screen's available area, frame included: a text too tall for it scrolls while the buttons stay in sight.
class TextBox : public QMessageBox
{
public:
    TextBox(Icon icon, const QString& title, const QString& text, StandardButtons buttons, QWidget* parent,
            Qt::WindowFlags flags)
        : QMessageBox(icon, title, QString(), buttons, parent, flags), m_text(QtDialogs::displayText(text)),
          m_boxText(m_text)
    {
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        m_label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        m_label->setTextFormat(Qt::PlainText);
        m_label->setText(m_boxText.shown());
        // The text lies in an area of its own, which scrolls where the box would be taller than the screen.
        auto* grid = qobject_cast<QGridLayout*>(layout());
        int row = 0, column = 0, rows = 1, columns = 1;
        grid->getItemPosition(grid->indexOf(m_label), &row, &column, &rows, &columns);
        grid->removeWidget(m_label);
        m_scroll = new QScrollArea(this);
        m_scroll->setFrameShape(QFrame::NoFrame);
        m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_scroll->setWidgetResizable(true);
        m_scroll->setWidget(m_label);
        // The box's own background shows through, as it did behind the text before (a style may paint the
        // message's part of the box apart from its buttons').
        m_scroll->viewport()->setAutoFillBackground(false);
        m_label->setAutoFillBackground(false);
        grid->addWidget(m_scroll, row, column, rows, columns);
    }

    // What Ctrl+C puts on the clipboard.
    QString copiedText() const
    {
        if (m_label->hasSelectedText()) {
            const qsizetype from = m_label->selectionStart();
            return m_boxText.original(from, from + m_label->selectedText().size());
        }
        return windowTitle() + QStringLiteral("\n\n") + m_text;
    }

    // Where it opens: over the window it belongs to, on the screen.
    void centreOver(QWidget* owner) { m_owner = owner; }

protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        fitToScreen();
        // The whole box, its frame included (where a window is placed), within the screen's available area.
        QRect placed(pos(), size().grownBy(frameMargins()));
        if (m_owner && m_owner->isVisible())
            placed.moveCenter(m_owner->frameGeometry().center());
        const QRect area = screenArea();
        placed.moveLeft(qBound(area.left(), placed.left(), area.right() - placed.width() + 1));
        placed.moveTop(qBound(area.top(), placed.top(), area.bottom() - placed.height() + 1));
        move(placed.topLeft());
    }

    bool event(QEvent* event) override
    {
        // While the box is open Ctrl+C copies it, wherever its focus is.
        if (event->type() == QEvent::Show)
            qApp->installEventFilter(this);
        else if (event->type() == QEvent::Hide)
            qApp->removeEventFilter(this);
        // The box keeps the size it was fitted to: Qt's own sizing would undo it whenever the layout changes.
        if (event->type() == QEvent::LayoutRequest)
            return QDialog::event(event);
        return QMessageBox::event(event);
    }

    void changeEvent(QEvent* event) override
    {
        QMessageBox::changeEvent(event);
        if (isVisible() && (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange))
            fitToScreen();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == this &&
            static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
            if (QClipboard* clipboard = QGuiApplication::clipboard())
                clipboard->setText(copiedText());
            return true;
        }
        return QMessageBox::eventFilter(watched, event);
    }

private:
    QRect screenArea() const
    {
        const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        return screen ? screen->availableGeometry() : QRect(0, 0, 1 << 20, 1 << 20);
    }

    // The window manager's frame around the box, or a guess until it has one.
    QMargins frameMargins() const
    {
        const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
        return frame.isNull() ? kFrameGuess : frame;
    }

    // Sizes the box for its text within the screen's available area, the frame taken off.
    void fitToScreen()
    {
        const QRect area = screenArea().marginsRemoved(frameMargins());
        m_label->setWordWrap(true);
        layout()->activate();
        // What the box takes around its text, beside and above and below it.
        const int besideText = width() - m_scroll->width();
        const int aroundText = height() - m_scroll->height();
        const QFontMetrics metrics(m_label->font());
        int widest = 0;
        for (const QString& line : m_text.split(QLatin1Char('\n')))
            widest = qMax(widest, metrics.horizontalAdvance(line));
        const int widestBox = qMin(area.width(), qMax(kWidestBox, width()));
        const int boxWidth = qBound(qMin(width(), widestBox), widest + besideText + 2, widestBox);
        int textWidth = boxWidth - besideText;
        setText(textWidth);
        int boxHeight = aroundText + m_label->heightForWidth(textWidth);
        if (boxHeight > area.height()) {
            // The text scrolls: its lines are a scroll bar narrower.
            boxHeight = area.height();
            textWidth -= m_scroll->verticalScrollBar()->sizeHint().width();
            setText(textWidth);
        }
        // The area shows all of the text, scrolled where it is taller.
        m_label->setMinimumHeight(m_label->heightForWidth(textWidth));
        setFixedSize(boxWidth, boxHeight);
    }

    // Shows the text with its pieces broken for lines of that width.
    void setText(int width)
    {
        m_boxText = BoxText(m_text);
        m_boxText.breakWidePieces(m_label->font(), width);
        m_label->setText(m_boxText.shown());
    }

    QString m_text; // as given, with its line breaks as the box shows them
    BoxText m_boxText;
    QLabel* m_label = nullptr;
    QScrollArea* m_scroll = nullptr;
    QPointer<QWidget> m_owner;
};

// An OK box: a text box that is wide enough for its title.
class OkBox : public TextBox
{
public:
    OkBox(Icon icon, const QString& title, const QString& text) : TextBox(icon, title, text, Ok, nullptr, kBoxFlags)
    {
        // The box is never narrower than its title needs: a row of that width below everything else.
        if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
            QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
            titleFont.setBold(true);
            const int titleWidth = QFontMetrics(titleFont).horizontalAdvance(title) + kTitleBarExtras;
            grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Fixed, QSizePolicy::Fixed), grid->rowCount(), 0,
                          1, grid->columnCount());
        }
    }
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
    TextBox box(icon, title, text, buttons, owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.centreOver(owner);
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

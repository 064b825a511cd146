// SPDX-License-Identifier: MIT
#include "app/QtDialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
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

// While an OK box is open, the user's input reaches no other window, as with a modal box, and the box keeps the
// activation; but the owner window can still be closed. Qt drops the close of a window that a modal box blocks,
// so a long operation that reports many failures would hold the user until the last box: closing the window
// closes the box, and the operation, which sees the window closing, ends.
class InputHold : public QObject
{
public:
    InputHold(QMessageBox& box, QWidget* owner) : m_box(box), m_owner(owner) { qApp->installEventFilter(this); }
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
        if (widget->window() == &m_box)
            return false;
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
    QMessageBox& m_box;
    QPointer<QWidget> m_owner;
};

// An OK box that waits until it is closed, and lets the owner close meanwhile.
void showOkBox(QWidget* owner, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    QMessageBox box(icon, title, QtDialogs::displayText(text), QMessageBox::Ok, owner);
    box.setWindowModality(Qt::NonModal);
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

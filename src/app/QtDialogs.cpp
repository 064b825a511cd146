// SPDX-License-Identifier: MIT
#include "app/QtDialogs.h"

#include <QColorDialog>
#include <QDesktopServices>
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
    return QFileDialog::getOpenFileNames(m_owner, title, QString(), filter);
}

qint64 QtDialogs::pickColor(qint64 initialColor)
{
    const QColor chosen = QColorDialog::getColor(colorOfNumber(initialColor), m_owner);
    return chosen.isValid() ? numberOfColor(chosen) : initialColor;
}

QString QtDialogs::browseForFolder(const QString& title, const QString& startFolder)
{
    return QFileDialog::getExistingDirectory(m_owner, title, startFolder, QFileDialog::ShowDirsOnly);
}

QString QtDialogs::inputText(const QString& prompt, const QString& title, const QString& defaultText)
{
    bool accepted = false;
    const QString text =
        QInputDialog::getText(m_owner, title, displayText(prompt), QLineEdit::Normal, defaultText, &accepted);
    return accepted ? text : QString();
}

namespace {

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
    showBox(m_owner, QMessageBox::NoIcon, title, text, QMessageBox::Ok);
}

bool QtDialogs::question(const QString& text, const QString& title)
{
    return showBox(m_owner, QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void QtDialogs::errorReport(const QString& text)
{
    showBox(m_owner, QMessageBox::Warning, errorReportTitle(), text, QMessageBox::Ok);
}

void QtDialogs::openFolderInFileManager(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace ostrand

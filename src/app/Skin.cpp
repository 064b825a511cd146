// SPDX-License-Identifier: MIT
#include "app/Skin.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

#include "app/Legibility.h"

namespace ostrand {

namespace {

void setBackground(QWidget* widget, const QColor& color)
{
    followPaletteColours(widget, color);
}

} // namespace

QString skinPath(const QString& programFolder)
{
    return programFolder + QStringLiteral("/x/o.cjs");
}

bool skinFileExists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

Status applySkin(QWidget& window, const QString& path)
{
    // A skinned window follows the desktop's palette, every control of it.
    window.setPalette(QApplication::palette());
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    setBackground(&window, buttonFace);
    const QList<QWidget*> children = window.findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child) || qobject_cast<QGroupBox*>(child) ||
            qobject_cast<QLabel*>(child))
            setBackground(child, buttonFace);
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return Failure{file.errorString()};
    window.setStyleSheet(QString::fromUtf8(file.readAll()));
    return {};
}

} // namespace ostrand

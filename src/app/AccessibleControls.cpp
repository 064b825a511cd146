// SPDX-License-Identifier: MIT
#include "app/AccessibleControls.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/CaptionProgressBar.h"
#include "app/Form1.h"
#include "filelist/FileListView.h"

namespace ostrand {

namespace {

void describe(QWidget* widget, const QString& name, const QString& toolTip = QString())
{
    widget->setAccessibleName(name);
    if (!toolTip.isEmpty())
        widget->setToolTip(toolTip);
}

} // namespace

void describeControls(Form1& form)
{
    describe(form.ListView1, QStringLiteral("Files to convert"));
    describe(form.Text1, QStringLiteral("Other delimiter"));
    describe(form.Text2, QStringLiteral("Border width"));
    describe(form.Picture1, QStringLiteral("Text colour"), QStringLiteral("The table's text colour"));
    describe(form.PushButton6, QStringLiteral("Choose text colour"), QStringLiteral("Choose text colour"));
    describe(form.Picture2, QStringLiteral("Background colour"), QStringLiteral("The table's background colour"));
    describe(form.PushButton8, QStringLiteral("Choose background colour"), QStringLiteral("Choose background colour"));
    describe(form.Text3, QStringLiteral("Output folder"));
    describe(form.PushButton4, QStringLiteral("Choose output folder"), QStringLiteral("Choose output folder"));
    describe(form.ProgressBar1, QStringLiteral("Conversion progress"));

    form.Label1->setBuddy(form.Text2);
    form.Label2->setBuddy(form.PushButton6);
    form.Label3->setBuddy(form.PushButton8);
}

} // namespace ostrand

// SPDX-License-Identifier: MIT
#include "app/AccessibleControls.h"

#include <QAccessibleWidget>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/CaptionProgressBar.h"
#include "app/Form1.h"
#include "filelist/FileListView.h"

namespace ostrand {

namespace {

// The roles of the window's own controls, where Qt's would mislead: the main window, a plain widget to Qt, is a
// frame (the role of a top-level window); a colour swatch, a frame to Qt, is a label that shows its colour. A
// screen reader's list of windows then shows one Ostrand window.
QAccessibleInterface* roleOfControl(const QString&, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    if (qobject_cast<Form1*>(widget))
        return new QAccessibleWidget(widget, QAccessible::Window);
    const QString name = widget->objectName();
    if (name == QLatin1String("Picture1") || name == QLatin1String("Picture2"))
        return new QAccessibleWidget(widget, QAccessible::StaticText);
    return nullptr;
}

void describe(QWidget* widget, const QString& name, const QString& toolTip = QString())
{
    widget->setAccessibleName(name);
    if (!toolTip.isEmpty())
        widget->setToolTip(toolTip);
}

} // namespace

void installControlRoles()
{
    static const bool installed = [] {
        QAccessible::installFactory(roleOfControl);
        return true;
    }();
    Q_UNUSED(installed);
}

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

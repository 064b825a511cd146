// SPDX-License-Identifier: MIT
#include "support/gui/WindowFixture.h"

#include <QtTest>

namespace ostrand::test {

namespace {
QString sectionKey(const QString& key)
{
    return QStringLiteral("Ostrand/") + key;
}
} // namespace

WindowFixture::WindowFixture()
{
    m_tree.makeFolder(QStringLiteral("config"));
    m_tree.makeFolder(QStringLiteral("program"));
}

WindowFixture::~WindowFixture() = default;

void WindowFixture::store(const QString& key, const QString& value)
{
    QSettings writer(settingsPath(), QSettings::IniFormat);
    writer.setValue(sectionKey(key), value);
    writer.sync();
}

QString WindowFixture::stored(const QString& key) const
{
    QSettings reader(settingsPath(), QSettings::IniFormat);
    return reader.value(sectionKey(key)).toString();
}

bool WindowFixture::isStored(const QString& key) const
{
    QSettings reader(settingsPath(), QSettings::IniFormat);
    return reader.contains(sectionKey(key));
}

Form1& WindowFixture::open(const QString& programFolder)
{
    m_form.reset();
    m_settings = std::make_unique<QSettings>(settingsPath(), QSettings::IniFormat);
    const QString folder = programFolder.isEmpty() ? m_tree.path(QStringLiteral("program")) : programFolder;
    m_form = std::make_unique<Form1>(*m_settings, dialogs, folder);
    return *m_form;
}

Form1& WindowFixture::openShown(const QString& programFolder)
{
    Form1& window = open(programFolder);
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window))
        QTest::qFail("The main window did not become active", __FILE__, __LINE__);
    return window;
}

} // namespace ostrand::test

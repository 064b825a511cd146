// SPDX-License-Identifier: MIT
#include "core/settings/SettingsStore.h"

#include <array>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>

#include "core/common/NameBytes.h"
#include "core/common/Paths.h"

namespace ostrand {

namespace {

const QString kSection = QStringLiteral("Ostrand");

const std::array<SettingDefault, 14>& defaults()
{
    static const std::array<SettingDefault, 14> table{{
        {SettingKey::option1(), QStringLiteral("1")},
        {SettingKey::option2(), QStringLiteral("0")},
        {SettingKey::option3(), QStringLiteral("0")},
        {SettingKey::option4(), QStringLiteral("0")},
        {SettingKey::option5(), QStringLiteral("0")},
        {SettingKey::other(), QStringLiteral("|")},
        {SettingKey::borderWidth(), QStringLiteral("1")},
        {SettingKey::textColor(), QStringLiteral("0")},
        {SettingKey::backgroundColor(), QStringLiteral("16777215")},
        {SettingKey::option6(), QStringLiteral("1")},
        {SettingKey::option7(), QStringLiteral("0")},
        {SettingKey::lastFolderDot(), QString()},
        {SettingKey::lastFolder(), QString()},
        {SettingKey::extension(), QStringLiteral("csv")},
    }};
    return table;
}

// The environment variable the user's settings folder is named by ($XDG_CONFIG_HOME, or $HOME without it), when the
// store's name holds U+FFFD because that variable's bytes are not valid UTF-8; "" otherwise.
QByteArray undecodableFolderVariable(const QString& fileName)
{
    if (!fileName.contains(QChar::ReplacementCharacter))
        return QByteArray();
    for (const char* variable : {"XDG_CONFIG_HOME", "HOME"}) {
        const QByteArray value = qgetenv(variable);
        if (!value.isEmpty())
            return IsValidUtf8Name(value) ? QByteArray() : QByteArray(variable);
    }
    return QByteArray();
}

// A section or key as the settings file spells it: letters, digits, "_", "-" and "." as they are, any other
// character of the store's names as "%" and two hexadecimal digits.
QByteArray spelledInFile(const QString& name)
{
    QByteArray spelled;
    for (const QChar c : name) {
        const char16_t unit = c.unicode();
        if ((unit >= 'a' && unit <= 'z') || (unit >= 'A' && unit <= 'Z') || (unit >= '0' && unit <= '9') ||
            unit == '_' || unit == '-' || unit == '.')
            spelled += char(unit);
        else
            spelled += '%' + QByteArray::number(unit, 16).toUpper().rightJustified(2, '0');
    }
    return spelled;
}

// How many U+FEFF the value the settings file holds for the key begins with. Qt reads such a value without the first
// of them, taking it for a byte order mark, though it is the first character of a name or a text the user chose;
// what it wrote itself in this run it still gives as it was.
qsizetype initialMarksStored(const QString& fileName, const QString& key)
{
    static const QByteArray mark("\xEF\xBB\xBF");
    QFile file(fileName);
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = file.readAll();
    if (!bytes.contains(mark))
        return 0;
    const QByteArray header = '[' + spelledInFile(kSection) + ']';
    const QByteArray name = spelledInFile(key);
    bool inSection = false;
    qsizetype marks = 0;
    for (const QByteArray& line : bytes.split('\n')) {
        const QByteArray text = line.trimmed();
        if (text.startsWith('[')) {
            inSection = text == header;
            continue;
        }
        const qsizetype equals = text.indexOf('=');
        if (!inSection || equals < 0 || text.left(equals).trimmed() != name)
            continue;
        QByteArrayView value = QByteArrayView(text).sliced(equals + 1).trimmed();
        if (value.startsWith('"'))
            value = value.sliced(1);
        for (marks = 0; value.startsWith(mark); ++marks)
            value = value.sliced(mark.size());
    }
    return marks;
}

} // namespace

const SettingDefault* findSettingDefault(const QString& key)
{
    for (const auto& entry : defaults()) {
        if (entry.key == key)
            return &entry;
    }
    return nullptr;
}

SettingsStore::SettingsStore(QSettings& settings)
    : m_settings(settings), m_undecodableFolderVariable(undecodableFolderVariable(settings.fileName()))
{
}

QString SettingsStore::shownFileName() const
{
    const QString name = m_settings.fileName();
    if (m_undecodableFolderVariable.isEmpty())
        return name;
    const QByteArray bytes = UndecodedBytesOf(name, {qgetenv(m_undecodableFolderVariable.constData())});
    return ShownName(bytes.isEmpty() ? name.toUtf8() : bytes);
}

QString SettingsStore::unreadableReason() const
{
    if (!m_undecodableFolderVariable.isEmpty())
        return QStringLiteral("The name of its folder, from $%1, is not valid UTF-8")
            .arg(QLatin1String(m_undecodableFolderVariable));
    const QString path = m_settings.fileName();
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return QString();
    if (info.isDir())
        return QStringLiteral("It is a folder, not a file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    return QString();
}

QString SettingsStore::unwritableReason() const
{
    if (!m_undecodableFolderVariable.isEmpty())
        return unreadableReason();
    if (m_settings.isWritable() && m_settings.status() != QSettings::AccessError)
        return QString();
    // The store rewrites its file whole, beside it, and reads it back: the file must be readable and writable
    // and its folder writable.
    const QString path = m_settings.fileName();
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("It is a folder, not a file");
    if (info.exists()) {
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite))
            return file.errorString();
    }
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("Its folder %1 cannot be made").arg(folder);
    QTemporaryFile probe(folder + QStringLiteral("/.Kelvadine-XXXXXX"));
    if (!probe.open())
        return QStringLiteral("Its folder %1 cannot be written: %2").arg(folder, probe.errorString());
    return QStringLiteral("The file cannot be written");
}

void SettingsStore::checkSaving()
{
    if (!m_undecodableFolderVariable.isEmpty() || !m_settings.isWritable() ||
        m_settings.status() == QSettings::AccessError)
        savingFailed();
}

void SettingsStore::savingFailed()
{
    if (m_toldSavingFails || !m_tellSavingFails)
        return;
    m_toldSavingFails = true;
    m_tellSavingFails(shownFileName(), unwritableReason());
}

bool SettingsStore::folderNameNotValidUtf8(const QString& fileName)
{
    return !undecodableFolderVariable(fileName).isEmpty();
}

std::unique_ptr<QSettings> SettingsStore::openUserSettings()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kelvadine"));
}

QString SettingsStore::ReadSetting(const QString& key, const QString& defaultText) const
{
    if (!m_undecodableFolderVariable.isEmpty())
        return defaultText;
    m_settings.sync();
    const QString path = kSection + QLatin1Char('/') + key;
    if (!m_settings.contains(path))
        return defaultText;
    QString value = m_settings.value(path).toString();
    qsizetype read = 0;
    while (read < value.size() && value.at(read) == QChar(0xFEFF))
        ++read;
    const qsizetype stored = initialMarksStored(m_settings.fileName(), key);
    if (stored > read)
        value.prepend(QString(stored - read, QChar(0xFEFF)));
    return value;
}

QString SettingsStore::read(const QString& key) const
{
    if (key == SettingKey::outputFolder()) {
        const auto desktop = desktopFolder();
        return ReadSetting(key, desktop.ok() ? desktop.value() : QString());
    }
    const SettingDefault* entry = findSettingDefault(key);
    return ReadSetting(key, entry ? entry->defaultText : QString());
}

void SettingsStore::WriteSetting(const QString& key, const QString& text)
{
    // Never under a name that is not the folder's: the user is told once that the choices are not saved.
    if (!m_undecodableFolderVariable.isEmpty()) {
        savingFailed();
        return;
    }
    m_settings.setValue(kSection + QLatin1Char('/') + key, text);
    m_settings.sync();
    if (m_settings.status() == QSettings::AccessError)
        savingFailed();
}

Result<bool> SettingsStore::parseYesNo(const QString& text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    // A number as the store and its defaults write one: a sign, digits and a decimal point at most; "nan",
    // "inf", exponents and hexadecimal forms are not among them.
    static const QRegularExpression plainDecimal(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)$)"));
    if (plainDecimal.match(t).hasMatch())
        return t.toDouble() != 0.0;
    return Failure{QStringLiteral("Type mismatch: \"%1\" is not a yes/no value").arg(text)};
}

Result<qint64> SettingsStore::parseColorNumber(const QString& text)
{
    bool isNumber = false;
    const qint64 number = text.trimmed().toLongLong(&isNumber, 10);
    if (!isNumber || number < -2147483648LL || number > 4294967295LL)
        return Failure{QStringLiteral("Type mismatch: \"%1\" is not a colour number").arg(text)};
    return number;
}

Result<bool> SettingsStore::readYesNo(const QString& key, bool defaultValue) const
{
    return parseYesNo(ReadSetting(key, defaultValue ? QStringLiteral("1") : QStringLiteral("0")));
}

Result<qint64> SettingsStore::readColor(const QString& key, qint64 defaultValue) const
{
    return parseColorNumber(ReadSetting(key, QString::number(defaultValue)));
}

Result<QString> SettingsStore::desktopFolder()
{
    // A fresh home folder has no desktop folder yet: the documents then go to the home folder itself.
    const QString desktop = QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir())
        return desktop + pathSeparator();
    const QString home = QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::HomeLocation));
    if (home.isEmpty())
        return Failure{QStringLiteral("The desktop folder could not be found")};
    return home.endsWith(pathSeparator()) ? home : home + pathSeparator();
}

} // namespace ostrand

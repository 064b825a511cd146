// SPDX-License-Identifier: MIT
// The settings store's readers of stored values. The first byte chooses what the rest is: the bytes of a
// settings file as any editor or failing disk may leave it, a text to store and read back, or a text and a
// number for the value parsers.
#include <array>
#include <cstdint>

#include <QFile>
#include <QSettings>

#include "FuzzSupport.h"
#include "core/settings/SettingsStore.h"

using namespace ostrand;

namespace {

const std::array<QString, 16> kKeys = {
    SettingKey::option1(),         SettingKey::option2(),      SettingKey::option3(),     SettingKey::option4(),
    SettingKey::option5(),         SettingKey::other(),        SettingKey::borderWidth(), SettingKey::textColor(),
    SettingKey::backgroundColor(), SettingKey::outputFolder(), SettingKey::option6(),     SettingKey::option7(),
    SettingKey::lastFolderDot(),   SettingKey::lastFolder(),   SettingKey::extension(),   QStringLiteral("Unknown"),
};

QString settingsPath()
{
    return fuzz::workFolder() + QStringLiteral("/Kelvadine.conf");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    fuzz::check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size(),
                "the settings file can be written");
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Any file: every reader answers, agrees with parsing the text it reads, and reading changes nothing.
void checkStoredFile(const QByteArray& bytes)
{
    // Values that Qt serialises itself are read by its data stream, which reserves whatever length a corrupt
    // value claims: untouched memory in a normal build (the programs stay at about 10 MB), gigabytes under
    // AddressSanitizer. The store never writes such values; a file holding one is left to the other checks.
    if (bytes.contains("@Variant(") || bytes.contains("@DateTime("))
        return;
    const QString path = settingsPath();
    writeFile(path, bytes);
    QSettings settings(path, QSettings::NativeFormat);
    const SettingsStore store(settings);
    for (const QString& key : kKeys) {
        const QString absent = QStringLiteral("\x01absent");
        const QString text = store.ReadSetting(key, absent);
        fuzz::check(store.ReadSetting(key, absent) == text, "a read gives the same text twice", text.toUtf8());
        const QString stored = text == absent ? QStringLiteral("1") : text;
        const Result<bool> yesNo = store.readYesNo(key, true);
        const Result<bool> parsedYesNo = SettingsStore::parseYesNo(stored);
        fuzz::check(yesNo.ok() == parsedYesNo.ok() && (!yesNo.ok() || yesNo.value() == parsedYesNo.value()),
                    "readYesNo parses the stored text", stored.toUtf8());
        const Result<qint64> color = store.readColor(key, 1);
        const Result<qint64> parsedColor = SettingsStore::parseColorNumber(stored);
        fuzz::check(color.ok() == parsedColor.ok() && (!color.ok() || color.value() == parsedColor.value()),
                    "readColor parses the stored text", stored.toUtf8());
        (void)store.read(key);
    }
    fuzz::check(readFile(path) == bytes, "reading the settings leaves the file as it was");
}

// Any text stored under a key reads back exactly, from a fresh look at the file, and leaves the other
// keys as they were.
void checkStoredText(std::uint8_t which, const QString& text)
{
    const QString path = settingsPath();
    QFile::remove(path);
    const QString& key = kKeys[which % kKeys.size()];
    const QString& neighbour = kKeys[(which + 1) % kKeys.size()];
    {
        QSettings settings(path, QSettings::NativeFormat);
        SettingsStore store(settings);
        store.WriteSetting(neighbour, QStringLiteral("kept"));
        store.WriteSetting(key, text);
    }
    QSettings settings(path, QSettings::NativeFormat);
    const SettingsStore store(settings);
    const QString back = store.ReadSetting(key, QStringLiteral("\x01absent"));
    fuzz::check(back == text, "a stored text reads back exactly", back.toUtf8(), text.toUtf8());
    fuzz::check(store.ReadSetting(neighbour, QString()) == QLatin1String("kept"), "storing keeps the other keys");
}

// The value parsers against the texts the store itself writes and a few spellings of them.
void checkParsers(const QString& text, qint64 number)
{
    (void)SettingsStore::parseYesNo(text);
    const Result<qint64> parsed = SettingsStore::parseColorNumber(text);
    if (parsed.ok()) {
        fuzz::check(parsed.value() >= -2147483648LL && parsed.value() <= 4294967295LL, "a colour number fits 32 bits",
                    text.toUtf8());
    }

    for (const bool value : {true, false}) {
        const Result<bool> back = SettingsStore::parseYesNo(SettingsStore::yesNoText(value));
        fuzz::check(back.ok() && back.value() == value, "a stored yes/no reads back");
    }
    const QString digits = QString::number(number);
    const Result<bool> yesNo = SettingsStore::parseYesNo(QStringLiteral(" ") + digits + QStringLiteral("\t"));
    fuzz::check(yesNo.ok() && yesNo.value() == (number != 0), "a number is yes when it is not zero", digits.toUtf8());
    const Result<qint64> color = SettingsStore::parseColorNumber(QStringLiteral(" ") + digits + QStringLiteral(" "));
    const bool fits = number >= -2147483648LL && number <= 4294967295LL;
    fuzz::check(color.ok() == fits && (!fits || color.value() == number),
                "a colour number reads back when it fits 32 bits", digits.toUtf8());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const std::uint8_t mode = input.byte();
    switch (mode % 3) {
    case 0:
        checkStoredFile(input.rest());
        break;
    case 1:
        checkStoredText(mode / 3, QString::fromUtf8(input.rest()));
        break;
    default: {
        const qint64 number = input.int64() >> (mode % 64);
        checkParsers(QString::fromUtf8(input.rest()), number);
        break;
    }
    }
    return 0;
}

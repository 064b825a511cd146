// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>

#include <QString>

#include "core/common/Result.h"

class QSettings;

namespace ostrand {

// The keys of the settings store, all in the one section "Ostrand".
namespace SettingKey {
inline QString option1() { return QStringLiteral("Option1"); }
inline QString option2() { return QStringLiteral("Option2"); }
inline QString option3() { return QStringLiteral("Option3"); }
inline QString option4() { return QStringLiteral("Option4"); }
inline QString option5() { return QStringLiteral("Option5"); }
inline QString other() { return QStringLiteral("Other"); }
inline QString borderWidth() { return QStringLiteral("Border Width"); }
inline QString textColor() { return QStringLiteral("Text Color"); }
inline QString backgroundColor() { return QStringLiteral("Background Color"); }
inline QString outputFolder() { return QStringLiteral("Output Folder"); }
inline QString option6() { return QStringLiteral("Option6"); }
inline QString option7() { return QStringLiteral("Option7"); }
inline QString lastFolderDot() { return QStringLiteral("LastFolderDot"); }
inline QString lastFolder() { return QStringLiteral("LastFolder"); }
inline QString extension() { return QStringLiteral("Extension"); }
} // namespace SettingKey

// One key with the default its readers pass when the key is absent.
struct SettingDefault
{
    QString key;
    QString defaultText;
};

// The fixed defaults. "Output Folder" defaults to the desktop folder, which only the reader can look up.
const SettingDefault* findSettingDefault(const QString& key);

// Persistent per-user text values under the application name "Kelvadine", section "Ostrand".
// Nothing is cached: every read goes to the store, every write is synced at once.
class SettingsStore
{
public:
    // Uses the given QSettings (a temporary file in tests); the store does not own it.
    explicit SettingsStore(QSettings& settings);

    // The user's own store: the native format, user scope, organisation "Kelvadine", no application name.
    static std::unique_ptr<QSettings> openUserSettings();
    // True when a store's name holds the name of the user's settings folder as read from bytes that are not valid
    // UTF-8 ($XDG_CONFIG_HOME, or $HOME without it): a name that is not the folder's.
    static bool folderNameNotValidUtf8(const QString& fileName);

    // The environment variable that names the store's folder ("XDG_CONFIG_HOME" or "HOME") when its bytes are not
    // valid UTF-8, so that the store keeps nothing; empty otherwise.
    const QByteArray& folderVariableNotValidUtf8() const { return m_undecodableFolderVariable; }

    // The store's file as a message names it: its name, or where the name of its folder came from bytes that are
    // not valid UTF-8, the file's real name as ShownName gives it.
    QString shownFileName() const;

    // Why the store's file cannot be read (a folder in its place, no permission, a folder name that is not valid
    // UTF-8), or "" when it can be read or does not exist yet. An unreadable store reads as empty, so every key
    // gives its default.
    QString unreadableReason() const;

    // Why the store's values cannot be saved (a folder in place of its file, no permission, a read-only disk), or
    // "" when they can.
    QString unwritableReason() const;
    // Called once, with the store's file and the reason, the first time the store finds that its values cannot
    // be saved: at checkSaving() or at a write whose sync fails.
    void onSavingFails(std::function<void(const QString& file, const QString& reason)> tell)
    {
        m_tellSavingFails = std::move(tell);
    }
    // Looks whether the values can be saved.
    void checkSaving();

    // The stored text, or the default when the key is absent; a key stored empty reads back empty.
    QString ReadSetting(const QString& key, const QString& defaultText) const;
    // Reads with the table's default (the desktop folder path for "Output Folder").
    QString read(const QString& key) const;
    void WriteSetting(const QString& key, const QString& text);

    // Yes/no: "True" or any non-zero number is selected, "False" or "0" is not; anything else fails. Blanks
    // around the text and the letter case do not matter; a number is plain decimal (sign, digits, point).
    Result<bool> readYesNo(const QString& key, bool defaultValue) const;
    // A colour number: the text read as a whole decimal number; anything else fails.
    Result<qint64> readColor(const QString& key, qint64 defaultValue) const;

    static QString yesNoText(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }
    static Result<bool> parseYesNo(const QString& text);
    static Result<qint64> parseColorNumber(const QString& text);

    // The user's desktop folder followed by one separator, or the home folder when there is no desktop
    // folder; fails when the platform names neither.
    static Result<QString> desktopFolder();

private:
    void savingFailed();

    QSettings& m_settings;
    // The environment variable that names the store's folder, when its bytes are not valid UTF-8 (the name the
    // store holds is then not the folder's, and the store neither reads nor writes); "" otherwise.
    QByteArray m_undecodableFolderVariable;
    std::function<void(const QString& file, const QString& reason)> m_tellSavingFails;
    bool m_toldSavingFails = false;
};

} // namespace ostrand

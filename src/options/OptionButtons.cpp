// SPDX-License-Identifier: MIT
#include "options/OptionButtons.h"

#include <QRadioButton>

#include "core/settings/SettingsStore.h"

namespace ostrand {

bool setOptionValue(QRadioButton* button, bool selected)
{
    if (button->isChecked() == selected)
        return false;
    const bool exclusive = button->autoExclusive();
    button->setAutoExclusive(selected && exclusive);
    button->setChecked(selected);
    button->setAutoExclusive(exclusive);
    return true;
}

void SaveDelimiterOptions(SettingsStore& store, const DelimiterButtons& buttons)
{
    const QString keys[] = {SettingKey::option1(), SettingKey::option2(), SettingKey::option3(), SettingKey::option4(),
                            SettingKey::option5()};
    for (std::size_t i = 0; i < buttons.size(); ++i)
        store.WriteSetting(keys[i], SettingsStore::yesNoText(buttons[i]->isChecked()));
}

DelimiterOption SelectedDelimiterOption(const DelimiterButtons& buttons)
{
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i]->isChecked())
            return static_cast<DelimiterOption>(i + 1);
    }
    return DelimiterOption::None;
}

void SaveOutputOptions(SettingsStore& store, const QRadioButton* option6, const QRadioButton* option7,
                       QWidget* folderFrame)
{
    store.WriteSetting(SettingKey::option6(), SettingsStore::yesNoText(option6->isChecked()));
    store.WriteSetting(SettingKey::option7(), SettingsStore::yesNoText(option7->isChecked()));
    folderFrame->setEnabled(option6->isChecked());
}

OutputMode SelectedOutputMode(const QRadioButton* option6, const QRadioButton* option7)
{
    if (option6->isChecked())
        return OutputMode::ChosenFolder;
    if (option7->isChecked())
        return OutputMode::SourceFolder;
    return OutputMode::None;
}

} // namespace ostrand

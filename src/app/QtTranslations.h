// SPDX-License-Identifier: MIT
#pragma once

class QCoreApplication;
class QLocale;

namespace ostrand {

// Loads Qt's own translations for the locale (the standard dialogs' buttons and texts), so those dialogs
// speak the user's language as the platform's own message boxes would. The window's texts are not
// translated. False when there is no translation for the locale.
bool installQtTranslations(QCoreApplication& application, const QLocale& locale);

} // namespace ostrand

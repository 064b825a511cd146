// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QString>
#include <QStringList>

#include "core/common/Result.h"
#include "core/convert/ConversionOptions.h"

namespace ostrand {

// What the command line of ostrand-convert asks for. Each option group is unset until it is given, so that
// --saved-settings can fill the groups the command line leaves open.
struct ConverterArguments
{
    std::optional<DelimiterOption> delimiterOption;
    QString otherText; // the delimiter of DelimiterOption::Other
    std::optional<QString> borderWidth;
    std::optional<qint64> textColor;
    std::optional<qint64> backgroundColor;
    std::optional<OutputMode> outputMode;
    QString outputFolder; // with OutputMode::ChosenFolder
    std::optional<QString> extension;
    bool savedSettings = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
    QStringList paths;
};

// Reads the arguments (without the program name). Options and paths may be mixed; "--" ends the options;
// a value may follow its option as the next argument or after "=" (--other=; gives ";"). A later choice
// within a group wins. Fails with a one-line description on an unknown option, a missing value or a bad
// colour; a missing PATH is left for the caller to judge (--help and --version need none).
Result<ConverterArguments> parseConverterArguments(const QStringList& arguments);

// The text of --help.
QString converterUsage();

} // namespace ostrand

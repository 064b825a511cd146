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
    DocumentFlags flags;
    bool savedSettings = false;
    bool quiet = false;
    bool fullReports = false;
    bool nullEnded = false; // -z: each written path ends with NUL
    bool help = false;
    bool version = false;
    QStringList paths;
};

// The PATH that stands for standard input and output.
inline QString standardStreamPath()
{
    return QStringLiteral("-");
}

// Reads the arguments (without the program name). Options and paths may be mixed; "--" ends the options; a
// value follows its option as the next argument (taken whatever it looks like: "--other --" is a valid
// delimiter), after "=" for a long option (--other=;) or joined to a short one (-d;). Fails with a one-line
// description on an unknown option, a missing value, a bad colour or border width, and on conflicting
// choices (two delimiters, --output-dir with --next-to-source, one option given twice with different
// values, output options with the PATH "-"). A missing PATH is left for the caller to judge (--help and
// --version need none).
Result<ConverterArguments> parseConverterArguments(const QStringList& arguments);

// The text of --help.
QString converterUsage();

} // namespace ostrand

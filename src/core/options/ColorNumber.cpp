// SPDX-License-Identifier: MIT
#include "core/options/ColorNumber.h"

namespace ostrand {

namespace {

Failure notAColor(const QString& text)
{
    return Failure{QStringLiteral("\"%1\" is not a colour: give a colour number (red + 256*green + 65536*blue) "
                                  "or #RRGGBB")
                       .arg(text)};
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

bool isDecimalNumber(const QString& text)
{
    const qsizetype start = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (text.size() == start)
        return false;
    for (qsizetype i = start; i < text.size(); ++i) {
        if (text.at(i) < QLatin1Char('0') || text.at(i) > QLatin1Char('9'))
            return false;
    }
    return true;
}

} // namespace

Result<qint64> parseColor(const QString& text)
{
    if (text.startsWith(QLatin1Char('#'))) {
        if (text.size() != 7)
            return notAColor(text);
        int channels[3] = {};
        for (int c = 0; c < 3; ++c) {
            const int high = hexDigit(text.at(1 + 2 * c));
            const int low = hexDigit(text.at(2 + 2 * c));
            if (high < 0 || low < 0)
                return notAColor(text);
            channels[c] = high * 16 + low;
        }
        return colorNumber(channels[0], channels[1], channels[2]);
    }
    // Digits only (an optional minus first): no blanks, signs or hexadecimal prefixes slip through.
    if (!isDecimalNumber(text) || text.size() > 11)
        return notAColor(text);
    const qint64 number = text.toLongLong();
    if (number < -2147483648LL || number > 4294967295LL)
        return notAColor(text);
    return number;
}

QString ColorToHTML(qint64 value)
{
    // A colour value is a 32-bit integer: a negative one shows as its two's complement.
    const QString digits = QString::number(static_cast<quint32>(value), 16).toUpper().rightJustified(6, u'0');
    return QLatin1Char('#') + digits.right(2) + digits.mid(2, 2) + digits.left(2);
}

} // namespace ostrand

// SPDX-License-Identifier: MIT
#include "core/common/NameBytes.h"

#include <QByteArrayView>
#include <QStringDecoder>

namespace ostrand {

namespace {

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// The length of the valid UTF-8 character at `at`, 0 when the byte there does not start one.
qsizetype characterLength(const QByteArray& bytes, qsizetype at)
{
    const auto lead = static_cast<unsigned char>(bytes.at(at));
    const qsizetype length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > bytes.size() || !QByteArrayView(bytes).sliced(at, length).isValidUtf8())
        return 0;
    return length;
}

QString byteEscape(unsigned char byte)
{
    switch (byte) {
    case '\n':
        return QStringLiteral("\\n");
    case '\t':
        return QStringLiteral("\\t");
    case '\r':
        return QStringLiteral("\\r");
    case 0x1B:
        return QStringLiteral("\\e");
    default:
        return QStringLiteral("\\x") + QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    }
}

} // namespace

QString NameFromBytes(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

bool IsValidUtf8Name(const QByteArray& bytes)
{
    return QByteArrayView(bytes).isValidUtf8();
}

QByteArray UndecodedBytesOf(const QString& name, const QList<QByteArray>& sources)
{
    if (!name.contains(QChar::ReplacementCharacter))
        return QByteArray();
    for (const QByteArray& source : sources) {
        if (source.isEmpty() || IsValidUtf8Name(source))
            continue;
        const QString read = NameFromBytes(source);
        if (name.startsWith(read))
            return source + name.mid(read.size()).toUtf8();
        const QString before = read.left(read.size() - name.size());
        if (read.endsWith(name) && before.toLatin1() == before.toUtf8())
            return source.mid(before.size());
    }
    return QByteArray();
}

QString ShownName(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return QStringLiteral("''");
    QString plain;
    QString quoted;
    bool needsQuotes = false;
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype length = characterLength(bytes, at);
        const QString character = NameFromBytes(QByteArrayView(bytes.constData() + at, length ? length : 1));
        if (length == 0 || isControl(character.toUcs4().value(0))) {
            needsQuotes = true;
            for (qsizetype i = 0; i < qMax<qsizetype>(length, 1); ++i)
                quoted += byteEscape(static_cast<unsigned char>(bytes.at(at + i)));
        } else {
            plain += character;
            quoted += character == QLatin1String("\\") || character == QLatin1String("'")
                          ? QLatin1Char('\\') + character
                          : character;
        }
        at += qMax<qsizetype>(length, 1);
    }
    return needsQuotes ? QStringLiteral("$'") + quoted + QLatin1Char('\'') : plain;
}

} // namespace ostrand

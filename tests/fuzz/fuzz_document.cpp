// SPDX-License-Identifier: MIT
// The whole conversion of one source file, as the programs run it: source bytes, a delimiter and the
// appearance options in, a document file out. Input: the delimiter choice, the "Other" text, the border
// width, both colours, then the source's bytes.
#include <cstdint>
#include <cstdio>

#include <QFile>

#include "FuzzSupport.h"
#include "core/convert/ConvertVantrel.h"
#include "core/convert/decode/WholeText.h"

using namespace ostrand;

namespace {

// Answers a conversion's questions from fixed values and remembers every reported failure.
class FixedHost : public ConversionHost
{
public:
    QString border;
    qint64 text = 0;
    qint64 background = 0;
    QStringList failures;

    void ReportError(const QString& description, const QString& tag, int line) override
    {
        failures.append(QStringLiteral("%1 at %2 %3").arg(description, tag).arg(line));
    }
    QString borderWidth() override { return border; }
    qint64 textColor() override { return text; }
    qint64 backgroundColor() override { return background; }
    OutputMode outputMode() override { return OutputMode::SourceFolder; }
    QString outputFolder() override { return QString(); }
    void setProgressValue(int) override {}
    void yieldToEvents() override {}
};

// "#RRGGBB": the 32-bit value's upper-case hexadecimal digits, at least six, read as the last two, the
// third and fourth, and the first two (red, green, blue for a value below 2^24).
QByteArray htmlColor(qint64 value)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%06X", static_cast<unsigned>(static_cast<std::uint32_t>(value)));
    const QByteArray hex(digits);
    return "#" + hex.right(2) + hex.mid(2, 2) + hex.left(2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const std::uint8_t choice = input.byte();
    const QString other = QString::fromUtf8(input.shortBytes());
    const QString delimiters[] = {QStringLiteral(","), QStringLiteral(", "), QStringLiteral(";"), QStringLiteral("\t"),
                                  other};
    const QString delimiter = delimiters[choice % 5];
    FixedHost host;
    host.border = QString::fromUtf8(input.bytes(input.byte() % 8));
    host.text = input.int64();
    host.background = input.int64();
    const QByteArray source = input.rest();

    const QString folder = fuzz::workFolder();
    const QString sourcePath = folder + QStringLiteral("/table.csv");
    const QString documentPath = folder + QStringLiteral("/table.htm");
    {
        QFile file(sourcePath);
        fuzz::check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(source) == source.size(),
                    "the source can be written");
    }

    const std::optional<QString> written = ConvertVantrel(host, sourcePath, delimiter);
    fuzz::check(host.failures.isEmpty(), "a readable source converts without a failure",
                host.failures.join(u'\n').toUtf8());
    fuzz::check(written == documentPath, "the document goes beside its source", written.value_or(QString()).toUtf8());

    QFile file(documentPath);
    fuzz::check(file.open(QIODevice::ReadOnly), "the document can be read");
    const QByteArray document = file.readAll();
    QFile sourceFile(sourcePath);
    fuzz::check(sourceFile.open(QIODevice::ReadOnly) && sourceFile.readAll() == source, "the source is unchanged");

    const QByteArray header = "<html><title></title><body><table width='100%' style='color:" + htmlColor(host.text) +
                              "' border='" + host.border.toUtf8() + "' bgcolor='" + htmlColor(host.background) +
                              "'><tbody>\r\n";
    const QByteArray footer = "</body></html>\r\n";
    fuzz::check(document.startsWith(header), "the document starts with its header", document.left(header.size()),
                header);
    fuzz::check(document.endsWith(footer), "the document ends with its footer", document.right(40));

    const QByteArray text = source.isEmpty() ? emptyFileText() : decodeSourceBytes(source);
    const QByteArray body = document.mid(header.size(), document.size() - header.size() - footer.size());
    const QByteArray expected = fuzz::plainRows(text, delimiter.toUtf8());
    fuzz::check(body == expected, "every field of the source appears, in order", body, expected);
    return 0;
}

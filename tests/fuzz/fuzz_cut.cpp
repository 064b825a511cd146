// SPDX-License-Identifier: MIT
// Cutting text into rows and fields with any delimiter: empty, several bytes, overlapping, non-ASCII, or
// holding line ends; whole, or in pieces of a few bytes. Input: one byte whose low three bits give the
// delimiter's length, the delimiter, then the text.
#include <cstdint>

#include <QHash>

#include "FuzzSupport.h"
#include "core/convert/document/HtmlDocument.h"
#include "core/convert/source/WorkSlices.h"
#include "support/core/SliceSize.h"

using namespace ostrand;

namespace {

QByteArray buildDocument(const QByteArray& header, const QByteArray& text, const QByteArray& delimiter)
{
    int breaks = 0;
    std::optional<HtmlDocument> document = HtmlDocument::start(header, text, delimiter, [&] {
        ++breaks;
        return true;
    });
    fuzz::check(document.has_value(), "a document starts when no break ends it");
    int last = -1;
    const bool complete = document->appendRows([&](int percent) {
        fuzz::check(percent >= last && percent >= 0 && percent <= 100, "progress rises from 0 to 100");
        last = percent;
        return true;
    });
    fuzz::check(complete, "rows are complete when progress never stops them");
    document->appendFooter();
    return document->takeFileBytes();
}

// A byte that the delimiter does not hold, to fill with.
char fillerFor(const QByteArray& delimiter)
{
    for (char c = 'a'; c <= 'z'; ++c) {
        if (!delimiter.contains(c))
            return c;
    }
    return 'A';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const std::uint8_t flags = input.byte();
    const QByteArray delimiter = input.bytes(flags & 7);
    QByteArray text = input.rest();
    // About one input in 64 also goes across the boundary of two work slices, behind one long field (a
    // megabyte of work each).
    const bool acrossSlices = qHash(text, 0) % 64 == 0;
    if (acrossSlices)
        text = QByteArray(kWorkSliceBytes - text.size() / 2, fillerFor(delimiter)) + text;

    const QByteArray header = "<header>\r\n";
    const QByteArray footer = "</body></html>\r\n";
    const QByteArray document = buildDocument(header, text, delimiter);

    fuzz::check(document.startsWith(header), "the document starts with its header", document.left(40));
    fuzz::check(document.endsWith(footer), "the document ends with its footer", document.right(40));
    const QByteArray body = document.mid(header.size(), document.size() - header.size() - footer.size());
    const QByteArray expected = fuzz::plainRows(text, delimiter);
    fuzz::check(body == expected, "the rows are the text cut the plain way", body, expected);

    // Cut in pieces of one to eight bytes, which end inside lines, fields and delimiters, the document is the
    // same (checked on short texts: a megabyte in bytes would take long).
    if (!acrossSlices) {
        setStreamSliceBytesForTests(1 + qsizetype(qHash(text, 1) % 8));
        const QByteArray inPieces = buildDocument(header, text, delimiter);
        setStreamSliceBytesForTests(0);
        fuzz::check(inPieces == document, "pieces give the document of the whole text", inPieces, document);
    }

    // Nothing is lost: where the cells can be read back, each row's fields joined with the delimiter give
    // its line again (checked on short texts: the long ones only add copies of a megabyte).
    if (!acrossSlices && !text.contains('<') && !delimiter.contains('<')) {
        QList<QList<QByteArray>> rows;
        fuzz::check(fuzz::parseRows(body, rows), "the body is rows of cells", body);
        const QList<QByteArray> lines = fuzz::plainLines(text);
        fuzz::check(rows.size() == lines.size(), "one row per non-empty line", body);
        const bool cuts = !delimiter.isEmpty() && !delimiter.contains('\r') && !delimiter.contains('\n');
        for (qsizetype i = 0; i < rows.size(); ++i) {
            fuzz::check(rows[i].join(cuts ? delimiter : QByteArray()) == lines[i], "the fields give back the line",
                        rows[i].join('|'), lines[i]);
            fuzz::check(cuts || rows[i].size() == 1, "a delimiter that cannot occur leaves the line whole");
        }
    }
    return 0;
}

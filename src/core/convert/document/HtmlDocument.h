// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QByteArray>

#include "core/convert/cut/RowCutter.h"
#include "core/convert/document/Markup.h"

namespace ostrand {

// Builds one document in a single buffer from the whole text, through RowCutter.
//
// Cutting: every carriage return is removed, the text is cut into lines at every line feed, empty lines are
// skipped, and each line is cut at every occurrence of the delimiter, left to right, each occurrence
// consumed whole (an empty delimiter leaves the line whole). Each line becomes "<tr>" CR LF, one
// "<td>field</td>" per field, "</tr>" CR LF; fields are copied unchanged.
//
// The document flags change that, each only when set:
//  - escapeHtml: & < > " ' in a field's text become &amp; &lt; &gt; &quot; &#39;.
//  - rfc4180: a field whose text (carriage returns removed as always) begins with a double quote is quoted.
//    It ends at the next lone quote; "" inside stands for one quote; delimiters and line feeds inside belong
//    to it (the lines it spans make one row), and the enclosing quotes are removed. Text after the closing
//    quote up to the next delimiter is kept as it stands. A quote that no lone quote closes anywhere later
//    in the text is an ordinary character, and its field runs to the end of its line. Quotes elsewhere are
//    ordinary characters. A delimiter holding a quote leaves every quote ordinary. A byte order mark at the
//    start of the text is dropped, so that it cannot keep the first field from being quoted.
class HtmlDocument
{
public:
    // Counts the lines of the UTF-8 text in slices, offering a break between them, and starts the document
    // with the header. Empty when a break ended the counting.
    static std::optional<HtmlDocument> start(const QByteArray& header, const QByteArray& text,
                                             const QByteArray& delimiter, const SliceBreak& pause = {},
                                             DocumentFlags flags = {});

    // Appends one row per non-empty line of the text, then lets the text go; false when progress asked to
    // stop.
    bool appendRows(const LineProgress& progress);
    // Appends the footer.
    void appendFooter();
    // Ends the document with CR LF and hands over the bytes the file receives; the builder is then empty.
    QByteArray takeFileBytes();

private:
    HtmlDocument(const QByteArray& text, const CutRules& rules) : m_text(text), m_rules(rules) {}

    QByteArray m_text; // shares the caller's bytes
    CutRules m_rules;
    TextCounts m_counts;
    QByteArray m_buffer;
};

} // namespace ostrand

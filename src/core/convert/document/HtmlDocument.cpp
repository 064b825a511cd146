// SPDX-License-Identifier: MIT
#include "core/convert/document/HtmlDocument.h"

#include <utility>

namespace ostrand {

std::optional<HtmlDocument> HtmlDocument::start(const QByteArray& header, const QByteArray& text,
                                                const QByteArray& delimiter, const SliceBreak& pause,
                                                DocumentFlags flags)
{
    HtmlDocument document(text, CutRules(delimiter, flags));
    TextCounter counter(document.m_rules);
    if (!inSlices(text.size(), pause,
                  [&](qsizetype begin, qsizetype end) { counter.add(text.constData() + begin, end - begin); }))
        return std::nullopt;
    document.m_counts = counter.finish();
    document.m_buffer = header;
    return document;
}

bool HtmlDocument::appendRows(const LineProgress& progress)
{
    RowCutter cutter(m_rules, m_counts);
    const qsizetype slice = streamSliceBytes();
    for (qsizetype begin = 0; begin < m_text.size(); begin += slice) {
        const bool goingOn = cutter.add(m_text.constData() + begin, qMin(slice, m_text.size() - begin), progress);
        m_buffer.append(cutter.output());
        cutter.clearOutput();
        if (!goingOn)
            return false;
    }
    const bool complete = cutter.finish(progress);
    m_buffer.append(cutter.output());
    m_text = QByteArray();
    return complete;
}

void HtmlDocument::appendFooter()
{
    m_buffer.append(documentFooter());
}

QByteArray HtmlDocument::takeFileBytes()
{
    m_buffer.append("\r\n", 2);
    return std::exchange(m_buffer, QByteArray());
}

} // namespace ostrand

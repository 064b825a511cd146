// SPDX-License-Identifier: MIT
#include "core/convert/DocumentRows.h"

#include "core/convert/document/Markup.h"

namespace ostrand {

DocumentRows::DocumentRows(const CutRules& rules, const TextCounts& counts, const QByteArray& header)
    : m_cutter(rules, counts)
{
    m_cutter.append(header.constData(), header.size());
}

Result<PassEnd> DocumentRows::cut(SourcePasses& passes, const LineProgress& progress, const Take& take,
                                  const SliceBreak& pause)
{
    return passes.cut(
        m_cutter, progress, [&] { return handOver(take, false); }, pause);
}

bool DocumentRows::end(const Take& take)
{
    const QByteArray end = documentFooter() + QByteArrayLiteral("\r\n");
    m_cutter.append(end.constData(), end.size());
    return handOver(take, true);
}

bool DocumentRows::handOver(const Take& take, bool all)
{
    const QByteArrayView bytes = m_cutter.output();
    if (!all && bytes.size() < kHandOverBytes)
        return true;
    const bool taken = take(bytes);
    m_cutter.clearOutput();
    return taken;
}

} // namespace ostrand

// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QByteArray>
#include <QByteArrayView>

#include "core/common/Result.h"
#include "core/convert/cut/RowCutter.h"
#include "core/convert/source/SourcePasses.h"

namespace ostrand {

// The document made from a counted source: its header, the rows cut in a second pass over the source, and its
// footer. The bytes are handed on as they are made, a chunk or more at a time, so that neither the source nor
// the document is ever held whole.
class DocumentRows
{
public:
    // Takes the document's next bytes; false when it can take no more, which abandons the pass. The bytes stay as
    // they are until the next call, so that they may still be written while the next ones are made.
    using Take = std::function<bool(QByteArrayView bytes)>;

    // The bytes handed on at a time, but for the last ones.
    static constexpr qsizetype kHandOverBytes = 2 * 1024 * 1024;

    DocumentRows(const CutRules& rules, const TextCounts& counts, const QByteArray& header);

    // Cuts the source's rows, telling progress the share of lines done; how the pass ended, or why the source
    // could not be read.
    Result<PassEnd> cut(SourcePasses& passes, const LineProgress& progress, const Take& take, const SliceBreak& pause);
    // Ends the document with its footer and CR LF, and hands over every byte not yet taken; false when take
    // could not take them.
    bool end(const Take& take);

private:
    bool handOver(const Take& take, bool all);

    RowCutter m_cutter;
};

} // namespace ostrand

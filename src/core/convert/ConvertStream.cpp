// SPDX-License-Identifier: MIT
#include "core/convert/ConvertStream.h"

#include "core/convert/document/Markup.h"
#include "core/convert/pace/EventTurns.h"

namespace ostrand {

Status ConvertStream(ConversionHost& host, SourcePasses& passes, const QString& delimiter,
                     const DocumentRows::Take& put)
{
    EventTurns turns(host);
    const qint64 textColor = host.textColor();
    const QString borderWidth = host.borderWidth();
    const QByteArray header = documentHeader(textColor, borderWidth, host.backgroundColor());
    const CutRules rules(delimiter.toUtf8(), host.documentFlags());
    const Result<PassEnd> counted = passes.count(rules, turns.slices());
    if (!counted)
        return Failure{counted.error()};
    if (counted.value() != PassEnd::Complete)
        return Status::success();
    DocumentRows rows(rules, passes.counts(), header);
    const auto progress = [&](int percent) {
        host.setProgressValue(percent);
        return turns.now();
    };
    const Result<PassEnd> cut = rows.cut(passes, progress, put, turns.slices());
    if (!cut)
        return Failure{cut.error()};
    if (cut.value() == PassEnd::Complete)
        rows.end(put);
    return Status::success();
}

} // namespace ostrand

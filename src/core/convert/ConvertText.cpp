// SPDX-License-Identifier: MIT
#include "core/convert/ConvertText.h"

#include <utility>

#include <QElapsedTimer>

#include "core/convert/HtmlDocument.h"
#include "core/convert/SourceText.h"

namespace ostrand {

namespace {

constexpr qint64 kSliceMs = 10;

} // namespace

std::optional<QByteArray> ConvertSourceBytes(ConversionHost& host, QByteArray bytes, const QString& delimiter)
{
    QElapsedTimer clock;
    clock.start();
    bool stopped = false;
    const auto turn = [&] {
        host.yieldToEvents();
        clock.restart();
        stopped = host.stopRequested();
        return !stopped;
    };
    const SliceBreak pause = [&] { return !stopped && (clock.elapsed() < kSliceMs || turn()); };

    const qint64 textColor = host.textColor();
    const QString borderWidth = host.borderWidth();
    const QByteArray header = documentHeader(textColor, borderWidth, host.backgroundColor());
    const QByteArray text = bytes.isEmpty() ? emptyFileText() : decodeSourceBytes(std::move(bytes), pause);
    if (stopped)
        return std::nullopt;
    std::optional<HtmlDocument> document =
        HtmlDocument::start(header, text, delimiter.toUtf8(), pause, host.documentFlags());
    if (!document)
        return std::nullopt;
    if (!document->appendRows([&](int percent) {
            host.setProgressValue(percent);
            return turn();
        }))
        return std::nullopt;
    document->appendFooter();
    return document->takeFileBytes();
}

} // namespace ostrand

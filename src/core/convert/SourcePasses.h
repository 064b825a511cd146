// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QString>

#include "core/common/Result.h"
#include "core/convert/HtmlDocument.h"
#include "core/convert/SourceText.h"
#include "core/convert/WorkSlices.h"

namespace ostrand {

// How a pass over a source ended when it did not fail.
enum class PassEnd {
    Complete,
    Stopped,   // a break or the progress asked to stop
    Abandoned, // the one taking the document's bytes could take no more
    NoRoom,    // the document cannot fit in the room given
};

// The passes a conversion makes over a source file, a slice at a time, so that neither the source nor its text
// is ever held whole: the first decides how the bytes are read and counts the text, the second decodes the text
// again and cuts it into rows. A source that changes while it is read fails either pass.
class SourcePasses
{
public:
    // Opens the source; fails as ReadCSVText fails.
    Status open(const QString& path, const SliceBreak& pause);
    // The source's size in bytes, as it was opened.
    qint64 size() const { return m_file.size(); }
    // Decides the encoding as decodeSourceBytes does (a byte order mark, else UTF-8 when every byte is valid
    // UTF-8, else Windows-1252) and counts the text; a zero-byte source has the text emptyFileText(). With a
    // room, the pass ends as soon as the text counted so far makes a document (with a header of headerSize
    // bytes) larger than the room; noRoomFor() then tells the least size it would take.
    Result<PassEnd> count(const CutRules& rules, const SliceBreak& pause, std::optional<qint64> room = {},
                          qsizetype headerSize = 0);
    qint64 noRoomFor() const { return m_noRoomFor; }
    const TextCounts& counts() const { return m_counts; }
    // Decodes the text again and cuts it slice by slice; after each slice, `take` may take the cutter's output
    // and returns false to abandon the pass.
    Result<PassEnd> cut(RowCutter& cutter, const LineProgress& progress, const std::function<bool()>& take,
                        const SliceBreak& pause);

private:
    Status readSlice(qint64 offset, qsizetype size);
    // Fails when the source changed during the pass, as SourceFile::checkUnchanged.
    Status checkUnchanged();
    // Reads the source slice by slice, offering a break between two slices, and hands each to
    // each(data, size), which returns a pass end to stop reading there, or nothing to go on. What stopped the
    // reading: nothing when every slice was handed over.
    template <class Each> Result<std::optional<PassEnd>> eachSlice(const SliceBreak& pause, Each&& each);

    SourceFile m_file;
    SourceEncoding m_encoding = SourceEncoding::Utf8;
    TextCounts m_counts;
    QByteArray m_slice;
    bool m_held = false; // m_slice holds the bytes at m_heldOffset, read in this pass or an earlier one
    qint64 m_heldOffset = 0;
    qsizetype m_heldSize = 0;
    bool m_readInPass = false; // a slice was read from the file since the last check
    qint64 m_noRoomFor = 0;
};

} // namespace ostrand

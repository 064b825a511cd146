// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QByteArray>
#include <QString>

#include "core/common/Result.h"
#include "core/convert/cut/RowCutter.h"
#include "core/convert/cut/TextCounts.h"
#include "core/convert/decode/SourceDecoder.h"
#include "core/convert/source/SourceFile.h"
#include "core/convert/source/WorkSlices.h"

namespace ostrand {

class TaskBeside;

// How a pass over a source ended when it did not fail.
enum class PassEnd {
    Complete,
    Stopped,   // a break or the progress asked to stop
    Abandoned, // the one taking the document's bytes could take no more
    NoRoom,    // the document cannot fit in the room given
};

// The passes a conversion makes over a source file, a slice at a time, so that neither the source nor its text
// is ever held whole: the first decides how the bytes are read and counts the text, the second decodes the text
// again and cuts it into rows. A source that changes while it is read fails either pass. While one slice is
// handled, the next one is read beside it on a worker thread.
class SourcePasses
{
public:
    SourcePasses();
    ~SourcePasses();
    SourcePasses(const SourcePasses&) = delete;
    SourcePasses& operator=(const SourcePasses&) = delete;
    // Opens the source file; fails as SourceFile::open fails.
    Status open(const QString& path, const SliceBreak& pause);
    // Takes a stream (standard input) as the source; fails as SourceFile::openStream fails.
    Status openStream(int fd, const QString& name, const SliceBreak& pause);
    // The source's size in bytes, as it was opened.
    qint64 size() const { return m_file.size(); }
    // Decides the encoding (EncodingChoice) and counts the text; a zero-byte source has the text emptyFileText(). With
    // a room, the pass ends as soon as the text counted so far makes a document (with a header of headerSize bytes)
    // larger than the room; noRoomFor() then tells the least size it would take.
    Result<PassEnd> count(const CutRules& rules, const SliceBreak& pause, std::optional<qint64> room = {},
                          qsizetype headerSize = 0);
    qint64 noRoomFor() const { return m_noRoomFor; }
    const TextCounts& counts() const { return m_counts; }
    // Decodes the text again and cuts it slice by slice; after each slice, `take` may take the cutter's output
    // and returns false to abandon the pass.
    Result<PassEnd> cut(RowCutter& cutter, const LineProgress& progress, const std::function<bool()>& take,
                        const SliceBreak& pause);

private:
    Result<PassEnd> countUtf8(TextCounter& counter, const SliceBreak& pause);
    Result<PassEnd> countUtf16(const SliceBreak& pause);
    Result<PassEnd> countDecoded(TextCounter& counter, const SliceBreak& pause);
    // Whether what is counted so far makes a document larger than the room given to count().
    bool noRoom(qint64 lowerBound);
    // Makes m_slice hold the bytes [offset, offset + size), and starts reading the next slice of the pass beside.
    Status readSlice(qint64 offset, qsizetype size);
    // Reads [offset, offset + size) into `into`, whose room has one byte more.
    Status readInto(QByteArray& into, qint64 offset, qsizetype size);
    // Starts reading the slice after [offset, offset + size), if there is one, into m_ahead beside the pass.
    void readAhead(qint64 offset, qsizetype size);
    // Waits for the slice being read ahead, if any, and lets it go.
    void dropAhead();
    // Fails when the source changed during the pass, as SourceFile::checkUnchanged.
    Status checkUnchanged();
    // Reads the source slice by slice, offering a break between two slices, and hands each to each(data, size),
    // which returns a pass end to stop reading there, or nothing to go on; once every slice was handed over,
    // finish() may still end the pass, and the source is checked to be unchanged. How the pass ended: Complete
    // when every slice was read and the source is as it was, or the end each() or finish() gave.
    template <class Each, class Finish>
    Result<PassEnd> eachSlice(const SliceBreak& pause, Each&& each, Finish&& finish);

    SourceFile m_file;
    QByteArray m_ahead; // the next slice, read beside the pass
    bool m_aheadStarted = false;
    qint64 m_aheadOffset = 0;
    qsizetype m_aheadSize = 0;
    std::unique_ptr<TaskBeside> m_reader; // reads m_ahead; made for a source of more than one slice
    SourceEncoding m_encoding = SourceEncoding::Utf8;
    TextCounts m_counts;
    QByteArray m_slice;
    bool m_held = false; // m_slice holds the bytes at m_heldOffset, read in this pass or an earlier one
    qint64 m_heldOffset = 0;
    qsizetype m_heldSize = 0;
    bool m_readInPass = false; // a slice was read from the file since the last check
    qint64 m_noRoomFor = 0;
    std::optional<qint64> m_room;
    qsizetype m_headerSize = 0;
    const CutRules* m_rules = nullptr; // those of the count under way
};

} // namespace ostrand

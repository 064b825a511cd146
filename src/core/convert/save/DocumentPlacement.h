// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <optional>

#include <QByteArrayView>
#include <QString>

#include "core/common/Result.h"
#include "core/convert/ConversionOptions.h"
#include "core/convert/save/DocumentWriter.h"
#include "core/convert/save/WrittenDocuments.h"
#include "core/convert/source/WorkSlices.h"

namespace ostrand {

class DocumentBatch;

// Where one conversion's document goes, and how it gets there. The path is planned when the conversion begins:
// the document's temporary file is written there as the rows are made, and the disk must have room for it. Once
// the document is complete it is put where the options name then (moved there, or made anew by the caller, when
// that is another place).
//
// With the run's written documents, a document written earlier in the run is never replaced. With a batch, a
// small document joins it, and a large one, or one that goes where a document of the batch goes, is put in place
// after the batch's documents.
class DocumentPlacement
{
public:
    DocumentPlacement(const QString& sourcePath, WrittenDocuments* writtenInRun, DocumentBatch* batch);

    // Plans the path (empty: nowhere yet) and looks at the room there.
    void plan(const QString& path);
    const QString& plannedPath() const { return m_plannedPath; }
    // The free space at the planned path when it was planned; none when unknown or there is no path.
    std::optional<qint64> room() const { return m_room; }
    // The source, of the size given, is about to be read. The documents of the batch are put in place before a
    // large source is read: they do not wait for its conversion, nor keep their files open meanwhile. A file that
    // appears at a name that was free now is left alone when the document is put in place.
    void sourceOpened(qint64 size);
    // Fails, with the report to make, when a document of `needed` bytes cannot fit at the planned path. A small
    // source is counted in moments, so the look at the free space when the path was planned still holds for it.
    Status checkRoom(qint64 needed);
    static QString notEnoughSpace(const QString& path, qint64 needed, qint64 free);

    // Opens the writer for the planned path. A path that cannot be written now is tried again, and reported,
    // when the document is put in place.
    void open();
    // Takes the document's bytes as they are made, which must stay as they are until the next call or until the
    // placement is done with (they may still be written meanwhile); without a writer (its path could not be
    // opened) they are let go, and the placement tells why.
    std::function<bool(QByteArrayView bytes)> take(const SliceBreak& pause);
    // The writer's break said stop.
    bool stopped() const { return m_writer.stopped(); }
    // Drops what was written; every path stays as it was.
    void cancel() { m_writer.cancel(); }

    // Puts the complete document at the output path, which the options in `mode` name now. `again` makes the
    // document anew at a path, for when the document written could not be kept for it. Fails as the write fails,
    // leaving any earlier document as it was. `batched`: the document joined the batch, which puts it in place.
    Status put(const QString& outputPath, OutputMode mode, const std::function<Status(const QString&)>& again,
               const SliceBreak& pause, bool& batched);

private:
    const QString& m_sourcePath;
    WrittenDocuments* m_writtenInRun;
    DocumentBatch* m_batch;
    QString m_plannedPath;
    std::optional<qint64> m_room;
    bool m_plannedFree = false; // nothing was at the planned path when it was planned
    bool m_taken = false;       // ... and something was there when the writer was to open
    bool m_smallSource = false;
    DocumentWriter m_writer;
};

} // namespace ostrand

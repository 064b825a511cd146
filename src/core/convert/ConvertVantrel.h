// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QString>

#include "core/convert/ConversionOptions.h"
#include "core/convert/save/WrittenDocuments.h"

namespace ostrand {
class DocumentBatch;
}

namespace ostrand {

// Converts one CSV file into its .htm table document. Reads the appearance options while building the
// header and the output options after the body is complete, reports the per-line progress, yields, and
// reports every failure through the host under the conversion's location tag. Never fails towards its
// caller; returns the path of the document it wrote, if any. A source that cannot be read, or whose document
// cannot be built, is reported and writes nothing.
//
// The source is read a slice at a time, twice (the encoding and the line count, then the rows), and the
// document is written as it is made, so memory does not grow with the source. The output options are also
// read when the conversion begins, for the folder the document is written in and the room it needs there: a
// document that cannot fit is reported at once (line 168) and nothing is written; one whose options name
// another place once the body is complete is moved there. With `writtenInRun`, a document written earlier in the same
// run is never replaced: the later entry is reported at the write, and its document is added once written.
//
// With a batch (which then holds `writtenInRun`), a small document is handed to it, written but not yet in
// place, and nothing is returned: the batch puts it in place, after the documents handed over before it. Every
// report goes through the batch, and a document that is put in place by itself waits for the batch first, so
// reports and documents keep the order of the run.
std::optional<QString> ConvertVantrel(ConversionHost& host, const QString& sourcePath, const QString& delimiter,
                                      WrittenDocuments* writtenInRun = nullptr, DocumentBatch* batch = nullptr);

} // namespace ostrand

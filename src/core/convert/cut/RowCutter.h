// SPDX-License-Identifier: MIT
#pragma once

#include <cstring>

#include <QByteArray>
#include <QByteArrayView>
#include <QElapsedTimer>

#include "core/convert/cut/TextCounts.h"

namespace ostrand {

// Cuts a text given in consecutive pieces into the document's rows, which it appends to output(); the caller
// takes them out as it likes. The result is the same wherever the pieces are cut: a line, a field, a quoted
// field or a delimiter may run over any number of pieces and is never held whole. What the cut cannot yet
// decide (the first bytes of a delimiter, a quote that may pair with the next byte, a quoted field whose
// line has not been seen far enough) waits for the next piece.
class RowCutter
{
public:
    RowCutter(const CutRules& rules, const TextCounts& counts);

    // Cuts the next piece; false when progress asked to stop.
    bool add(const char* data, qsizetype size, const LineProgress& progress);
    // Cuts what is left and ends the last row; false when progress asked to stop.
    bool finish(const LineProgress& progress);
    // The document's bytes made so far and not yet let go.
    QByteArrayView output() const { return QByteArrayView(m_out.constData(), m_outSize); }
    // Lets go of the bytes output() gave. The next ones go to the room of the bytes let go before them, so those
    // of the last output() stay as they are until the next clearOutput(): they may still be written meanwhile.
    void clearOutput()
    {
        m_out.swap(m_spare);
        m_outSize = 0;
    }
    // Appends bytes of the document's own (its header, its footer) to the output.
    void append(const char* data, qsizetype size)
    {
        if (size <= 0)
            return;
        if (m_out.size() - m_outSize < size)
            grow(size);
        std::memcpy(m_out.data() + m_outSize, data, static_cast<size_t>(size));
        m_outSize += size;
    }

private:
    enum class State {
        LineStart,  // before the first byte of a line
        FieldStart, // before the first byte of a field, no cell open
        InCell,     // a cell is open: its text runs to the next delimiter or line end
        Quoted,     // inside a quoted field
        WholeLine,  // a quote nothing closes: the cell runs to the end of the line
    };

    bool feed(const char* data, qsizetype size, bool last, const LineProgress& progress);
    struct Piece;
    const char* cut(const char* p, const char* end, bool last, const LineProgress& progress, bool& stopped);
    bool atLineStart(const char*& p, Piece& piece);
    bool atFieldStart(const char*& p, Piece& piece);
    bool inCell(const char*& p, Piece& piece);
    bool inQuotedField(const char*& p, Piece& piece);
    bool inWholeLine(const char*& p, Piece& piece);
    bool endLine(const char* p, Piece& piece);
    bool plainCutApplies(const char* p, const char* end) const;
    template <bool Escape>
    const char* cutPlain(const char* p, const char* end, const LineProgress& progress, bool& stopped);
    bool closesInLine(const char* quote, const char* lineEnd, const char* end, bool last, bool& decided);
    bool lineEnded(const char* next, const char* begin, const LineProgress& progress);
    const char* findDelimiter(const char* begin, const char* end) const;
    void appendText(const char* begin, const char* end);
    void grow(qsizetype size);
    // Makes room for size more bytes of output, and 32 beyond them for whole-vector stores.
    char* room(qsizetype size)
    {
        if (m_out.size() - m_outSize < size + 32)
            grow(size + 32);
        return m_out.data() + m_outSize;
    }

    CutRules m_rules;
    const TextCounts& m_counts;
    QByteArray m_out; // its first m_outSize bytes are the output
    QByteArray m_spare; // the room of the bytes let go
    qsizetype m_outSize = 0;
    QByteArray m_carry;   // text not yet cut, carriage returns left out
    QByteArray m_scratch; // a piece without its carriage returns
    State m_state = State::LineStart;
    const char* m_begin = nullptr; // the first byte of the text being cut
    qint64 m_offset = 0;           // offset of the first byte of the text being cut, carriage returns left out
    qint64 m_lines = 0;            // lines ended so far
    qint64 m_skip = 0;             // bytes of a byte order mark still to drop
    std::size_t m_nextLongLine = 0;
    bool m_reportedFirst = false;
    qint64 m_nextCheck = 0;
    QElapsedTimer m_timer;
};

} // namespace ostrand

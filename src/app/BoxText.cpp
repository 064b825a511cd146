// SPDX-License-Identifier: MIT
#include "app/BoxText.h"

#include <QTextLayout>

namespace ostrand {

namespace {

// Joins the characters on either side of it into one unbreakable piece.
constexpr char16_t kWordJoiner = 0x2060;
// Lets a line break between the characters on either side of it.
constexpr char16_t kBreakHere = 0x200B;

bool isSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

} // namespace

BoxText::BoxText(const QString& text)
{
    m_shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        m_shown += c;
        m_added.append(false);
        const bool beforeText = i + 1 < text.size() && !text.at(i + 1).isSpace();
        const bool startsPath =
            isSeparator(c) && (i == 0 || text.at(i - 1).isSpace() || text.at(i - 1) == QLatin1Char('('));
        if (beforeText && (c == QLatin1Char('-') || startsPath))
            add(m_shown.size(), QChar(kWordJoiner));
    }
}

void BoxText::add(qsizetype at, QChar c)
{
    m_shown.insert(at, c);
    m_added.insert(at, true);
}

void BoxText::breakWidePieces(const QFont& font, int width)
{
    // The lines as a label lays them out at that width: a line wider than it holds one piece that has no break.
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    QList<std::pair<qsizetype, qsizetype>> wide;
    for (qsizetype start = 0; start <= m_shown.size();) {
        qsizetype end = m_shown.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = m_shown.size();
        QTextLayout layout(m_shown.mid(start, end - start), font);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            if (line.naturalTextWidth() > width)
                wide.append({start + line.textStart(), start + line.textStart() + line.textLength()});
        }
        layout.endLayout();
        start = end + 1;
    }
    // From the last piece to the first, so that the places found stay where they are.
    for (auto piece = wide.crbegin(); piece != wide.crend(); ++piece) {
        for (qsizetype at = piece->second - 1; at > piece->first; --at) {
            const QChar before = m_shown.at(at - 1);
            const QChar after = m_shown.at(at);
            if (before.isSpace() || after.isSpace() || before.isHighSurrogate() || m_added.at(at - 1) ||
                m_added.at(at))
                continue;
            add(at, QChar(kBreakHere));
        }
    }
}

QString BoxText::original(qsizetype from, qsizetype to) const
{
    QString text;
    for (qsizetype at = qMax<qsizetype>(from, 0); at < qMin(to, m_shown.size()); ++at) {
        if (!m_added.at(at))
            text += m_shown.at(at);
    }
    return text;
}

} // namespace ostrand

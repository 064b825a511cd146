// SPDX-License-Identifier: MIT
#pragma once

#include <QFont>
#include <QList>
#include <QString>

namespace ostrand {

// A box's text as it is shown. Lines break at spaces and after the separators inside a path, but not after a hyphen
// inside a name nor after the separator that begins a path; a piece wider than a line breaks inside itself, as the
// last resort, so that every character is on screen. The characters added to steer the breaks are remembered, so
// that any part of the shown text copies as the text it stands for.
class BoxText
{
public:
    explicit BoxText(const QString& text = QString());

    // Lets each piece wider than `width` pixels in the font break inside itself.
    void breakWidePieces(const QFont& font, int width);
    const QString& shown() const { return m_shown; }
    // The text that the shown characters from `from` up to `to` stand for.
    QString original(qsizetype from, qsizetype to) const;

private:
    void add(qsizetype at, QChar c);

    QString m_shown;
    QList<bool> m_added; // for each shown character, whether it was added to steer a break
};

} // namespace ostrand

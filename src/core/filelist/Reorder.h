// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

#include <QString>
#include <QStringList>

namespace ostrand {

// The file list's reordering by mouse, without the mouse. Rows count from 0 as in the list control;
// -1 stands for "no entry" (nothing under the pointer, nothing dragged).

// One pointer movement while an entry is dragged: when both rows hold entries and their texts differ
// (exact comparison), the two entries change places (an exchange, not a move: rows between them stay) and
// the dragged entry is now the one at `rowUnderPointer`, which is returned. Otherwise nothing changes
// and std::nullopt is returned; a stale dragged row (past the end) exchanges nothing.
//
// `texts` is any list of the entries' texts with size(), at(row) and swapItemsAt(row, row): a QStringList,
// or a small adaptor over the list control, so a long list is not copied on every movement. The adaptor
// exchanges whatever else belongs to the two entries with their texts.
template<class Texts>
std::optional<int> ExchangeDraggedEntry(Texts& texts, int draggedRow, int rowUnderPointer)
{
    const auto count = texts.size();
    if (draggedRow < 0 || rowUnderPointer < 0 || draggedRow >= count || rowUnderPointer >= count)
        return std::nullopt;
    const QString dragged = texts.at(draggedRow);
    const QString under = texts.at(rowUnderPointer);
    if (dragged == under)
        return std::nullopt;
    texts.swapItemsAt(draggedRow, rowUnderPointer);
    return rowUnderPointer;
}

// Screen rows (pixels from the top of the screen) above and below which a drag scrolls the list.
inline constexpr int ReorderScrollUpBelowY = 305;
inline constexpr int ReorderScrollDownAboveY = 364;

// After an exchange that left the dragged entry at `row`, the row to bring into view for the pointer at
// screen height `screenY`: the row above when the pointer is above y 305 and there is one, the row below
// when it is below y 364 and there is one, none in between.
inline std::optional<int> RowToRevealAfterExchange(int row, int rowCount, int screenY)
{
    if (screenY < ReorderScrollUpBelowY && row >= 1)
        return row - 1;
    if (screenY > ReorderScrollDownAboveY && row + 1 < rowCount)
        return row + 1;
    return std::nullopt;
}

} // namespace ostrand

// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QAbstractListModel>
#include <QStringList>
#include <QTreeView>

class QMimeData;

namespace ostrand {

// The file list's entries: full paths in list order, nothing more. Duplicates are allowed. Each entry also has a
// key of its own, which the list never shows: it stays with the entry when entries change places, and no other entry
// ever has it (two entries of one path have two keys), so a run can tell the entries apart whatever the user
// reorders meanwhile.
class FileListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void setHeader(const QString& header);
    void append(const QString& path);
    // Appends many paths as one insertion, so the view lays itself out once for them all.
    void append(const QStringList& paths);
    // Replaces the text of an entry; it stays the same entry, with the same key.
    void setText(int row, const QString& path);
    // The two entries change places, with their keys.
    void exchange(int first, int second);
    void removeAt(int row);
    void clear();
    const QStringList& paths() const { return m_paths; }
    quint64 keyAt(int row) const { return m_keys.at(row); }
    // Counts the changes that moved entries to other rows: exchanges and removals (appending moves none).
    quint64 moves() const { return m_moves; }

private:
    QStringList m_paths;
    QList<quint64> m_keys; // one for each path, in the same order
    quint64 m_nextKey = 1;
    quint64 m_moves = 0;
    QString m_header;
};

// True when dragged data is a file list this list takes: a URL list of local files and nothing else.
// The one decision behind drag-enter, drag-move and drop.
bool IsFileListData(const QMimeData* data);
// The local paths of a file list, in the order the source gives them.
QStringList DroppedPaths(const QMimeData* data);

// ListView1: the file list as a one-column report. Entries are numbered from 1; an entry's text is the
// full path of one input file and is all it holds. Stays quick with a hundred thousand entries.
//
// The user edits it in place: the Delete key and a left double-click remove the selected entry, and
// dragging with the left button exchanges the dragged entry's text with the entry under the pointer. Files and folders
// dropped on it go to the drop handler; the list never starts a drag of its own.
class FileListView : public QTreeView
{
    Q_OBJECT

public:
    // Called with the local paths of a drop, in the dropped order.
    using DropHandler = std::function<void(const QStringList& paths)>;

    explicit FileListView(QWidget* parent = nullptr);

    // Adds a new last entry whose text is the path unchanged; checks nothing.
    void AppendEntry(const QString& path);
    // Adds the paths as new last entries, unchanged and in order, in one insertion.
    void AppendEntries(const QStringList& paths);
    // True when at least one entry's text equals the path exactly (case-sensitive).
    bool IsInFileList(const QString& path) const;

    qsizetype entryCount() const;
    // The text of entry index (1-based); "" when there is no such entry.
    QString entry(qsizetype index) const;
    // Replaces the text of entry index (1-based); false when there is no such entry.
    bool setEntry(qsizetype index, const QString& path);
    // Removes entry index (1-based); false when there is no such entry.
    bool removeEntry(qsizetype index);
    // Removes every entry at once.
    void clearEntries();
    // The key of entry index (1-based), which stays with the entry wherever it moves; 0 when there is no such entry.
    quint64 entryKey(qsizetype index) const;
    // Grows each time entries change rows (an exchange, a removal).
    quint64 entryMoves() const { return m_model->moves(); }
    QStringList entries() const { return m_model->paths(); }

    // Removes the selected entry, unless the window is busy, the list is empty or nothing is selected.
    void RemoveSelectedEntry();

    // The selected entry's index (1-based), 0 when none is selected.
    qsizetype selectedIndex() const;
    void selectEntry(qsizetype index);

    // The heading of the single column.
    void setColumnHeader(const QString& header);

    // The window's busy test: while it holds, removal does nothing.
    void setBusyTest(std::function<bool()> isBusy) { m_isBusy = std::move(isBusy); }
    // The icon file of the pointer shown while an entry is dragged.
    void setDragPointerFile(const QString& path) { m_dragPointerFile = path; }
    void setDropHandler(DropHandler handler) { m_dropHandler = std::move(handler); }
    // Where a failure that escapes the drop handler is reported (a warning on stderr without one).
    void setDropFailureReport(std::function<void(const QString& description)> report)
    {
        m_dropFailureReport = std::move(report);
    }

    // The reordering's state: the index (1-based) of the dragged entry, 0 for none, and whether a mouse
    // button went down on the list and has not come up yet.
    qsizetype draggedIndex() const { return m_draggedRow + 1; }
    bool isButtonDown() const { return m_buttonDown; }

    FileListModel* fileModel() const { return m_model; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The hit test: the entry at a viewport position, none outside the visible entry area.
    QModelIndex entryAt(const QPoint& position) const;
    // A press landed on an entry: show the drag pointer and make the selected entry the dragged one.
    void itemClick();
    // One pointer movement with the button down, at a row of the list and a height on the screen.
    void moveDraggedEntry(const QModelIndex& underPointer, int screenY);
    void forgetDraggedEntry() { m_draggedRow = -1; }
    // Shows the drop effect the data earns; true when the list takes it.
    static bool decideDrop(QDropEvent* event);

    FileListModel* m_model;
    std::function<bool()> m_isBusy;
    QString m_dragPointerFile;
    DropHandler m_dropHandler;
    std::function<void(const QString& description)> m_dropFailureReport;
    bool m_buttonDown = false;
    int m_draggedRow = -1; // -1: none
};

} // namespace ostrand

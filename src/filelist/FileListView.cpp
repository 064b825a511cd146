// SPDX-License-Identifier: MIT
#include "filelist/FileListView.h"

#include <algorithm>
#include <optional>

#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QUrl>

#include "core/filelist/Reorder.h"

namespace ostrand {

int FileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_paths.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_paths.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return m_paths.at(index.row());
    return {};
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_header;
    return QAbstractListModel::headerData(section, orientation, role);
}

void FileListModel::setHeader(const QString& header)
{
    m_header = header;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

void FileListModel::append(const QString& path)
{
    const int row = static_cast<int>(m_paths.size());
    beginInsertRows(QModelIndex(), row, row);
    m_paths.append(path);
    m_keys.append(m_nextKey++);
    endInsertRows();
}

void FileListModel::append(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    const int first = static_cast<int>(m_paths.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(paths.size()) - 1);
    m_paths.append(paths);
    m_keys.reserve(m_paths.size());
    for (qsizetype i = 0; i < paths.size(); ++i)
        m_keys.append(m_nextKey++);
    endInsertRows();
}

void FileListModel::setText(int row, const QString& path)
{
    m_paths[row] = path;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::ToolTipRole});
}

void FileListModel::exchange(int first, int second)
{
    m_paths.swapItemsAt(first, second);
    m_keys.swapItemsAt(first, second);
    ++m_moves;
    for (const int row : {first, second}) {
        const QModelIndex changed = index(row);
        emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::ToolTipRole});
    }
}

void FileListModel::removeAt(int row)
{
    beginRemoveRows(QModelIndex(), row, row);
    m_paths.removeAt(row);
    m_keys.removeAt(row);
    ++m_moves;
    endRemoveRows();
}

void FileListModel::clear()
{
    beginResetModel();
    m_paths.clear();
    m_keys.clear();
    ++m_moves;
    endResetModel();
}

bool IsFileListData(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    return !urls.isEmpty() && std::all_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

QStringList DroppedPaths(const QMimeData* data)
{
    QStringList paths;
    if (!IsFileListData(data))
        return paths;
    for (const QUrl& url : data->urls())
        paths.append(url.toLocalFile());
    return paths;
}

namespace {

// The entries' texts as the reorder exchange sees them, read and written in place.
class ModelTexts
{
public:
    explicit ModelTexts(FileListModel& model) : m_model(model) {}
    qsizetype size() const { return m_model.paths().size(); }
    QString at(int row) const { return m_model.paths().at(row); }
    void swapItemsAt(int first, int second) { m_model.exchange(first, second); }

private:
    FileListModel& m_model;
};

// The drag pointer from its icon file; the standard arrow when the file is missing or unreadable.
QCursor dragPointer(const QString& iconFile)
{
    const QPixmap image(iconFile);
    if (image.isNull())
        return QCursor(Qt::ArrowCursor);
    return QCursor(image); // an icon's hot spot is its centre
}

} // namespace

FileListView::FileListView(QWidget* parent) : QTreeView(parent), m_model(new FileListModel(this))
{
    setModel(m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);

    // A drop target only: the list decides about drops itself and never starts a drag.
    setDragEnabled(false);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);

    // Removing entries forgets the dragged entry, so a later drag never exchanges with a stale one.
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, [this] { forgetDraggedEntry(); });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { forgetDraggedEntry(); });
}

void FileListView::AppendEntry(const QString& path)
{
    m_model->append(path);
}

void FileListView::AppendEntries(const QStringList& paths)
{
    m_model->append(paths);
}

bool FileListView::IsInFileList(const QString& path) const
{
    return m_model->paths().contains(path, Qt::CaseSensitive);
}

qsizetype FileListView::entryCount() const
{
    return m_model->paths().size();
}

QString FileListView::entry(qsizetype index) const
{
    if (index < 1 || index > entryCount())
        return {};
    return m_model->paths().at(index - 1);
}

bool FileListView::setEntry(qsizetype index, const QString& path)
{
    if (index < 1 || index > entryCount())
        return false;
    m_model->setText(static_cast<int>(index - 1), path);
    return true;
}

bool FileListView::removeEntry(qsizetype index)
{
    if (index < 1 || index > entryCount())
        return false;
    m_model->removeAt(static_cast<int>(index - 1));
    return true;
}

void FileListView::clearEntries()
{
    m_model->clear();
}

quint64 FileListView::entryKey(qsizetype index) const
{
    if (index < 1 || index > entryCount())
        return 0;
    return m_model->keyAt(static_cast<int>(index - 1));
}

void FileListView::RemoveSelectedEntry()
{
    if (m_isBusy && m_isBusy())
        return;
    if (entryCount() == 0)
        return;
    removeEntry(selectedIndex()); // nothing selected: index 0, nothing removed
}

qsizetype FileListView::selectedIndex() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? 0 : rows.first().row() + 1;
}

void FileListView::selectEntry(qsizetype index)
{
    if (index < 1 || index > entryCount()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex item = m_model->index(static_cast<int>(index - 1));
    selectionModel()->setCurrentIndex(item, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void FileListView::setColumnHeader(const QString& header)
{
    m_model->setHeader(header);
}

void FileListView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete) { // with any modifiers
        RemoveSelectedEntry();
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

QModelIndex FileListView::entryAt(const QPoint& position) const
{
    // Outside the visible entries the view would still name the hidden rows above or below them.
    if (!viewport()->rect().contains(position))
        return {};
    return indexAt(position);
}

void FileListView::mousePressEvent(QMouseEvent* event)
{
    QTreeView::mousePressEvent(event); // selects the entry under the pointer
    if (event->button() != Qt::LeftButton)
        return; // only the left button drags an entry
    m_buttonDown = true;
    if (entryAt(event->position().toPoint()).isValid())
        itemClick();
}

void FileListView::itemClick()
{
    viewport()->setCursor(dragPointer(m_dragPointerFile));
    m_draggedRow = static_cast<int>(selectedIndex() - 1); // none when the click left nothing selected
}

void FileListView::mouseMoveEvent(QMouseEvent* event)
{
    // The window's pointer goes back to the default through the pointer scheme's watch on the viewport.
    if (!m_buttonDown) {
        QTreeView::mouseMoveEvent(event);
        return;
    }
    moveDraggedEntry(entryAt(event->position().toPoint()), qRound(event->globalPosition().y()));
    event->accept();
}

void FileListView::moveDraggedEntry(const QModelIndex& underPointer, int screenY)
{
    if (!underPointer.isValid())
        return;
    ModelTexts texts(*m_model);
    const std::optional<int> row = ExchangeDraggedEntry(texts, m_draggedRow, underPointer.row());
    if (!row)
        return;
    // The entry is selected where it is: only the scroll rule below moves the view.
    const bool autoScrolls = hasAutoScroll();
    setAutoScroll(false);
    selectEntry(*row + 1);
    setAutoScroll(autoScrolls);
    m_draggedRow = *row;
    if (const std::optional<int> reveal = RowToRevealAfterExchange(*row, m_model->rowCount(), screenY))
        scrollTo(m_model->index(*reveal), QAbstractItemView::EnsureVisible);
}

void FileListView::mouseReleaseEvent(QMouseEvent* event)
{
    // After a press on an entry that was already selected the view selects anew at the release, by what lies under
    // the pointer then: nothing beside the column, a hidden entry below the list. The drag has chosen the selected
    // entry already, and it stays.
    const qsizetype selected = selectedIndex();
    QTreeView::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    if (m_buttonDown && selectedIndex() != selected) {
        const bool autoScrolls = hasAutoScroll();
        setAutoScroll(false);
        selectEntry(selected);
        setAutoScroll(autoScrolls);
    }
    m_buttonDown = false;
    viewport()->setCursor(Qt::ArrowCursor);
}

void FileListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;          // only the left button removes
    m_buttonDown = true; // the second press of the double-click
    RemoveSelectedEntry();
}

bool FileListView::decideDrop(QDropEvent* event)
{
    if (IsFileListData(event->mimeData())) {
        event->acceptProposedAction();
        return true;
    }
    event->setDropAction(Qt::IgnoreAction);
    event->ignore();
    return false;
}

void FileListView::dragEnterEvent(QDragEnterEvent* event)
{
    decideDrop(event);
}

void FileListView::dragMoveEvent(QDragMoveEvent* event)
{
    decideDrop(event);
}

void FileListView::dropEvent(QDropEvent* event)
{
    if (!decideDrop(event))
        return;
    const QStringList paths = DroppedPaths(event->mimeData());
    if (!m_dropHandler)
        return;
    // No failure leaves the event handler: what was appended before it stays.
    QString failure;
    try {
        m_dropHandler(paths);
        return;
    } catch (const std::exception& e) {
        failure = QString::fromLocal8Bit(e.what());
    } catch (...) {
        failure = QStringLiteral("Unexpected failure");
    }
    if (m_dropFailureReport)
        m_dropFailureReport(failure);
    else
        qWarning("The drop was not handled completely: %s", qUtf8Printable(failure));
}

} // namespace ostrand

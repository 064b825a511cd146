// SPDX-License-Identifier: MIT
#include "filelist/FileListView.h"

#include <QHeaderView>

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
    endInsertRows();
}

void FileListModel::setText(int row, const QString& path)
{
    m_paths[row] = path;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::ToolTipRole});
}

void FileListModel::removeAt(int row)
{
    beginRemoveRows(QModelIndex(), row, row);
    m_paths.removeAt(row);
    endRemoveRows();
}

void FileListModel::clear()
{
    beginResetModel();
    m_paths.clear();
    endResetModel();
}

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
}

void FileListView::AppendEntry(const QString& path)
{
    m_model->append(path);
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

} // namespace ostrand

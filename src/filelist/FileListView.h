// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractListModel>
#include <QStringList>
#include <QTreeView>

namespace ostrand {

// The file list's entries: full paths in list order, nothing more. Duplicates are allowed.
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
    void setText(int row, const QString& path);
    void removeAt(int row);
    void clear();
    const QStringList& paths() const { return m_paths; }

private:
    QStringList m_paths;
    QString m_header;
};

// ListView1: the file list as a one-column report. Entries are numbered from 1; an entry's text is the
// full path of one input file and is all it holds. Stays quick with a hundred thousand entries.
class FileListView : public QTreeView
{
    Q_OBJECT

public:
    explicit FileListView(QWidget* parent = nullptr);

    // Adds a new last entry whose text is the path unchanged; checks nothing.
    void AppendEntry(const QString& path);
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
    QStringList entries() const { return m_model->paths(); }

    // The selected entry's index (1-based), 0 when none is selected.
    qsizetype selectedIndex() const;
    void selectEntry(qsizetype index);

    // The heading of the single column.
    void setColumnHeader(const QString& header);

    FileListModel* fileModel() const { return m_model; }

private:
    FileListModel* m_model;
};

} // namespace ostrand

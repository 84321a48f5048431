#pragma once

#include <QAbstractTableModel>

class RecordTable;

// The grid's view of a RecordTable: its visible rows and columns, centred cells, the grid
// titles, and edits written through the table. The table tells it about every change.
class RecordModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordModel(RecordTable& table);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Called by the table around its changes.
    void beginReload() { beginResetModel(); }
    void endReload() { endResetModel(); }
    void beginAppend(int row) { beginInsertRows({}, row, row); }
    void endAppend() { endInsertRows(); }
    void beginRemove(int row) { beginRemoveRows({}, row, row); }
    // `row` goes to `place`, its index once it has moved.
    void beginMove(int row, int place) {
        beginMoveRows({}, row, row, {}, place > row ? place + 1 : place);
    }
    void endMove() { endMoveRows(); }
    void endRemove() { endRemoveRows(); }
    void rowChanged(int row);
    void flagsChanged();

private:
    RecordTable& m_table;
};

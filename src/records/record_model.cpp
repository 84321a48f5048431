#include "records/record_model.h"

#include "records/record_table.h"

RecordModel::RecordModel(RecordTable& table) : QAbstractTableModel(&table), m_table(table) {}

int RecordModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_table.rowCount();
}

int RecordModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_table.columnCount();
}

QVariant RecordModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return m_table.valueAt(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    default:
        return {};
    }
}

QVariant RecordModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole) {
        const QStringList titles = m_table.columnTitles();
        return section >= 0 && section < titles.size() ? titles[section] : QVariant();
    }
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    return {};
}

Qt::ItemFlags RecordModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (m_table.isEditableColumn(index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool RecordModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || !m_table.isEditableColumn(index.column()))
        return false;
    try {
        m_table.setCell(index.row(), index.column(), value);
        return true;
    } catch (const RecordError& e) {
        emit m_table.writeFailed(QString::fromStdString(e.what()));
        return false;
    }
}

void RecordModel::rowChanged(int row) {
    if (row < 0 || row >= rowCount())
        return;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void RecordModel::flagsChanged() {
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

#include "moc_record_model.cpp"

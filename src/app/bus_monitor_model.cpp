#include "app/bus_monitor_model.h"

#include "protocol/frame_decoder.h"

#include <QBrush>
#include <QDateTime>
#include <QFontDatabase>

#include <algorithm>

QStringList BusMonitorModel::headers() {
    return {QStringLiteral("Time"),   QStringLiteral("Direction"), QStringLiteral("Link"),
            QStringLiteral("Module"), QStringLiteral("What"),      QStringLiteral("Status"),
            QStringLiteral("Bytes")};
}

BusMonitorModel::BusMonitorModel(QObject* parent, int maxRows)
    : QAbstractTableModel(parent), m_maxRows(std::size_t(std::max(1, maxRows))),
      m_evictRows(std::max<std::size_t>(1, m_maxRows / 50)) {}

void BusMonitorModel::add(const TappedFrame& f) {
    if (m_rows.size() >= m_maxRows) {
        const std::size_t gone = std::min(m_evictRows, m_rows.size());
        beginRemoveRows({}, 0, int(gone) - 1);
        m_rows.erase(m_rows.begin(), m_rows.begin() + std::ptrdiff_t(gone));
        endRemoveRows();
    }
    m_systemDrops += m_dropWatch.newDrops(f);
    if (f.fate == TappedFrame::Fate::Noise)
        m_noiseBytes += quint64(f.bytes.size());
    const framedecoder::DecodedFrame d = framedecoder::decode(f.bytes, framedecoder::hintsOf(f));
    Row row;
    row.frame = f;
    row.frame.bytes.truncate(kKeptBytes);
    row.length = int(f.bytes.size());
    row.family = d.family;
    row.module = d.hasModule ? d.module : -1;
    row.cells[Time] =
        QDateTime::fromMSecsSinceEpoch(f.timeUs / 1000).toString(QStringLiteral("hh:mm:ss.zzz"));
    row.cells[Direction] = f.direction == TappedFrame::Direction::Sent ? QStringLiteral("sent")
                                                                       : QStringLiteral("received");
    row.cells[Link] =
        f.link == TappedFrame::Link::Network ? QStringLiteral("network") : QStringLiteral("serial");
    row.cells[Module] = d.moduleText();
    row.cells[What] = d.what();
    if (f.fate == TappedFrame::Fate::NotSent)
        row.cells[Status] = TappedFrame::fateText(f.fate);
    else if (f.dropped())
        row.cells[Status] = QStringLiteral("dropped: ") + TappedFrame::fateText(f.fate);
    else
        row.cells[Status] = d.status;
    row.cells[Bytes] = framedecoder::maskedHex(row.frame.bytes, d);
    if (row.length > kKeptBytes)
        row.cells[Bytes] += QStringLiteral(" … (%1 bytes)").arg(row.length);
    const int at = int(m_rows.size());
    beginInsertRows({}, at, at);
    m_rows.push_back(std::move(row));
    endInsertRows();
}

void BusMonitorModel::clear() {
    beginResetModel();
    m_rows.clear();
    m_dropWatch.restart();
    m_systemDrops = 0;
    m_noiseBytes = 0;
    endResetModel();
}

int BusMonitorModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int BusMonitorModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BusMonitorModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Row& r = row(index.row());
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return r.cells[std::size_t(index.column())];
    if (role == Qt::FontRole && index.column() == Bytes)
        return QFontDatabase::systemFont(QFontDatabase::FixedFont);
    // What the tool dropped, or could not send, stands out.
    if (role == Qt::ForegroundRole && (r.frame.dropped()))
        return QBrush(Qt::darkRed);
    return {};
}

QVariant BusMonitorModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < ColumnCount)
        return headers().at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

#include "moc_bus_monitor_model.cpp"

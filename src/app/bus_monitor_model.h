#pragma once

#include "link/frame_tap.h"
#include "link/system_drop_watch.h"

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>

#include <array>
#include <deque>

// The bus monitor's rows: every frame the bus tapped, decoded once as it comes, the password
// hidden in every cell. At kMaxRows the oldest fiftieth goes in one block, so that a frame
// costs the same at the cap as below it (the views and the filter learn of one removal, not
// of one per frame); the newest rows always stay. A row keeps the first
// kKeptBytes of its frame with the frame's whole length: no frame of the bus is longer, and a
// flood of large datagrams then costs at most that much a row.
class BusMonitorModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Direction, Link, Module, What, Status, Bytes, ColumnCount };
    static constexpr int kMaxRows = 50000;
    static constexpr int kKeptBytes = 100;

    struct Row {
        TappedFrame frame; // its bytes cut to kKeptBytes
        int length = 0;    // the bytes it came with
        std::array<QString, ColumnCount> cells;
        QString family;  // empty when the frame names none
        int module = -1; // the module address the frame carries, -1 for none
    };

    // `maxRows` other than kMaxRows: a test's small cap.
    explicit BusMonitorModel(QObject* parent = nullptr, int maxRows = kMaxRows);

    static QStringList headers();

    void add(const TappedFrame& frame);
    void clear();
    const Row& row(int i) const { return m_rows[std::size_t(i)]; }
    // The datagrams the system dropped since the monitor started taking rows (or was
    // cleared): they never reached the tool, so no row shows them.
    quint64 systemDrops() const { return m_systemDrops; }
    // The serial bytes of noise that came ahead of replies since the monitor started (or
    // was cleared).
    quint64 noiseBytes() const { return m_noiseBytes; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::deque<Row> m_rows;
    std::size_t m_maxRows;
    std::size_t m_evictRows; // how many go at once at the cap
    SystemDropWatch m_dropWatch;
    quint64 m_systemDrops = 0;
    quint64 m_noiseBytes = 0;
};

#pragma once

#include "link/frame_tap.h"

#include <QDialog>
#include <QList>
#include <QMetaObject>
#include <QTimer>

#include <functional>

class Bus;
class BusMonitorModel;
class PromptService;
class QComboBox;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QSpinBox;
class QTableView;

// "Bus Monitor…": every frame the tool sends and every input it receives, decoded, in a table
// (time, direction, link, module, what, status, bytes with the password hidden), with what the
// intake dropped and why. Filters by module and family, pause, clear, save as CSV and as a
// capture file for Wireshark. It listens to the bus only while it is shown; the traffic log
// and the dispatch know nothing of it.
//
// Frames are taken in at once but shown a little later, in batches: a network exchange
// repaints the windows before it waits, and a row shown at every frame would make every
// exchange wait for a repaint of the monitor.
class BusMonitorDialog : public QDialog {
    Q_OBJECT
public:
    // A file name to write, empty when cancelled; tests put their own in place.
    using SaveFile =
        std::function<QString(QWidget* parent, const QString& caption, const QString& filter)>;

    BusMonitorDialog(Bus& bus, PromptService& prompts, QWidget* parent);
    ~BusMonitorDialog() override;

    void setSaveFile(SaveFile saveFile) { m_saveFile = std::move(saveFile); }
    BusMonitorModel& model() { return *m_model; }
    // The rows the filters let through, in order.
    int shownCount() const;

    void clear();
    void saveCsv();
    void saveCapture();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void take(const TappedFrame& frame);
    void flush();
    void updateSummary();
    QList<int> shownRows() const;

    Bus& m_bus;
    PromptService& m_prompts;
    SaveFile m_saveFile;
    BusMonitorModel* m_model = nullptr;
    QSortFilterProxyModel* m_filter = nullptr;
    QTableView* m_table = nullptr;
    QSpinBox* m_module = nullptr;
    QComboBox* m_family = nullptr;
    QPushButton* m_pause = nullptr;
    QLabel* m_summary = nullptr;
    QMetaObject::Connection m_listening;
    QList<TappedFrame> m_pending; // taken in, not shown yet
    QTimer m_flush;
    int m_missed = 0; // frames that came while paused
};

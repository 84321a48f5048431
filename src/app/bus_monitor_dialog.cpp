#include "app/bus_monitor_dialog.h"

#include "app/bus_monitor_model.h"
#include "link/bus.h"
#include "link/capture_writer.h"
#include "platform/udp_drop_counter.h"
#include "protocol/operation_table.h"
#include "records/record_table.h"
#include "records/whole_file.h"
#include "widgets/form_builder.h"
#include "widgets/prompt_service.h"

#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

namespace {

constexpr int kAllModules = -1;
constexpr int kFlushMs = 100;

// The rows of one module and one family, or of all.
class MonitorRowFilter : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void set(int module, const QString& family) {
        m_module = module;
        m_family = family;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex&) const override {
        const auto& r = static_cast<const BusMonitorModel*>(sourceModel())->row(row);
        return (m_module == kAllModules || r.module == m_module) &&
               (m_family.isEmpty() || r.family == m_family);
    }

private:
    int m_module = kAllModules;
    QString m_family;
};

// A spreadsheet runs a cell that begins like a formula; a leading ' shows it as text.
QString csvCell(QString text) {
    if (!text.isEmpty() && QStringLiteral("=+-@\t\r").contains(text.front()))
        text.prepend(u'\'');
    if (text.contains(u',') || text.contains(u'"') || text.contains(u'\n'))
        text = u'"' + text.replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
    return text;
}

QString withSuffix(const QString& file, const QString& suffix) {
    return QFileInfo(file).suffix().isEmpty() ? file + u'.' + suffix : file;
}

} // namespace

BusMonitorDialog::BusMonitorDialog(Bus& bus, PromptService& prompts, QWidget* parent)
    : QDialog(parent), m_bus(bus), m_prompts(prompts),
      m_saveFile([](QWidget* p, const QString& caption, const QString& filter) {
          return QFileDialog::getSaveFileName(p, caption, QString(), filter);
      }) {
    setObjectName(QStringLiteral("BusMonitorDialog"));
    setWindowTitle(QStringLiteral("Bus Monitor"));
    setModal(false);
    setWindowFlag(Qt::Window);
    resize(1280, 600);

    m_flush.setSingleShot(true);
    m_flush.setInterval(kFlushMs);
    connect(&m_flush, &QTimer::timeout, this, &BusMonitorDialog::flush);
    m_model = new BusMonitorModel(this);
    auto* filter = new MonitorRowFilter(this);
    m_filter = filter;
    m_filter->setSourceModel(m_model);

    auto* column = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    m_module = form::spin(this, QStringLiteral("MonitorModule"), kAllModules, 255, kAllModules);
    m_module->setSpecialValueText(QStringLiteral("All"));
    m_family = form::combo(this, QStringLiteral("MonitorFamily"),
                           QStringList{QStringLiteral("All")} + operations::families());
    bar->addWidget(
        form::label(this, QStringLiteral("MonitorModuleLabel"), QStringLiteral("Module :")));
    bar->addWidget(m_module);
    bar->addWidget(
        form::label(this, QStringLiteral("MonitorFamilyLabel"), QStringLiteral("Family :")));
    bar->addWidget(m_family);
    bar->addStretch();
    m_pause = form::button(this, QStringLiteral("MonitorPause"), QStringLiteral("Pause"));
    m_pause->setCheckable(true);
    auto* clearButton = form::button(this, QStringLiteral("MonitorClear"), QStringLiteral("Clear"));
    auto* csv = form::button(this, QStringLiteral("MonitorSaveCsv"), QStringLiteral("Save CSV…"));
    auto* capture =
        form::button(this, QStringLiteral("MonitorSaveCapture"), QStringLiteral("Save Capture…"));
    for (QPushButton* b : {m_pause, clearButton, csv, capture})
        bar->addWidget(b);
    column->addLayout(bar);

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("MonitorTable"));
    m_table->setModel(m_filter);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {95, 75, 65, 70, 330, 170};
    for (int c = 0; c < int(std::size(widths)); ++c)
        m_table->setColumnWidth(c, widths[c]);
    column->addWidget(m_table, 1);
    m_summary = form::label(this, QStringLiteral("MonitorSummary"), QString());
    column->addWidget(m_summary);

    const auto refilter = [this, filter] {
        filter->set(m_module->value(),
                    m_family->currentIndex() > 0 ? m_family->currentText() : QString());
        updateSummary();
    };
    connect(m_module, &QSpinBox::valueChanged, this, refilter);
    connect(m_family, &QComboBox::currentIndexChanged, this, refilter);
    connect(m_pause, &QPushButton::toggled, this, [this](bool paused) {
        m_pause->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
        m_missed = 0;
        updateSummary();
    });
    connect(clearButton, &QPushButton::clicked, this, &BusMonitorDialog::clear);
    connect(csv, &QPushButton::clicked, this, &BusMonitorDialog::saveCsv);
    connect(capture, &QPushButton::clicked, this, &BusMonitorDialog::saveCapture);
    updateSummary();
}

BusMonitorDialog::~BusMonitorDialog() {
    disconnect(m_listening);
}

void BusMonitorDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_listening)
        m_listening = connect(&m_bus.tap(), &FrameTap::frame, this, &BusMonitorDialog::take);
}

void BusMonitorDialog::hideEvent(QHideEvent* event) {
    // Closed, the monitor costs the bus nothing.
    disconnect(m_listening);
    m_listening = {};
    flush();
    QDialog::hideEvent(event);
}

void BusMonitorDialog::take(const TappedFrame& frame) {
    if (m_pause->isChecked())
        ++m_missed;
    else
        m_pending << frame;
    if (!m_flush.isActive())
        m_flush.start();
}

void BusMonitorDialog::flush() {
    m_flush.stop();
    if (!m_pending.isEmpty()) {
        QScrollBar* scroll = m_table->verticalScrollBar();
        const bool atEnd = scroll->value() == scroll->maximum();
        for (const TappedFrame& frame : std::as_const(m_pending))
            m_model->add(frame);
        m_pending.clear();
        if (atEnd)
            m_table->scrollToBottom();
    }
    updateSummary();
}

void BusMonitorDialog::clear() {
    m_pending.clear();
    m_model->clear();
    m_missed = 0;
    updateSummary();
}

int BusMonitorDialog::shownCount() const {
    return m_filter->rowCount();
}

QList<int> BusMonitorDialog::shownRows() const {
    QList<int> rows;
    for (int i = 0; i < m_filter->rowCount(); ++i)
        rows << m_filter->mapToSource(m_filter->index(i, 0)).row();
    return rows;
}

void BusMonitorDialog::updateSummary() {
    QString text =
        QStringLiteral("%1 frames, %2 shown.").arg(m_model->rowCount()).arg(shownCount());
    if (m_pause->isChecked())
        text += QStringLiteral(" Paused: %1 frames not taken in.").arg(m_missed);
    if (const quint64 drops = m_model->systemDrops())
        text += QStringLiteral(" The system dropped %1 datagrams: they came faster than the "
                               "tool read them.")
                    .arg(drops);
    else if (!UdpDropCounter::available())
        text += QStringLiteral(" Datagrams the system drops are not counted here.");
    if (const quint64 noise = m_model->noiseBytes())
        text += QStringLiteral(" %1 bytes of line noise came ahead of replies.").arg(noise);
    m_summary->setText(text);
}

void BusMonitorDialog::saveCsv() {
    flush();
    const QList<int> rows = shownRows();
    if (rows.isEmpty()) {
        m_prompts.message(QStringLiteral("No frames to save."));
        return;
    }
    QString file =
        m_saveFile(this, QStringLiteral("Save Bus Monitor"), QStringLiteral("CSV files (*.csv)"));
    if (file.isEmpty())
        return;
    file = withSuffix(file, QStringLiteral("csv"));
    QString text = BusMonitorModel::headers().join(u',') + u'\n';
    for (int r : rows) {
        QStringList cells;
        for (const QString& cell : m_model->row(r).cells)
            cells << csvCell(cell);
        text += cells.join(u',') + u'\n';
    }
    try {
        WholeFile::save({file}, {text.toUtf8()});
    } catch (const RecordError& e) {
        m_prompts.message(QStringLiteral("Can not save the bus monitor"),
                          QString::fromStdString(e.what()));
        return;
    }
    m_prompts.message(
        QStringLiteral("Bus monitor saved"),
        QStringLiteral("%1 frames in %2").arg(rows.size()).arg(QDir::toNativeSeparators(file)));
}

void BusMonitorDialog::saveCapture() {
    flush();
    const QList<int> rows = shownRows();
    if (rows.isEmpty()) {
        m_prompts.message(QStringLiteral("No frames to save."));
        return;
    }
    QString file = m_saveFile(this, QStringLiteral("Save Capture"),
                              QStringLiteral("Capture files for Wireshark (*.pcapng)"));
    if (file.isEmpty())
        return;
    file = withSuffix(file, QStringLiteral("pcapng"));
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    CaptureWriter writer;
    writer.begin(&bytes); // into memory: nothing to fail
    int written = 0;
    for (int r : rows) {
        const TappedFrame& frame = m_model->row(r).frame;
        writer.write(frame);
        written += frame.fate == TappedFrame::Fate::NotSent ? 0 : 1; // never on the wire
    }
    writer.close();
    try {
        WholeFile::save({file}, {bytes.data()});
    } catch (const RecordError& e) {
        m_prompts.message(QStringLiteral("Can not save the capture"),
                          QString::fromStdString(e.what()));
        return;
    }
    m_prompts.message(
        QStringLiteral("Capture saved"),
        QStringLiteral("%1 frames in %2. ").arg(written).arg(QDir::toNativeSeparators(file)) +
            CaptureWriter::passwordNote());
}

#include "moc_bus_monitor_dialog.cpp"

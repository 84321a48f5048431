// The main window at the sizes technicians' screens have: fields as wide as their contents,
// every grid column in view at 1600x1000, sheets that scroll rather than crush below that,
// and the processing dialog with its title bar and progress bar.
#include "app/main_window.h"
#include "app/processing_dialog.h"
#include "link/bus_internals.h"
#include "link/bus.h"
#include "widgets/prompt_service.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {
QScrollArea* sheet(TForm1& window, int index) {
    return qobject_cast<QScrollArea*>(window.pages()->widget(index));
}

// Spin edits, pick-lists and date pickers under `root` that are wider than they ask to be.
QStringList stretchedFields(const QWidget* root) {
    QStringList out;
    const auto check = [&out](const QWidget* w) {
        if (w->isVisible() && w->width() > qMax(w->sizeHint().width(), w->minimumWidth()))
            out << QStringLiteral("%1 %2 > %3")
                       .arg(w->objectName())
                       .arg(w->width())
                       .arg(w->sizeHint().width());
    };
    for (const QWidget* w : root->findChildren<QAbstractSpinBox*>())
        check(w);
    for (const QWidget* w : root->findChildren<QComboBox*>())
        check(w);
    return out;
}
} // namespace

class TestAppLayout : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<TForm1> m_window;

    void showAt(const QSize& size) {
        m_window->resize(size);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTRY_COMPARE(m_window->size(), size);
    }

private slots:
    void init() {
        m_prompts = std::make_unique<ScriptedPrompts>();
        m_window = std::make_unique<TForm1>(*m_prompts, QStringLiteral("/nonexistent/VELM.mdb"));
    }
    void cleanup() {
        m_window.reset();
        m_prompts.reset();
    }

    void everySheetScrolls() {
        for (int i = 0; i < m_window->pages()->count(); ++i) {
            QScrollArea* s = sheet(*m_window, i);
            QVERIFY2(s && s->widgetResizable(), qPrintable(QString::number(i)));
            QCOMPARE(s->objectName(), QStringLiteral("TabSheet%1").arg(i + 1));
        }
    }

    void wideScreenShowsEverything() {
        showAt({1600, 1000});
        QStringList stretched = stretchedFields(m_window->findChild<QGroupBox*>("GroupBox4"));
        for (int i = 0; i < m_window->pages()->count(); ++i) {
            m_window->pages()->setCurrentIndex(i);
            QApplication::processEvents();
            QScrollArea* s = sheet(*m_window, i);
            const QString name = s->objectName();
            // Nothing to scroll: the sheets got the height they need.
            const QSize need = s->widget()->minimumSizeHint();
            QVERIFY2(s->viewport()->width() >= need.width() &&
                         s->viewport()->height() >= need.height(),
                     qPrintable(name));
            stretched << stretchedFields(s->widget());
            for (const QTableView* grid : s->findChildren<QTableView*>())
                QVERIFY2(grid->viewport()->width() >= grid->horizontalHeader()->length(),
                         qPrintable(name + ": " + grid->objectName()));
        }
        QVERIFY2(stretched.isEmpty(), qPrintable(stretched.join(", ")));
    }

    void smallScreenScrollsInsteadOfCrushing_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("1280x720") << QSize(1280, 720);
        QTest::newRow("below the minimum") << QSize(640, 400);
    }

    void smallScreenScrollsInsteadOfCrushing() {
        QFETCH(QSize, size);
        const QSize minimum = m_window->minimumSize();
        QVERIFY(minimum.width() <= 1280 && minimum.height() <= 720);
        m_window->show();
        m_window->resize(size);
        QTRY_COMPARE(m_window->size(), size.expandedTo(minimum));
        // The settings band keeps its fields at their width.
        for (const QLineEdit* e :
             m_window->findChild<QGroupBox*>("GroupBox4")->findChildren<QLineEdit*>())
            QVERIFY2(!e->isVisible() || qobject_cast<QAbstractSpinBox*>(e->parentWidget()) ||
                         e->width() == e->minimumWidth(),
                     qPrintable(e->objectName()));
        // The timer sheet does not fit: it scrolls, its grids keep every column.
        m_window->pages()->setCurrentIndex(6);
        QApplication::processEvents();
        QScrollArea* timers = sheet(*m_window, 6);
        QVERIFY(timers->verticalScrollBar()->isVisible());
        QVERIFY(timers->widget()->height() >= timers->widget()->minimumSizeHint().height());
        for (const QTableView* grid : timers->findChildren<QTableView*>())
            QVERIFY(grid->viewport()->width() >= grid->horizontalHeader()->length());
    }

    void processingDialogShowsProgress() {
        TForm2& dialog = m_window->processingDialog();
        QVERIFY(dialog.windowFlags() & Qt::WindowTitleHint);
        QVERIFY(dialog.windowTitle().isEmpty());
        dialog.sequenceStarted();
        QProgressBar* bar = dialog.progressBar();
        QVERIFY(bar->text().isEmpty());
        dialog.setProgress(37, 224);
        QCOMPARE(bar->text(), QStringLiteral("request 37 of 224"));
        QCOMPARE(bar->value(), 37);
        QCOMPARE(bar->maximum(), 224);
        // Below "Processing...", inside the dialog's fixed size.
        QVERIFY(bar->geometry().top() > dialog.findChild<QWidget*>("Label1")->geometry().bottom());
        QVERIFY(dialog.rect().contains(bar->geometry()));
        QCOMPARE(dialog.size(), QSize(337, 139));
        // The next sequence starts from nothing.
        dialog.sequenceEnded();
        QVERIFY(bar->text().isEmpty());
        QCOMPARE(bar->value(), 0);
    }

    // Closing the dialog by its title bar ends the sequence as Cancel does.
    void closingTheDialogIsCancel() {
        m_window->bus().sequenceBegins();
        m_window->processingDialog().sequenceStarted();
        m_window->processingDialog().close();
        QVERIFY(!m_window->processingDialog().isVisible());
        QVERIFY(!m_window->bus().sequenceRunning());
        QCOMPARE(m_prompts->messages.filter("Timeout").size(), 0);
    }
};

QTEST_MAIN(TestAppLayout)
#include "test_app_layout.moc"

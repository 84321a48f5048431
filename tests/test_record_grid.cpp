// The record grids: names, titles, widths and editability, the "Order :" list, the pop-up
// menu's local deletes, errors shown as messages, and the grid's row following the cursor.

#include "records/filters.h"
#include "records/schema.h"
#include "widgets/prompt_service.h"
#include "widgets/record_grid.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

void addScene(RecordTable& t, int scene, int module) {
    t.append();
    t.setField("Scene_No", scene);
    t.setField("Module_Addr", module);
    t.post();
}

QList<int> viewColumn(QTableView* view, int column) {
    QList<int> values;
    for (int r = 0; r < view->model()->rowCount(); ++r)
        values << view->model()->index(r, column).data().toInt();
    return values;
}

} // namespace

class TestRecordGrid : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_file;
    std::unique_ptr<RecordStore> m_store;
    ScriptedPrompts m_prompts;

    std::unique_ptr<RecordGrid> grid(RecordStore::Table t) {
        return std::make_unique<RecordGrid>(m_store->table(t), t, m_prompts);
    }

private slots:
    void init() {
        m_file = m_dir.filePath(QStringLiteral("%1.mdb").arg(QTest::currentTestFunction()));
        QFile::remove(m_file);
        schema::createDatabase(m_file);
        m_store = std::make_unique<RecordStore>();
        QCOMPARE(m_store->openAll(m_file), QStringList());
        m_prompts.messages.clear();
    }
    void cleanup() { m_store.reset(); }

    void namesTitlesAndEditability_data() {
        QTest::addColumn<int>("table");
        QTest::addColumn<QString>("grid");
        QTest::addColumn<QString>("combo");
        QTest::addColumn<QString>("deleteName");
        QTest::addColumn<QString>("deleteAllName");
        QTest::addColumn<QList<int>>("editable");
        QTest::newRow("scenes") << 0 << "DBGrid1"
                                << "ComboBox21"
                                << "Delete1"
                                << "DeleteAll1" << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        QTest::newRow("ir") << 1 << "DBGrid2"
                            << "ComboBox22"
                            << "Delete2"
                            << "DeleteAll2" << QList<int>{};
        QTest::newRow("timers") << 2 << "DBGrid3"
                                << "ComboBox19"
                                << "Delete3"
                                << "DeleteAll3" << QList<int>{};
        QTest::newRow("events") << 3 << "DBGrid4"
                                << "ComboBox20"
                                << "Delate4"
                                << "DeleteAll4" << QList<int>{};
        QTest::newRow("binds") << 4 << "DBGrid5"
                               << "ComboBox23"
                               << "Delete5"
                               << "DeleteAll5" << QList<int>{};
        QTest::newRow("monitor") << 5 << "DBGrid6"
                                 << "ComboBox26"
                                 << "MenuItem1"
                                 << "MenuItem2" << QList<int>{3, 4, 5};
    }
    void namesTitlesAndEditability() {
        QFETCH(int, table);
        QFETCH(QString, grid);
        QFETCH(QString, combo);
        QFETCH(QString, deleteName);
        QFETCH(QString, deleteAllName);
        QFETCH(QList<int>, editable);
        auto g = this->grid(RecordStore::Table(table));
        QCOMPARE(g->findChild<QTableView*>(grid), g->view());
        QCOMPARE(g->findChild<QComboBox*>(combo), g->orderCombo());
        QCOMPARE(g->deleteAction()->objectName(), deleteName);
        QCOMPARE(g->deleteAllAction()->objectName(), deleteAllName);
        const QList<QAction*> menu = g->view()->actions();
        QCOMPARE(menu.size(), 2);
        QCOMPARE(menu[0]->text(), QStringLiteral("Delete"));
        QCOMPARE(menu[1]->text(), QStringLiteral("Delete All"));
        QCOMPARE(g->view()->contextMenuPolicy(), Qt::ActionsContextMenu);
        QCOMPARE(g->orderCombo()->count(), 3);
        QCOMPARE(g->orderCombo()->currentText(), QStringLiteral("Default"));
        QCOMPARE(g->orderCombo()->itemText(2), QStringLiteral("DESC"));
        bool labelled = false;
        for (QLabel* l : g->findChildren<QLabel*>())
            labelled |= l->text() == QLatin1String("Order :");
        QVERIFY(labelled);

        const schema::TableDef& def = schema::tables()[table];
        QAbstractItemModel* m = g->view()->model();
        if (m->rowCount() == 0)
            addScene(m_store->scenes(), 1, 1); // only the scene table is empty and editable
        for (int c = 0; c < def.columns.size(); ++c) {
            const QString title =
                def.columns[c].title.isEmpty() ? def.columns[c].name : def.columns[c].title;
            QCOMPARE(m->headerData(c, Qt::Horizontal).toString(), title);
            // The set width, widened only as far as the title needs.
            if (def.columns[c].width > 0)
                QVERIFY(g->view()->columnWidth(c) >= def.columns[c].width);
            QVERIFY(g->view()->columnWidth(c) >= g->view()->fontMetrics().horizontalAdvance(title));
            if (m->rowCount() > 0)
                QCOMPARE(bool(m->flags(m->index(0, c)) & Qt::ItemIsEditable), editable.contains(c));
        }
        QCOMPARE(g->view()->selectionBehavior(), QAbstractItemView::SelectRows);
        // A refresh resets the model; the widths must survive it.
        m_store->table(RecordStore::Table(table)).refresh();
        for (int c = 0; c < def.columns.size(); ++c)
            if (def.columns[c].width > 0)
                QVERIFY(g->view()->columnWidth(c) >= def.columns[c].width);
    }

    void orderListSortsAndDefaultRestores() {
        RecordTable& t = m_store->scenes();
        addScene(t, 3, 1);
        addScene(t, 1, 2);
        addScene(t, 3, 0);
        auto g = grid(RecordStore::Scenes);
        g->orderCombo()->setCurrentIndex(2);
        QCOMPARE(viewColumn(g->view(), 0), (QList<int>{3, 3, 1}));
        QCOMPARE(viewColumn(g->view(), 2), (QList<int>{1, 0, 2}));
        g->orderCombo()->setCurrentIndex(1);
        QCOMPARE(viewColumn(g->view(), 2), (QList<int>{2, 0, 1}));
        g->orderCombo()->setCurrentIndex(0);
        QCOMPARE(viewColumn(g->view(), 0), (QList<int>{3, 1, 3}));
        QCOMPARE(viewColumn(g->view(), 2), (QList<int>{1, 2, 0}));
        QVERIFY(m_prompts.messages.isEmpty());
    }

    void deleteAllUnderTheTimerFilter() {
        RecordTable& t = m_store->events();
        for (int timer : {1, 3, 3, 2}) {
            t.append();
            t.setField("Timer_Order", timer);
            t.post();
        }
        auto g = grid(RecordStore::Events);
        t.setFiltered(false);
        t.setFilter(eventTimerFilter(3));
        t.setFiltered(true);
        QCOMPARE(g->view()->model()->rowCount(), 2);
        g->deleteAllAction()->trigger();
        QCOMPARE(g->view()->model()->rowCount(), 0);
        QVERIFY(m_prompts.messages.isEmpty());
        g->deleteAllAction()->trigger();
        g->deleteAction()->trigger();
        QCOMPARE(m_prompts.messages, (QStringList{"No records!", "No records!"}));
        t.setFiltered(false);
        QCOMPARE(viewColumn(g->view(), 0), (QList<int>{1, 2}));
    }

    void monitorDeleteClearsTheSelectedSlot() {
        RecordTable& t = m_store->monitor();
        auto g = grid(RecordStore::Monitor);
        QAbstractItemModel* m = g->view()->model();
        QVERIFY(m->setData(m->index(9, 4), 7));
        QVERIFY(m->setData(m->index(9, 5), 3));
        g->view()->setCurrentIndex(m->index(9, 1));
        QCOMPARE(t.currentRow(), 9);
        g->deleteAction()->trigger();
        QCOMPARE(m->rowCount(), 224);
        QCOMPARE(t.fieldInt("Order"), 10);
        QCOMPARE(m->index(9, 4).data().toInt(), 0);
        QCOMPARE(m->index(9, 5).data().toInt(), 0);
        QVERIFY(m_prompts.messages.isEmpty());
    }

    void gridRowFollowsTheCursorBothWays() {
        RecordTable& t = m_store->monitor();
        auto g = grid(RecordStore::Monitor);
        QTableView* v = g->view();
        QCOMPARE(v->currentIndex().row(), 0);
        QVERIFY(t.locate("Order", 100));
        QCOMPARE(v->currentIndex().row(), 99);
        QVERIFY(v->selectionModel()->isRowSelected(99));
        v->setCurrentIndex(v->model()->index(150, 2));
        QCOMPARE(t.fieldInt("Order"), 151);
        // A new sort keeps the same slot current, now at its new place.
        g->orderCombo()->setCurrentIndex(2);
        QCOMPARE(t.fieldInt("Order"), 151);
        QCOMPARE(v->currentIndex().row(), 224 - 151);
        // A filter that hides it moves to a visible row; the grid follows.
        t.setFilter(monitorTypeFilter("Light"));
        t.setFiltered(true);
        QCOMPARE(v->currentIndex().row(), t.currentRow());
        QVERIFY(t.currentRow() >= 0);
    }

    void gridFollowsDeletes() {
        RecordTable& t = m_store->scenes();
        for (int s = 1; s <= 3; ++s)
            addScene(t, s, 1);
        auto g = grid(RecordStore::Scenes);
        g->view()->setCurrentIndex(g->view()->model()->index(1, 0));
        g->deleteAction()->trigger();
        QCOMPARE(t.fieldInt("Scene_No"), 3);
        QCOMPARE(g->view()->currentIndex().row(), t.currentRow());
        g->deleteAction()->trigger();
        QCOMPARE(g->view()->currentIndex().row(), t.currentRow());
        QCOMPARE(t.fieldInt("Scene_No"), 1);
    }

    void errorsAreShownNotThrown() {
        RecordTable closed(QStringLiteral("Timer Records"));
        auto g = std::make_unique<RecordGrid>(closed, RecordStore::Timers, m_prompts);
        g->deleteAction()->trigger();
        g->deleteAllAction()->trigger();
        g->orderCombo()->setCurrentIndex(1);
        QCOMPARE(m_prompts.messages.size(), 3);
        QVERIFY(m_prompts.messages[0].contains(QLatin1String("not open")));

        // A grid edit that the file refuses shows the reason and keeps the stored value.
        m_prompts.messages.clear();
        addScene(m_store->scenes(), 4, 1);
        m_store.reset();
        RecordTable readOnly(QStringLiteral("Scene Records"));
        readOnly.open(m_file, RecordTable::OpenMode::ReadOnly);
        auto sceneGrid = std::make_unique<RecordGrid>(readOnly, RecordStore::Scenes, m_prompts);
        QAbstractItemModel* m = sceneGrid->view()->model();
        QVERIFY(!m->setData(m->index(0, 0), 9));
        QCOMPARE(m_prompts.messages.size(), 1);
        QCOMPARE(m->index(0, 0).data().toInt(), 4);
    }
};

QTEST_MAIN(TestRecordGrid)
#include "test_record_grid.moc"

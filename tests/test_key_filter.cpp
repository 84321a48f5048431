// The key filters as a technician meets them: shortcuts and editing keys work, pasted and
// dropped text keeps only what the edit accepts, and a full "Remote IP" can be replaced.
#include "app/main_window.h"
#include "support/window_probe.h"
#include "widgets/key_filter.h"
#include "widgets/prompt_service.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTest>

namespace {
// Counts the presses of one key that get past the filters installed after it.
struct KeyProbe : QObject {
    int key = 0;
    int presses = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == key)
            ++presses;
        return false;
    }
};

QLineEdit* filteredEdit(QLineEdit& edit, int kind, int maxLength, const QString& text) {
    edit.setMaxLength(maxLength);
    edit.setText(text);
    KeyFilter::install(&edit, KeyFilter::Kind(kind));
    return &edit;
}
} // namespace

class TestKeyFilter : public QObject {
    Q_OBJECT
private slots:
    void editingKeysAndShortcutsPass_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        const int ctrl = Qt::ControlModifier;
        QTest::newRow("select all") << int(Qt::Key_A) << ctrl;
        QTest::newRow("copy") << int(Qt::Key_C) << ctrl;
        QTest::newRow("cut") << int(Qt::Key_X) << ctrl;
        QTest::newRow("paste") << int(Qt::Key_V) << ctrl;
        QTest::newRow("undo") << int(Qt::Key_Z) << ctrl;
        QTest::newRow("redo") << int(Qt::Key_Z) << (ctrl | int(Qt::ShiftModifier));
        QTest::newRow("redo (Y)") << int(Qt::Key_Y) << ctrl;
        QTest::newRow("left") << int(Qt::Key_Left) << 0;
        QTest::newRow("select right") << int(Qt::Key_Right) << int(Qt::ShiftModifier);
        QTest::newRow("home") << int(Qt::Key_Home) << 0;
        QTest::newRow("end") << int(Qt::Key_End) << 0;
        QTest::newRow("delete") << int(Qt::Key_Delete) << 0;
    }

    void editingKeysAndShortcutsPass() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QApplication::clipboard()->setText(QStringLiteral("123"));
        QLineEdit edit;
        KeyProbe probe;
        probe.key = key;
        edit.installEventFilter(&probe); // runs after the key filter
        KeyFilter::install(&edit, KeyFilter::Edit4KeyPress);
        QTest::keyClick(&edit, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(probe.presses, 1);
    }

    void shortcutsEditTheText() {
        QLineEdit edit;
        filteredEdit(edit, KeyFilter::Edit6KeyPress, 5, QStringLiteral("2002"));
        QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(edit.selectedText(), QStringLiteral("2002"));
        QTest::keyClick(&edit, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(edit.text(), QString());
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("2002"));
        QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(edit.text(), QStringLiteral("2002"));
        QTest::keyClick(&edit, Qt::Key_Home);
        QTest::keyClick(&edit, Qt::Key_Delete);
        QTest::keyClick(&edit, Qt::Key_End);
        QTest::keyClicks(&edit, QStringLiteral("7x"));
        QCOMPARE(edit.text(), QStringLiteral("0027"));
    }

    // Typed at the end of the factory "Remote IP", an address runs into the 15-character
    // limit: select all, then type or paste.
    void fullRemoteIpIsReplaced_data() {
        QTest::addColumn<bool>("paste");
        QTest::newRow("typed") << false;
        QTest::newRow("pasted") << true;
    }

    void fullRemoteIpIsReplaced() {
        QFETCH(bool, paste);
        ScriptedPrompts prompts;
        TForm1 window(prompts, QStringLiteral("/nonexistent/VELM.mdb"));
        auto* ip = probe::control<QLineEdit>(&window, QStringLiteral("Edit4"));
        QCOMPARE(ip->maxLength(), 15);
        QTest::keyClick(ip, Qt::Key_A, Qt::ControlModifier);
        if (paste) {
            QApplication::clipboard()->setText(QStringLiteral("127.0.0.1"));
            QTest::keyClick(ip, Qt::Key_V, Qt::ControlModifier);
        } else {
            QTest::keyClicks(ip, QStringLiteral("127.0.0.1"));
        }
        QCOMPARE(ip->text(), QStringLiteral("127.0.0.1"));
    }

    void pastedTextIsFiltered_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("selectAll");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("after");
        const int ip = KeyFilter::Edit4KeyPress;
        const int port = KeyFilter::Edit6KeyPress;
        const int hex = KeyFilter::Edit7KeyPress;
        QTest::newRow("address with spaces and a line end")
            << ip << 15 << "192.168.10.250" << true << " 127.0.0.1\n"
            << "127.0.0.1";
        // Filtered before the length limit cuts it: the label would otherwise fill the edit.
        QTest::newRow("address behind a label")
            << ip << 15 << "192.168.10.250" << true << "Remote IP: 10.0.0.1"
            << "10.0.0.1";
        QTest::newRow("port with words") << port << 5 << "" << false << "port 2002"
                                         << "2002";
        QTest::newRow("nothing accepted") << port << 5 << "20" << false << "abc"
                                          << "20";
        QTest::newRow("length limit") << port << 5 << "2002" << false << "345678"
                                      << "20023";
        QTest::newRow("hex keeps letters a-f") << hex << 8 << "" << false << "0x1fG9"
                                               << "01f9";
    }

    void pastedTextIsFiltered() {
        QFETCH(int, kind);
        QFETCH(int, maxLength);
        QFETCH(QString, before);
        QFETCH(bool, selectAll);
        QFETCH(QString, clipboard);
        QFETCH(QString, after);
        QLineEdit edit;
        filteredEdit(edit, kind, maxLength, before);
        if (selectAll)
            edit.selectAll();
        QApplication::clipboard()->setText(clipboard);
        QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit.text(), after);
        // One undo gives the text back as it was.
        QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(edit.text(), before);
    }

    void contextMenuPasteIsFiltered() {
        QLineEdit edit;
        filteredEdit(edit, KeyFilter::Edit5KeyPress, 5, QString());
        edit.show();
        QApplication::clipboard()->setText(QStringLiteral("20.01"));
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2),
                                edit.mapToGlobal(QPoint(2, 2)));
        QCoreApplication::sendEvent(&edit, &event);
        auto* menu = edit.findChild<QMenu*>();
        QVERIFY(menu);
        QAction* paste = nullptr;
        for (QAction* a : menu->actions())
            if (a->text().startsWith(QStringLiteral("&Paste")))
                paste = a;
        QVERIFY(paste);
        paste->trigger();
        menu->close();
        QCOMPARE(edit.text(), QStringLiteral("2001"));
    }

    void droppedTextIsFiltered_data() {
        QTest::addColumn<QString>("dropped");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("mixed") << "1a2b3"
                               << "123" << true;
        QTest::newRow("all accepted") << "45"
                                      << "45" << true;
        QTest::newRow("nothing accepted") << "abc"
                                          << "" << false;
    }

    void droppedTextIsFiltered() {
        QFETCH(QString, dropped);
        QFETCH(QString, after);
        QFETCH(bool, accepted);
        QLineEdit edit;
        filteredEdit(edit, KeyFilter::Edit9KeyPress, 5, QString());
        edit.show();
        QMimeData data;
        data.setText(dropped);
        // A drop goes to the widget that took the drag when it entered.
        QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&edit, &enter);
        QCOMPARE(enter.isAccepted(), accepted);
        QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&edit, &drop);
        QCOMPARE(edit.text(), after);
        QCOMPARE(drop.isAccepted(), accepted);
    }

    void filteredKeepsAcceptedCharacters() {
        QCOMPARE(KeyFilter::filtered(KeyFilter::Edit4KeyPress, QStringLiteral("\b1.2 x3")),
                 QStringLiteral("1.23"));
        QCOMPARE(KeyFilter::filtered(KeyFilter::Edit7KeyPress, QStringLiteral("AbCdEfGg")),
                 QStringLiteral("AbCdEf"));
    }
};

QTEST_MAIN(TestKeyFilter)
#include "test_key_filter.moc"

// The window on a small screen, through the window system: 960x540 logical pixels (a
// 1920x1080 Xvfb screen at scale factor 2). Every control can be reached, Return and Esc do
// what they say, Tab goes from the tab bar to the sheet's first control.
#include "app/main_window.h"
#include "app/processing_dialog.h"
#include "support/window_fixture.h"
#include "support/x_server.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace {
QRect globalRect(const QWidget* w) {
    return QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
}

void bringIntoView(QScrollBar* bar, int start, int length, int view) {
    if (start < bar->value() || length > view)
        bar->setValue(start);
    else if (start + length > bar->value() + view)
        bar->setValue(start + length - view);
}

// Why this named control cannot be seen on the screen, even after its sheet or band is
// scrolled to it; empty when it can.
QString unreachable(QWidget* w, const QRect& screen) {
    QWidget* scrollArea = w->parentWidget();
    while (scrollArea && !qobject_cast<QScrollArea*>(scrollArea))
        scrollArea = scrollArea->parentWidget();
    QRect room = screen;
    if (auto* area = qobject_cast<QScrollArea*>(scrollArea)) {
        // Scrolled as a person would, until the whole control is in view where it fits.
        const QRect inArea(w->mapTo(area->widget(), QPoint(0, 0)), w->size());
        bringIntoView(area->horizontalScrollBar(), inArea.left(), inArea.width(),
                      area->viewport()->width());
        bringIntoView(area->verticalScrollBar(), inArea.top(), inArea.height(),
                      area->viewport()->height());
        QApplication::processEvents();
        room &= globalRect(area->viewport());
    }
    const QRect at = globalRect(w);
    // A control larger than the room it is seen in fills that room.
    const QRect seen = room & at;
    if (seen.width() >= qMin(at.width(), room.width()) &&
        seen.height() >= qMin(at.height(), room.height()))
        return {};
    return QStringLiteral("%1 at %2,%3 %4x%5")
        .arg(w->objectName())
        .arg(at.x())
        .arg(at.y())
        .arg(at.width())
        .arg(at.height());
}
} // namespace

class TestAppSmallScreen : public QObject {
    Q_OBJECT
    std::unique_ptr<WindowFixture> m_env;
    TForm1* window() const { return m_env->window.get(); }

private slots:
    void init() {
        m_env = std::make_unique<WindowFixture>();
        QVERIFY2(m_env->openWindow(), qPrintable(m_env->error));
        window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(window()));
        window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window()));
    }
    void cleanup() { m_env.reset(); }

    void everyControlOnTheScreen() {
        const QRect screen = window()->screen()->geometry();
        QCOMPARE(screen.size(), QSize(960, 540));
        QVERIFY2(
            screen.contains(window()->frameGeometry()),
            qPrintable(QStringLiteral("%1x%2").arg(window()->width()).arg(window()->height())));
        QStringList off;
        for (int page = 0; page < window()->pages()->count(); ++page) {
            window()->pages()->setCurrentIndex(page);
            QApplication::processEvents();
            for (QWidget* w : window()->findChildren<QWidget*>()) {
                if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")) ||
                    !w->isVisible() || w->isWindow() || w->window() != window())
                    continue;
                if (const QString why = unreachable(w, screen);
                    !why.isEmpty() && !off.contains(why))
                    off << why;
            }
        }
        QVERIFY2(off.isEmpty(), qPrintable(off.join(QStringLiteral(", "))));
        // The log band keeps room for its state line.
        QVERIFY(m_env->find<QWidget>(QStringLiteral("LinkStatePanel"))->height() > 0);
    }

    void returnPressesTheFocusedButton() {
        auto* memo = m_env->find<QPlainTextEdit>(QStringLiteral("Memo1"));
        memo->setPlainText(QStringLiteral("Send ：X"));
        auto* clear = m_env->find<QPushButton>(QStringLiteral("Button40"));
        clear->setFocus();
        QTRY_VERIFY(clear->hasFocus());
        QTest::keyClick(window()->windowHandle(), Qt::Key_Return);
        QTRY_VERIFY(memo->toPlainText().isEmpty());
    }

    void escCancelsTheProcessingDialog() {
        TForm2& dialog = window()->processingDialog();
        QSignalSpy cancelled(&dialog, &TForm2::cancelled);
        dialog.sequenceStarted();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(window()->screen()->geometry().contains(dialog.frameGeometry()));
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTest::keyClick(dialog.windowHandle(), Qt::Key_Escape);
        QTRY_COMPARE(cancelled.size(), 1);
    }

    void tabGoesToTheSheetsFirstControl() {
        QTabWidget* pages = window()->pages();
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            pages->tabBar()->setFocus();
            QTRY_VERIFY(pages->tabBar()->hasFocus());
            QTest::keyClick(window()->windowHandle(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            QVERIFY2(focus && pages->widget(page)->isAncestorOf(focus) &&
                         !qobject_cast<QAbstractScrollArea*>(focus),
                     qPrintable(QStringLiteral("%1: %2").arg(page).arg(
                         focus ? focus->objectName() : QStringLiteral("nothing"))));
        }
    }

    void escClosesTheDialogs_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("dialog");
        QTest::newRow("scan") << "ScanSubnetAction"
                              << "ScanDialog";
        QTest::newRow("audit") << "AuditModuleAction"
                               << "AuditDialog";
        QTest::newRow("push") << "PushModuleAction"
                              << "PushDialog";
        QTest::newRow("replace") << "ReplaceModuleAction"
                                 << "ReplaceDialog";
        QTest::newRow("report") << "InstallationReport"
                                << "ReportDialog";
    }

    void escClosesTheDialogs() {
        QFETCH(QString, action);
        QFETCH(QString, dialog);
        window()->findChild<QAction*>(action)->trigger();
        auto* box = window()->findChild<QDialog*>(dialog);
        QVERIFY2(box, qPrintable(dialog));
        QVERIFY(QTest::qWaitForWindowActive(box));
        QTest::keyClick(box->windowHandle(), Qt::Key_Escape);
        QTRY_VERIFY(!box->isVisible());
    }
};

int main(int argc, char** argv) {
    XServer server;
    if (!server.startForProgram(QStringLiteral("1920x1080x24")))
        return 1;
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestAppSmallScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_app_small_screen.moc"

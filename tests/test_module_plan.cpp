// What the records of a module mean on the bus: the request a push sends for a record, the
// bytes an audit expects back, and the verdict for each pairing of record and answer.
#include "jobs/module_audit.h"
#include "jobs/module_plan.h"
#include "records/schema.h"
#include "support/record_files.h"

#include <QDate>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

namespace {
const moduleplan::Check* findCheck(const moduleplan::Plan& p, const QString& what) {
    for (const moduleplan::Check& c : p.checks)
        if (c.what == what)
            return &c;
    return nullptr;
}
} // namespace

class TestModulePlan : public QObject {
    Q_OBJECT
private slots:
    void writesCarryTheSetButtonsBytes_data();
    void writesCarryTheSetButtonsBytes();
    void verdicts_data();
    void verdicts();
    void unreadableRecordsAreNotWritten();
    void recordsBeyondTheReadsAreNamed();
    void unfitRecordsAreNeitherWrittenNorSame_data();
    void unfitRecordsAreNeitherWrittenNorSame();
    void loadMarksEmptyAndHugeNumbers();
};

void TestModulePlan::writesCarryTheSetButtonsBytes_data() {
    QTest::addColumn<int>("kind"); // 0 binding, 1 scene, 2 timer, 3 event, 4 monitor slot
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("request"); // module, command, sub-command, parameters
    // Scene Control sends no target; the row's own module and channel stay local.
    QTest::newRow("binding scene control") << 0 << "2|NO|5|7|3|Scene Control|9"
                                           << QByteArray::fromHex("03 00 01 01 01 0004 FFFF 09 05");
    QTest::newRow("binding read back without delay or channel")
        << 0 << "4|NC|255|7|255|Light On|0"
        << QByteArray::fromHex("03 00 01 03 00 0201 07 FF 00 7F");
    QTest::newRow("binding empty") << 0 << "14|------|255|255|255|Invalid|255"
                                   << QByteArray::fromHex("03 00 01 0D FFFFFFFFFFFF 7F");
    QTest::newRow("scene of a light module")
        << 1 << "7|On/Open|No Change|Off/Close|On/Open|On/Open|On/Open|On/Open|On/Open"
        << QByteArray::fromHex("03 00 02 07 01 FF 00 01");
    QTest::newRow("IR scene") << 1 << "7|IR No.5|IR No.255|IR No.0|IR No.1|x|x|x|x"
                              << QByteArray::fromHex("03 00 02 07 05 FF 00 01");
    QTest::newRow("timer as a read step wrote it")
        << 2 << "3|2014-02-24 12:12:12 Monday|Month(repeat)"
        << QByteArray::fromHex("03 04 02 02 05 12 12 12 24 01 02 14");
    QTest::newRow("timer as Set wrote it")
        << 2 << "3|2014-02-24 08:00:00 Monday|Mouth(repeat)"
        << QByteArray::fromHex("03 04 02 02 05 00 00 08 24 01 02 14");
    // The system's short date may hold blanks ("24 Feb 2014" where the locale is C).
    QTest::newRow("timer as Set wrote it, a short date with blanks")
        << 2
        << QStringLiteral("3|") +
               QLocale::system().toString(QDate(2014, 2, 24), QLocale::ShortFormat) +
               QStringLiteral(" 08:00:00 Monday|Mouth(repeat)")
        << QByteArray::fromHex("03 04 02 02 05 00 00 08 24 01 02 14");
    QTest::newRow("timer cleared")
        << 2 << "4|------|invalid" << QByteArray::fromHex("03 04 02 03 FF 01 01 01 01 01 01 01");
    QTest::newRow("event IR control")
        << 3 << "2|3|5|4|9|IR Control" << QByteArray::fromHex("03 04 04 01 02 0304 05 00 09");
}

void TestModulePlan::writesCarryTheSetButtonsBytes() {
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QByteArray, request);
    const QStringList f = text.split('|');
    ModuleRecords r;
    r.module = 3;
    r.withTimers = kind >= 2;
    if (kind == 0)
        r.bindings << ModuleRecords::Binding{f[0].toInt(), f[1], f[2].toInt(), f[3].toInt(),
                                             f[4].toInt(), f[5], f[6].toInt()};
    else if (kind == 1)
        r.scenes << ModuleRecords::Scene{f[0].toInt(), {}, f.mid(1)};
    else if (kind == 2)
        r.timers << ModuleRecords::Timer{f[0].toInt(), f[1], f[2]};
    else
        r.events << ModuleRecords::Event{f[0].toInt(), f[1].toInt(), f[2].toInt(),
                                         f[3].toInt(), f[4].toInt(), f[5]};
    const moduleplan::Plan p = moduleplan::plan(r, 4);
    QVERIFY2(p.unwritten.isEmpty(), qPrintable(p.unwritten.join('|')));
    QCOMPARE(p.writes.size(), 1);
    const Request& w = p.writes.first().write;
    QCOMPARE(QByteArray(1, char(w.module)) + char(w.command) + char(w.subCommand) + w.params,
             request);
}

void TestModulePlan::verdicts_data() {
    QTest::addColumn<QString>("record");  // binding record, "" for none
    QTest::addColumn<QByteArray>("held"); // the seven data bytes read back, empty: no answer
    QTest::addColumn<int>("verdict");     // -1: no item at all
    const QByteArray empty = QByteArray::fromHex("FFFFFFFFFFFF7F");
    const QByteArray bound = QByteArray::fromHex("01 0201 07 02 00 05");
    using V = AuditItem::Verdict;
    QTest::newRow("same") << "NO|5|7|3|Light On|0" << bound << int(V::Same);
    QTest::newRow("other delay") << "NO|6|7|3|Light On|0" << bound << int(V::Different);
    QTest::newRow("other mode") << "NC|5|7|3|Light On|0" << bound << int(V::Different);
    QTest::newRow("cleared in the module")
        << "NO|5|7|3|Light On|0" << empty << int(V::OnlyInRecords);
    QTest::newRow("no record") << "" << bound << int(V::OnlyInModule);
    QTest::newRow("empty record, bound module")
        << "------|255|255|255|Invalid|255" << bound << int(V::OnlyInModule);
    QTest::newRow("both empty") << "------|255|255|255|Invalid|255" << empty << int(V::Same);
    QTest::newRow("nothing anywhere") << "" << empty << -1;
    QTest::newRow("not answered") << "NO|5|7|3|Light On|0" << QByteArray() << int(V::NoAnswer);
}

void TestModulePlan::verdicts() {
    QFETCH(QString, record);
    QFETCH(QByteArray, held);
    QFETCH(int, verdict);
    ModuleRecords r;
    r.module = 5;
    if (!record.isEmpty()) {
        const QStringList f = record.split('|');
        r.bindings << ModuleRecords::Binding{
            2, f[0], f[1].toInt(), f[2].toInt(), f[3].toInt(), f[4], f[5].toInt()};
    } else {
        r.bindings << ModuleRecords::Binding{9, "NC", 0, 1, 1, "Light On", 0}; // another channel
    }
    const moduleplan::Plan p = moduleplan::plan(r, 8);
    QCOMPARE(p.checks.size(), 14);
    const moduleplan::Check* c = findCheck(p, QStringLiteral("Binding 2"));
    QVERIFY(c);
    std::optional<moduleplan::Held> answer;
    if (!held.isEmpty())
        answer = c->decode(held);
    const auto item = ModuleAudit::compare(*c, answer);
    QCOMPARE(item ? int(item->verdict) : -1, verdict);
}

void TestModulePlan::unreadableRecordsAreNotWritten() {
    ModuleRecords r;
    r.module = 6;
    r.withTimers = true;
    r.timers << ModuleRecords::Timer{1, "someday 12:00:00", "Once"}
             << ModuleRecords::Timer{2, "2014-02-24 12:00:00", "Sometimes"}
             << ModuleRecords::Timer{3, "2014-02-24 12:00:00", "Once"}
             << ModuleRecords::Timer{3, "2014-02-25 12:00:00", "Once"};
    r.scenes << ModuleRecords::Scene{1, {}, {"On/Open", "Maybe", "", "", "", "", "", ""}};
    const moduleplan::Plan p = moduleplan::plan(r, 2);
    QCOMPARE(p.writes.size(), 1); // timer 3, its first record
    QCOMPARE(p.writes.first().what, QStringLiteral("Timer 3"));
    QCOMPARE(p.unwritten.size(), 4);
}

void TestModulePlan::recordsBeyondTheReadsAreNamed() {
    ModuleRecords r;
    r.module = 6;
    r.withTimers = true;
    r.bindings << ModuleRecords::Binding{20, "NO", 0, 3, 1, "Light On", 0};
    r.timers << ModuleRecords::Timer{33, "2014-02-24 12:00:00 Monday", "Once"};
    r.events << ModuleRecords::Event{2, 16, 3, 1, 0, "Light On"}
             << ModuleRecords::Event{2, 17, 3, 1, 0, "Light On"};
    const moduleplan::Plan p = moduleplan::plan(r, 8);
    QCOMPARE(p.writes.size(), 4);
    QCOMPARE(p.unchecked,
             (QStringList{"Binding 20: beyond the 14 channels a module reads back, not checked",
                          "Timer 33: beyond the 32 timers a module reads back, not checked",
                          "Event 2/17: beyond the 16 events of the 32 timers a module reads back, "
                          "not checked"}));
}

void TestModulePlan::unfitRecordsAreNeitherWrittenNorSame_data() {
    QTest::addColumn<int>("kind"); // 0 binding, 2 timer, 3 event, 4 monitor slot
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("unwritten");
    QTest::addColumn<QString>("check"); // the read that carries it; empty: none does
    QTest::newRow("binding module 257")
        << 0 << "3|NO|5|257|3|Light On|0"
        << "Binding 3: Output_Addr 257 does not fit (0..255), not written"
        << "Binding 3";
    QTest::newRow("binding delay 300")
        << 0 << "3|NO|300|7|3|Light On|0"
        << "Binding 3: Trigger_Delay 300 does not fit (0..255), not written"
        << "Binding 3";
    QTest::newRow("binding scene -255")
        << 0 << "3|NO|5|7|3|Scene Control|-255"
        << "Binding 3: Parameter -255 does not fit (0..255), not written"
        << "Binding 3";
    QTest::newRow("binding mode unknown")
        << 0 << "3|NX|5|7|3|Light On|0"
        << "Binding 3: Trigger_Mode \"NX\" is not one of \"NC\", \"NO\", \"NC/NO\", \"------\", "
           "not written"
        << "Binding 3";
    QTest::newRow("binding channel 0")
        << 0 << "0|NO|5|7|3|Light On|0"
        << "Binding 0: Input_Channel 0 does not fit (1..255), not written" << QString();
    QTest::newRow("timer 300") << 2 << "300|2014-02-24 08:00:00 Monday|Once"
                               << "Timer 300: Timer_Order 300 does not fit (1..255), not written"
                               << QString();
    QTest::newRow("event channel 0") << 3 << "2|3|5|0|9|IR Control"
                                     << "Event 2/3: Channel 0 does not fit (1..255), not written"
                                     << "Event 2/3";
    QTest::newRow("light slot channel 0") << 4 << "5|2|3|7|0"
                                          << "Slot 5: Channel 0 does not fit (1..256), not written"
                                          << "Slot 5";
    QTest::newRow("AC slot IR 256") << 4 << "100|1|2|7|256"
                                    << "Slot 100: Channel 256 does not fit (0..255), not written"
                                    << "Slot 100";
}

void TestModulePlan::unfitRecordsAreNeitherWrittenNorSame() {
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QString, unwritten);
    QFETCH(QString, check);
    const QStringList f = text.split('|');
    ModuleRecords r;
    r.module = kind == 4 ? ModuleRecords::kBusSwitch : 3;
    r.withTimers = kind == 2 || kind == 3;
    if (kind == 0)
        r.bindings << ModuleRecords::Binding{f[0].toInt(), f[1], f[2].toInt(), f[3].toInt(),
                                             f[4].toInt(), f[5], f[6].toInt()};
    else if (kind == 2)
        r.timers << ModuleRecords::Timer{f[0].toInt(), f[1], f[2]};
    else if (kind == 3)
        r.events << ModuleRecords::Event{f[0].toInt(), f[1].toInt(), f[2].toInt(),
                                         f[3].toInt(), f[4].toInt(), f[5]};
    else
        r.monitor << ModuleRecords::MonitorSlot{f[0].toInt(), f[1].toInt(), f[2].toInt(),
                                                f[3].toInt(), f[4].toInt()};
    const moduleplan::Plan p = moduleplan::plan(r, 4);
    QCOMPARE(p.writes.size(), 0);
    QCOMPARE(p.unwritten, QStringList{unwritten});
    const QString reason = unwritten.section(QStringLiteral(": "), 1).chopped(13);
    if (check.isEmpty()) {
        QCOMPARE(p.unfitUnread.size(), 1);
        QCOMPARE(p.unfitUnread.first().text, reason);
        return;
    }
    QVERIFY(p.unfitUnread.isEmpty());
    const moduleplan::Check* c = findCheck(p, check);
    QVERIFY(c);
    // Whatever the module holds, even the bytes a truncating write would have left there.
    for (const char fill : {'\x00', '\x01', '\x05', '\x07', '\xFF'}) {
        const auto item = ModuleAudit::compare(*c, c->decode(QByteArray(c->dataBytes, fill)));
        QVERIFY(item);
        QCOMPARE(item->verdict, AuditItem::Verdict::Different);
        QCOMPARE(item->records, reason);
    }
    QCOMPARE(ModuleAudit::compare(*c, std::nullopt)->verdict, AuditItem::Verdict::NoAnswer);
}

// Numbers as the file holds them: an empty one and one beyond 32 bits never reach a request.
void TestModulePlan::loadMarksEmptyAndHugeNumbers() {
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("VELM.mdb"));
    schema::createDatabase(db);
    const QString insert = QStringLiteral(
        "INSERT INTO \"Bind Records\" (Input_Addr, Input_Channel, Trigger_Mode, Trigger_Delay, "
        "Output_Addr, Output_Channel, Action, Parameter) VALUES (5, ?, 'NC', ?, ?, 3, "
        "'Light Off', 0)");
    QVERIFY(record_files::exec(db, insert, {1, QVariant(), 2}));
    QVERIFY(record_files::exec(db, insert, {2, 0, Q_INT64_C(4294967301)}));
    QVERIFY(record_files::exec(db, insert, {3, 0, 2}));
    const moduleplan::Plan p = moduleplan::plan(ModuleRecords::load(db, 5, false), 4);
    QCOMPARE(p.writes.size(), 1);
    QCOMPARE(p.writes.first().what, QStringLiteral("Binding 3"));
    QCOMPARE(p.unwritten,
             (QStringList{"Binding 1: Trigger_Delay (empty) does not fit (0..255), not written",
                          "Binding 2: Output_Addr 4294967301 does not fit (0..255), not written"}));
}

QTEST_MAIN(TestModulePlan)
#include "test_module_plan.moc"

#pragma once

#include "jobs/bus_job.h"
#include "jobs/module_plan.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

// One record compared with what the module holds.
struct AuditItem {
    enum class Verdict { Same, Different, OnlyInModule, OnlyInRecords, NoAnswer };
    QString what;    // "Binding 3"
    QString records; // the record as the report shows it; empty when there is none
    QString module;  // what the module answered; empty when there is nothing
    Verdict verdict = Verdict::Same;

    // "same", "different", "only in the module", "only in the records", "no answer".
    static QString verdictText(Verdict v);
    // For JSON: "same", "different", "module-only", "records-only", "no-answer".
    static QString verdictKey(Verdict v);
};

struct AuditReport {
    int module = 0;
    QString type; // the module's type code, as the scan shows it
    QList<AuditItem> items;
    QStringList notes; // what the audit does not cover, and why
    QString failure;   // why it ended early; empty when every read was answered
    bool cancelled = false;

    int count(AuditItem::Verdict v) const;
    // Every record agrees and every read was answered.
    bool allSame() const;
    // "all 14 records agree" / "2 differ, 1 only in the module, ..."
    QString summary() const;
};

// Reads back, one request at a time, everything readable that the records hold for a module
// and compares it record by record. Writes nothing: neither to the module nor to a record
// table. The module's type is read first; a module that does not answer it is not audited.
class ModuleAudit : public QObject {
    Q_OBJECT
public:
    ModuleAudit(Bus& bus, const ModuleRecords& records, int waitMs, QObject* parent = nullptr);

    BusJob& job() { return m_job; }
    const AuditReport& report() const { return m_report; }

    // The verdict for one read; nothing when neither side holds anything there.
    static std::optional<AuditItem> compare(const moduleplan::Check& check,
                                            const std::optional<moduleplan::Held>& held);

signals:
    void itemReady(const AuditItem& item);

private:
    void takeCheck(int index, const ExchangeAnswer& answer);
    void ended();

    BusJob m_job;
    QList<moduleplan::Check> m_checks;
    QList<moduleplan::Planned> m_unfit; // unfit records that no check reads back
    int m_waitMs;
    int m_read = 0; // checks answered so far
    AuditReport m_report;
};

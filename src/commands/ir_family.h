#pragma once

#include "commands/family_context.h"

#include <QObject>

class QLabel;
class QLineEdit;
class QSpinBox;
class RecordGrid;
class RecordTable;
struct Reply;

// The "IR Control" tab: learning, sending and deleting the IR codes of an IR module, and
// the learned codes in "IR Records". A double click on the grid replays the code of its row.
class IrFamily : public QObject {
    Q_OBJECT
public:
    explicit IrFamily(FamilyContext& ctx);

    void Button24Click(); // "Learing"
    void Button26Click(); // exit learning (hidden)
    void Button25Click(); // "Delete Single "
    void Button27Click(); // "Delete All"
    void Button28Click(); // "Send IR"
    void DBGrid2DblClick();

    // 0x83/0x04 while learning: the learned code is recorded under the controls' values.
    void learnedCode(const Reply& reply);
    // 0x83/0x03: every code of the module is gone.
    void codesCleared(const Reply& reply);
    // 0x83/0x02: one code is gone.
    void codeDeleted(const Reply& reply);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildGroup();
    void setLearning(bool on);
    int module() const;
    int irNo() const;

    FamilyContext& m_ctx;
    QSpinBox* m_module = nullptr; // SpinEdit14
    QSpinBox* m_irNo = nullptr;   // SpinEdit13
    QLineEdit* m_name = nullptr;  // Edit12
    QLabel* m_status = nullptr;   // Label71
    RecordGrid* m_grid = nullptr; // DBGrid2
    // A learn was asked for and its code has not come yet.
    bool m_learning = false;
};

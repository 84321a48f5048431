#include "commands/ir_family.h"

#include "link/bus.h"
#include "protocol/ir_requests.h"
#include "protocol/ir_rows.h"
#include "records/record_store.h"
#include "records/records_values.h"
#include "widgets/click_guard.h"
#include "widgets/form_builder.h"
#include "widgets/prompt_service.h"
#include "widgets/record_grid.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

namespace {
const QString kModuleAddr = QStringLiteral("Module_Addr");
const QString kIrNo = QStringLiteral("IR_No");
const QString kAreYouSure = QStringLiteral("Are you sure?");
constexpr int kStatusFontPixels = 19;
} // namespace

IrFamily::IrFamily(FamilyContext& ctx) : m_ctx(ctx) {
    buildGroup();
    Bus& bus = ctx.bus;
    // A learned code comes when the technician presses the remote's key, whatever runs then.
    bus.registerReply(
        this, 0x83, 0x04, [this](const Reply& r) { learnedCode(r); }, ReplyRule::Unsolicited);
    bus.registerReply(
        this, 0x83, 0x03, [this](const Reply& r) { codesCleared(r); }, ReplyRule::Answer);
    bus.registerReply(
        this, 0x83, 0x02, [this](const Reply& r) { codeDeleted(r); }, ReplyRule::Answer);
}

void IrFamily::buildGroup() {
    auto* group = m_ctx.pageGroup(QStringLiteral("TabSheet5"), QStringLiteral("GroupBox12"),
                                  QStringLiteral("IR Control"));
    m_module = form::spin(group, QStringLiteral("SpinEdit14"), 1, 32, 1);
    m_irNo = form::spin(group, QStringLiteral("SpinEdit13"), 0, 250, 0);
    m_name = form::edit(group, QStringLiteral("Edit12"), records_values::kNameFieldLength);

    auto* fields = new QGridLayout;
    form::row(fields, 0, 0, QStringLiteral("LabelSpinEdit14"), QStringLiteral("Module Addr. :"),
              m_module);
    form::row(fields, 1, 0, QStringLiteral("LabelSpinEdit13"), QStringLiteral("IR No. :"), m_irNo);
    form::row(fields, 2, 0, QStringLiteral("LabelEdit12"), QStringLiteral("IR Name :"), m_name);
    form::buttons(group, fields, this,
                  {
                      {"Button24", "Learing", [this] { Button24Click(); }, 0, 2},
                      {"Button28", "Send IR", [this] { Button28Click(); }, 1, 2},
                      {"Button25", "Delete Single ", [this] { Button25Click(); }, 0, 3},
                      {"Button27", "Delete All", [this] { Button27Click(); }, 1, 3},
                      {"Button26", "退出学习(暂时不用)", [this] { Button26Click(); }, 2, 3},
                  });
    // Leaving learning by hand is not offered: the learned code ends it.
    group->findChild<QPushButton*>(QStringLiteral("Button26"))->hide();

    m_status =
        form::label(group, QStringLiteral("Label71"), QStringLiteral("Status : Learning..."));
    QFont font = m_status->font();
    font.setPixelSize(kStatusFontPixels);
    m_status->setFont(font);
    m_status->setStyleSheet(QStringLiteral("color: red;"));
    // Its place stays while it is hidden, so the grid does not jump when learning starts.
    QSizePolicy policy = m_status->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_status->setSizePolicy(policy);
    m_status->hide();
    fields->addWidget(m_status, 3, 0, 1, 4);

    auto* top = new QHBoxLayout;
    top->addLayout(fields);
    top->addStretch(1);
    m_grid = new RecordGrid(m_ctx.records.ir(), RecordStore::Ir, m_ctx.prompts, group);
    auto* layout = new QVBoxLayout(group);
    layout->addLayout(top);
    layout->addWidget(m_grid, 1);
    // A double click anywhere on the grid's cells, or below them, replays the current row.
    m_grid->view()->viewport()->installEventFilter(this);
}

bool IrFamily::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick && watched == m_grid->view()->viewport())
        runClick(m_ctx.prompts, [this] { DBGrid2DblClick(); });
    return QObject::eventFilter(watched, event);
}

int IrFamily::module() const {
    return form::value(m_module);
}
int IrFamily::irNo() const {
    return form::value(m_irNo);
}

void IrFamily::setLearning(bool on) {
    m_learning = on;
    m_status->setVisible(on);
}

void IrFamily::Button24Click() {
    setLearning(true);
    m_ctx.bus.send(ir::learn(module(), irNo()));
}

void IrFamily::Button26Click() {
    setLearning(false);
    m_ctx.bus.send(ir::exitLearning(module(), irNo()));
}

void IrFamily::Button25Click() {
    if (!m_ctx.prompts.confirm(kAreYouSure))
        return;
    m_ctx.bus.sendSet(ir::removeOne(module(), irNo()));
}

void IrFamily::Button27Click() {
    if (!m_ctx.prompts.confirm(kAreYouSure))
        return;
    // Erasing every code takes the module a few seconds: the reply is awaited longer.
    m_ctx.bus.submit(ir::removeAll(module()), Purpose::Set, {.replyWaitMs = Bus::kLongReplyWaitMs});
}

void IrFamily::Button28Click() {
    // The label goes (its place stays), learning stays: a learned code may still come.
    m_status->hide();
    m_ctx.bus.send(ir::send(module(), irNo()));
}

void IrFamily::DBGrid2DblClick() {
    RecordTable& t = m_ctx.records.ir();
    // An empty list has no code to replay.
    if (!t.isOpen() || t.eof())
        return;
    m_ctx.bus.send(ir::send(t.fieldInt(kModuleAddr), t.fieldInt(kIrNo)));
}

void IrFamily::learnedCode(const Reply&) {
    // The ordinary answer to Send IR has the same bytes: only a pending learn records.
    if (!m_learning)
        return;
    ir::storeLearned(m_ctx.records.ir(), module(), irNo(), m_name->text());
    setLearning(false);
}

void IrFamily::codesCleared(const Reply&) {
    ir::clearModuleRows(m_ctx.records.ir(), module());
}

void IrFamily::codeDeleted(const Reply&) {
    ir::deleteCodeRow(m_ctx.records.ir(), module(), irNo());
}

#include "moc_ir_family.cpp"

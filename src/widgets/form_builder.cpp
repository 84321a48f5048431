#include "widgets/form_builder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

namespace form {

template <class W> static W* named(W* w, const QString& name) {
    w->setObjectName(name);
    return w;
}

QGroupBox* group(QWidget* parent, const QString& name, const QString& caption) {
    return named(new QGroupBox(caption, parent), name);
}

QLabel* label(QWidget* parent, const QString& name, const QString& caption) {
    return named(new QLabel(caption, parent), name);
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption) {
    auto* b = named(new QPushButton(caption, parent), name);
    b->setAutoDefault(false);
    return b;
}

void buttons(QWidget* parent, QGridLayout* grid, QObject* receiver,
             std::initializer_list<ButtonCell> cells) {
    for (const ButtonCell& cell : cells) {
        auto* b = button(parent, QString::fromUtf8(cell.name), QString::fromUtf8(cell.caption));
        grid->addWidget(b, cell.row, cell.col);
        QObject::connect(b, &QPushButton::clicked, receiver, cell.click);
    }
}

QSpinBox* spin(QWidget* parent, const QString& name, int min, int max, int value) {
    auto* s = named(new QSpinBox(parent), name);
    s->setRange(min, max);
    s->setValue(value);
    s->setMinimumWidth(70);
    // As wide as its largest value, never as its grid column.
    s->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return s;
}

QComboBox* combo(QWidget* parent, const QString& name, const QStringList& items, int current) {
    auto* c = named(new QComboBox(parent), name);
    c->addItems(items);
    c->setEditable(false);
    c->setCurrentIndex(current);
    // As wide as its longest item, never as its grid column.
    c->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return c;
}

QLineEdit* edit(QWidget* parent, const QString& name, int maxLength, const QString& text) {
    auto* e = named(new QLineEdit(parent), name);
    e->setMaxLength(maxLength);
    e->setText(text);
    return e;
}

QCheckBox* check(QWidget* parent, const QString& name, const QString& caption, bool checked) {
    auto* c = named(new QCheckBox(caption, parent), name);
    c->setChecked(checked);
    return c;
}

QRadioButton* radio(QWidget* parent, const QString& name, const QString& caption, bool checked) {
    auto* r = named(new QRadioButton(caption, parent), name);
    r->setChecked(checked);
    return r;
}

QLabel* row(QGridLayout* grid, int r, int col, const QString& labelName, const QString& caption,
            QWidget* field) {
    auto* l = label(field->parentWidget(), labelName, caption);
    grid->addWidget(l, r, col, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(field, r, col + 1);
    return l;
}

int value(const QSpinBox* spin) {
    return spin->value();
}

} // namespace form

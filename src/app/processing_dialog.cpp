#include "app/processing_dialog.h"

#include "commands/form_builder.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TForm2::TForm2(QWidget* parent) : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QString());
    setFixedSize(337, 139);
    move(647, 265);

    auto* label = form::label(this, QStringLiteral("Label1"), QStringLiteral("Processing..."));
    QFont font = label->font();
    font.setPixelSize(16);
    font.setBold(true);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: red;"));
    label->setAlignment(Qt::AlignCenter);
    auto* cancel = form::button(this, QStringLiteral("Button1"), QStringLiteral("Cancel"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
    connect(cancel, &QPushButton::clicked, this, &TForm2::Button1Click);
}

void TForm2::Button1Click() {
    emit cancelled();
}

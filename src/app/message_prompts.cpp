#include "app/message_prompts.h"

#include <QMessageBox>

void MessagePrompts::message(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("VELM"), text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool MessagePrompts::confirm(const QString& text) {
    return QMessageBox::question(m_parent, QStringLiteral("VELM"), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

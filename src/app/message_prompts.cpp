#include "app/message_prompts.h"

#include <QMessageBox>

void MessagePrompts::message(const QString& text) {
    message(text, QString());
}

void MessagePrompts::message(const QString& text, const QString& detail) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("VELM"), text, QMessageBox::Ok, m_parent);
    box.setInformativeText(detail);
    box.exec();
}

bool MessagePrompts::confirm(const QString& text) {
    return QMessageBox::question(m_parent, QStringLiteral("VELM"), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

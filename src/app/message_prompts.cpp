#include "app/message_prompts.h"

#include <QDebug>
#include <QGuiApplication>
#include <QMessageBox>

namespace {
// A box opened inside a network run takes clicks at once: it shows the ordinary pointer over
// the wait cursor of the run, for as long as it is open.
struct PointerForBox {
    PointerForBox() { QGuiApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~PointerForBox() { QGuiApplication::restoreOverrideCursor(); }
};
} // namespace

void MessagePrompts::message(const QString& text) {
    message(text, QString());
}

void MessagePrompts::message(const QString& text, const QString& detail) {
    // Also on the standard error stream, with its cause: a tool started from a menu or a
    // script leaves a trace of what it said (the session log), and a launcher check can read
    // it. The texts stay as they are (a long path wraps after its folders' slashes), so that
    // a path copied out of the box works in a terminal.
    QString line = text;
    if (!detail.isEmpty())
        line += QStringLiteral(": ") + QString(detail).replace(u'\n', QStringLiteral("; "));
    qInfo().noquote() << "velm:" << line;
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("VELM"), text, QMessageBox::Ok, m_parent);
    box.setInformativeText(detail);
    const PointerForBox pointer;
    box.exec();
}

bool MessagePrompts::confirm(const QString& text) {
    const PointerForBox pointer;
    return QMessageBox::question(m_parent, QStringLiteral("VELM"), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

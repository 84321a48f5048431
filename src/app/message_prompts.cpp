#include "app/message_prompts.h"

#include <QDebug>
#include <QGuiApplication>
#include <QMessageBox>

namespace {
// A box wraps a long path anywhere, mid-name; a zero-width space after each separator lets it
// break between the folders instead.
QString breakablePaths(QString text) {
    text.replace(QLatin1Char('/'), QStringLiteral("/\u200B"));
    return text;
}

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
    // Also on the standard error stream: a tool started from a menu or a script leaves a
    // trace of what it said (the session log), and a launcher check can read it.
    qInfo().noquote() << "velm:" << text;
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("VELM"), breakablePaths(text),
                    QMessageBox::Ok, m_parent);
    box.setInformativeText(breakablePaths(detail));
    const PointerForBox pointer;
    box.exec();
}

bool MessagePrompts::confirm(const QString& text) {
    const PointerForBox pointer;
    return QMessageBox::question(m_parent, QStringLiteral("VELM"), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

#include "commands/key_filter.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>

KeyFilter::KeyFilter(Kind kind, QObject* parent) : QObject(parent), m_kind(kind) {}

void KeyFilter::install(QLineEdit* edit, Kind kind) {
    edit->installEventFilter(new KeyFilter(kind, edit));
}

bool KeyFilter::accepts(Kind kind, QChar key) {
    const char16_t c = key.unicode();
    if (c == u'\b')
        return true;
    const bool digit = c >= u'0' && c <= u'9';
    switch (kind) {
    case Edit4KeyPress:
        return digit || c == u'.';
    case Edit7KeyPress:
        return digit || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
    case Edit5KeyPress:
    case Edit6KeyPress:
    case Edit9KeyPress:
        return digit;
    }
    return false;
}

bool KeyFilter::accepts(Kind kind, const QString& text) {
    for (QChar c : text) {
        if (!accepts(kind, c))
            return false;
    }
    return true;
}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Only keys that type characters are filtered, as a key-press handler sees them. Tab
        // and Delete never reach such a handler: Tab moves the focus on, Delete edits.
        const int code = key->key();
        if (code != Qt::Key_Delete && code != Qt::Key_Tab && code != Qt::Key_Backtab &&
            !accepts(m_kind, key->text()))
            return true;
    } else if (event->type() == QEvent::InputMethod) {
        // Text composed by an input method is typed text too.
        if (!accepts(m_kind, static_cast<QInputMethodEvent*>(event)->commitString()))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

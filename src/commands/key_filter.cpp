#include "commands/key_filter.h"

#include <QKeyEvent>
#include <QLineEdit>

KeyFilter::KeyFilter(Kind kind, QObject* parent) : QObject(parent), m_kind(kind) {}

void KeyFilter::install(QLineEdit* edit, Kind kind)
{
    edit->installEventFilter(new KeyFilter(kind, edit));
}

bool KeyFilter::accepts(Kind kind, QChar key)
{
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

bool KeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        // Only keys that type a character are filtered, as a key-press handler sees them.
        if (text.size() == 1 && key->key() != Qt::Key_Delete && !accepts(m_kind, text.at(0)))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

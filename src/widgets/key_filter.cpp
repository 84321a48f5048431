#include "widgets/key_filter.h"

#include <QAction>
#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>

#include <algorithm>

namespace {
// True for a key that puts characters into a line edit: it carries printable text and is
// not a Ctrl combination (a line edit never types those).
bool typesText(const QKeyEvent* key) {
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier))
        return false;
    const QString text = key->text();
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); });
}
} // namespace

KeyFilter::KeyFilter(Kind kind, QLineEdit* edit) : QObject(edit), m_kind(kind), m_edit(edit) {}

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

QString KeyFilter::filtered(Kind kind, const QString& text) {
    QString kept;
    for (QChar c : text) {
        // A backspace is a key, not a character to keep.
        if (c != QChar(u'\b') && accepts(kind, c))
            kept += c;
    }
    return kept;
}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        return keyPress(static_cast<QKeyEvent*>(event));
    case QEvent::InputMethod:
        // Text composed by an input method is typed text too.
        return !accepts(m_kind, static_cast<QInputMethodEvent*>(event)->commitString());
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        // Text with nothing the edit accepts is not taken at all.
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!m_edit->isReadOnly() && drag->mimeData()->hasText() &&
            filtered(m_kind, drag->mimeData()->text()).isEmpty()) {
            drag->ignore();
            return true;
        }
        break;
    }
    case QEvent::Drop:
        return drop(static_cast<QDropEvent*>(event));
    case QEvent::ContextMenu:
        showContextMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    case QEvent::MouseButtonRelease: {
        // The middle button pastes the X11 selection.
        auto* mouse = static_cast<QMouseEvent*>(event);
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (mouse->button() == Qt::MiddleButton && clipboard->supportsSelection() &&
            !m_edit->isReadOnly()) {
            m_edit->deselect();
            insertFiltered(clipboard->text(QClipboard::Selection));
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool KeyFilter::keyPress(QKeyEvent* key) {
    if (key->matches(QKeySequence::Paste)) {
        const QString text = QGuiApplication::clipboard()->text();
        if (m_edit->isReadOnly() || accepts(m_kind, text))
            return false; // the edit pastes it as it is
        insertFiltered(text);
        return true;
    }
    return typesText(key) && !accepts(m_kind, key->text());
}

bool KeyFilter::drop(QDropEvent* drop) {
    const QString text = drop->mimeData()->text();
    if (m_edit->isReadOnly() || accepts(m_kind, text))
        return false;
    const QString kept = filtered(m_kind, text);
    if (kept.isEmpty()) {
        drop->ignore();
        return true;
    }
    // The edit places the accepted part where it was dropped, as it would the whole text.
    QMimeData data;
    data.setText(kept);
    QDropEvent copy(drop->position(), drop->possibleActions(), &data, drop->buttons(),
                    drop->modifiers());
    QCoreApplication::sendEvent(m_edit, &copy);
    drop->setDropAction(copy.dropAction());
    drop->setAccepted(copy.isAccepted());
    return true;
}

void KeyFilter::showContextMenu(const QPoint& globalPos) {
    QMenu* menu = m_edit->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The menu's Paste goes through the filter like Ctrl+V.
    const QString paste = QLineEdit::tr("&Paste");
    for (QAction* action : menu->actions()) {
        if (!action->text().startsWith(paste))
            continue;
        action->disconnect(m_edit);
        QPointer<KeyFilter> self(this);
        connect(action, &QAction::triggered, this, [self] {
            if (self && !self->m_edit->isReadOnly())
                self->insertFiltered(QGuiApplication::clipboard()->text());
        });
    }
    menu->popup(globalPos);
}

void KeyFilter::insertFiltered(const QString& text) {
    // insert() replaces the selection, keeps the maximum length and can be undone.
    m_edit->insert(filtered(m_kind, text));
}

#include "moc_key_filter.cpp"

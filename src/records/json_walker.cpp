#include "records/json_walker.h"

#include <algorithm>

namespace {

// What Qt's UTF-8 decoder would drop from the start of a text: the byte-order mark.
constexpr char kMark[] = "\xEF\xBB\xBF";

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

} // namespace

QString JsonWalker::decoded(QByteArrayView utf8) {
    QString out;
    while (utf8.startsWith(kMark)) {
        out += QChar(0xFEFF);
        utf8 = utf8.sliced(3);
    }
    return out + QString::fromUtf8(utf8);
}

QString JsonWalker::nameText(QByteArrayView raw, bool plain) {
    if (plain)
        return decoded(raw);
    const QByteArray quoted = '"' + raw.toByteArray() + '"';
    JsonWalker w(quoted, 0);
    return w.text();
}

JsonWalker::JsonWalker(const QByteArray& bytes, qsizetype at) : m_bytes(bytes), m_pos(at) {
    if (m_pos == 0 && m_bytes.startsWith(kMark))
        m_pos = 3;
}

void JsonWalker::blanks() {
    while (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')
        ++m_pos;
}

JsonWalker::Kind JsonWalker::kind() {
    blanks();
    switch (peek()) {
    case '{':
        return Kind::Object;
    case '[':
        return Kind::List;
    case '"':
        return Kind::Text;
    case 't':
        return Kind::True;
    case 'f':
        return Kind::False;
    case 'n':
        return Kind::Null;
    case '\0':
        return m_pos < m_bytes.size() ? Kind::Null : Kind::End;
    default:
        return Kind::Number;
    }
}

void JsonWalker::enter() {
    blanks();
    ++m_pos;
}

bool JsonWalker::next() {
    blanks();
    if (peek() == ',') {
        ++m_pos;
        blanks();
    }
    if (peek() == '}' || peek() == ']' || m_pos >= m_bytes.size()) {
        ++m_pos;
        return false;
    }
    return true;
}

QString JsonWalker::name() {
    blanks();
    const QString n = text();
    blanks();
    ++m_pos; // ':'
    return n;
}

QByteArrayView JsonWalker::rawName(bool* plain) {
    blanks();
    const qsizetype begin = ++m_pos;
    *plain = true;
    for (; m_pos < m_bytes.size() && m_bytes[m_pos] != '"'; ++m_pos) {
        if (m_bytes[m_pos] == '\\') {
            *plain = false;
            ++m_pos;
        }
    }
    const QByteArrayView raw = QByteArrayView(m_bytes).sliced(begin, std::min(m_pos, m_bytes.size()) - begin);
    ++m_pos;
    blanks();
    ++m_pos; // ':'
    return raw;
}

QString JsonWalker::text() {
    ++m_pos; // the opening quote
    const qsizetype begin = m_pos;
    while (m_pos < m_bytes.size() && m_bytes[m_pos] != '"' && m_bytes[m_pos] != '\\')
        ++m_pos;
    if (peek() != '\\') { // the common case: the file's own bytes
        const QString t = decoded(QByteArrayView(m_bytes).sliced(begin, m_pos - begin));
        ++m_pos;
        return t;
    }
    QString out = decoded(QByteArrayView(m_bytes).sliced(begin, m_pos - begin));
    qsizetype run = m_pos;
    const auto flush = [&] {
        out += decoded(QByteArrayView(m_bytes).sliced(run, m_pos - run));
    };
    while (m_pos < m_bytes.size() && m_bytes[m_pos] != '"') {
        if (m_bytes[m_pos] != '\\') {
            ++m_pos;
            continue;
        }
        flush();
        ++m_pos;
        const char e = peek();
        ++m_pos;
        switch (e) {
        case 'b':
            out += u'\b';
            break;
        case 'f':
            out += u'\f';
            break;
        case 'n':
            out += u'\n';
            break;
        case 'r':
            out += u'\r';
            break;
        case 't':
            out += u'\t';
            break;
        case 'u': {
            char16_t unit = 0;
            for (int k = 0; k < 4 && m_pos < m_bytes.size(); ++k)
                unit = char16_t(unit * 16 + hexDigit(m_bytes[m_pos++]));
            out += QChar(unit); // a surrogate pair comes as two escapes, each a half
            break;
        }
        default:
            out += QLatin1Char(e);
        }
        run = m_pos;
    }
    flush();
    ++m_pos;
    return out;
}

JsonWalker::Scalar JsonWalker::scalar() {
    Scalar s;
    s.kind = kind();
    switch (s.kind) {
    case Kind::Text:
        s.text = text();
        break;
    case Kind::Number: {
        const qsizetype begin = m_pos;
        while (m_pos < m_bytes.size() &&
               QByteArrayView("0123456789+-.eE").contains(m_bytes[m_pos]))
            ++m_pos;
        s.number = QByteArray::fromRawData(m_bytes.constData() + begin, m_pos - begin);
        if (m_pos == begin)
            ++m_pos; // not a number after all: a text that was not checked
        break;
    }
    case Kind::True:
        m_pos += 4;
        break;
    case Kind::False:
        m_pos += 5;
        break;
    case Kind::Null:
        m_pos += 4;
        break;
    case Kind::Object:
    case Kind::List:
        skip();
        break;
    case Kind::End:
        break;
    }
    return s;
}

void JsonWalker::skip() {
    const Kind k = kind();
    if (k != Kind::Object && k != Kind::List) {
        if (k == Kind::Text) {
            // Past the text without decoding it.
            for (++m_pos; m_pos < m_bytes.size() && m_bytes[m_pos] != '"'; ++m_pos) {
                if (m_bytes[m_pos] == '\\')
                    ++m_pos;
            }
            ++m_pos;
            return;
        }
        scalar();
        return;
    }
    enter();
    const bool object = k == Kind::Object;
    while (next()) {
        if (object) { // the name, undecoded, and the ':'
            skip();
            blanks();
            ++m_pos;
        }
        skip();
    }
}

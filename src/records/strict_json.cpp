#include "records/strict_json.h"
#include "records/visible_text.h"

#include <QSet>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>

namespace strict_json {

namespace {

// Far deeper than any records file; keeps a hostile file from exhausting the stack.
constexpr int kMaxDepth = 512;

struct Stop {
    qsizetype at;
    QString what;
};

// The names of one object. A row has a dozen: those are looked through, a hash only for more.
class NameSet {
public:
    // False when the name is there already.
    bool insert(const QByteArray& name) {
        if (m_many.isEmpty() && m_few.size() < kFew) {
            if (std::find(m_few.cbegin(), m_few.cend(), name) != m_few.cend())
                return false;
            m_few.append(name);
            return true;
        }
        if (m_many.isEmpty())
            m_many = QSet<QByteArray>(m_few.cbegin(), m_few.cend());
        const qsizetype before = m_many.size();
        m_many.insert(name);
        return m_many.size() > before;
    }

private:
    static constexpr int kFew = 32;
    QVarLengthArray<QByteArray, kFew> m_few;
    QSet<QByteArray> m_many;
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void appendUtf8(QByteArray& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// The whole number a decimal literal stands for, as digits with an optional '-', when it is a
// whole number of at most 19 digits; nothing otherwise (a fraction, or too large for 64 bits).
std::optional<QByteArray> wholeDigits(const QByteArray& literal) {
    qsizetype i = 0;
    const bool negative = literal.startsWith('-');
    if (negative)
        ++i;
    QByteArray digits;
    qint64 scale = 0;
    for (; i < literal.size() && isDigit(literal[i]); ++i)
        digits += literal[i];
    if (i < literal.size() && literal[i] == '.') {
        for (++i; i < literal.size() && isDigit(literal[i]); ++i) {
            digits += literal[i];
            --scale;
        }
    }
    if (i < literal.size()) { // the exponent
        ++i;
        bool minus = false;
        if (literal[i] == '+' || literal[i] == '-')
            minus = literal[i++] == '-';
        qint64 e = 0;
        for (; i < literal.size(); ++i)
            e = std::min<qint64>(e * 10 + (literal[i] - '0'), 1'000'000);
        scale += minus ? -e : e;
    }
    while (digits.startsWith('0'))
        digits.remove(0, 1);
    if (digits.isEmpty())
        return QByteArray("0");
    while (scale < 0 && digits.endsWith('0')) {
        digits.chop(1);
        ++scale;
    }
    if (scale < 0 || digits.size() + scale > 19)
        return std::nullopt;
    digits += QByteArray(scale, '0');
    return negative ? '-' + digits : digits;
}

class Reader {
public:
    explicit Reader(const QByteArray& bytes) : m_bytes(bytes) {}

    void run() {
        if (m_bytes.startsWith("\xEF\xBB\xBF"))
            m_pos = 3;
        skipSpace();
        if (atEnd())
            stop(QStringLiteral("no JSON text"));
        value(0);
        skipSpace();
        if (!atEnd())
            stop(QStringLiteral("%1 after the end of the JSON text").arg(here()));
    }

private:
    [[noreturn]] void stop(const QString& what) { throw Stop{m_pos, what}; }
    bool atEnd() const { return m_pos >= m_bytes.size(); }
    char peek() const { return atEnd() ? '\0' : m_bytes[m_pos]; }

    // The byte at the reading position, as a message names it.
    QString here() const {
        if (atEnd())
            return QStringLiteral("the end of the file");
        const auto c = static_cast<unsigned char>(m_bytes[m_pos]);
        if (c == '"')
            return QStringLiteral("a quote");
        if (c > 0x20 && c < 0x7F)
            return QStringLiteral("\"%1\"").arg(QChar(c));
        return QStringLiteral("byte 0x%1").arg(int(c), 2, 16, QLatin1Char('0'));
    }

    void skipSpace() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
            ++m_pos;
    }

    // After blanks: true, and past it, when `close` comes next.
    bool skipPast(char close) {
        skipSpace();
        if (peek() != close)
            return false;
        ++m_pos;
        return true;
    }

    void value(int depth) {
        if (depth > kMaxDepth)
            stop(QStringLiteral("lists and objects nested more than %1 deep").arg(kMaxDepth));
        const char c = peek();
        if (c == '{')
            object(depth);
        else if (c == '[')
            array(depth);
        else if (c == '"')
            text(false);
        else if (c == '-' || isDigit(c))
            number();
        else if (c == 't')
            word("true");
        else if (c == 'f')
            word("false");
        else if (c == 'n')
            word("null");
        else
            stop(QStringLiteral("%1 where a value belongs").arg(here()));
    }

    void object(int depth) {
        ++m_pos;
        NameSet names;
        if (skipPast('}'))
            return;
        for (;;) {
            skipSpace();
            if (peek() != '"')
                stop(QStringLiteral("%1 where a name in quotes belongs").arg(here()));
            const qsizetype at = m_pos;
            const QByteArray name = text(true);
            if (!names.insert(name)) {
                m_pos = at;
                stop(QStringLiteral("the name \"%1\" a second time in one object")
                         .arg(visible_text::escaped(QString::fromUtf8(name))));
            }
            skipSpace();
            if (peek() != ':')
                stop(QStringLiteral("%1 where \":\" belongs").arg(here()));
            ++m_pos;
            skipSpace();
            value(depth + 1);
            if (skipPast('}'))
                return;
            if (peek() != ',')
                stop(QStringLiteral("%1 where \",\" or \"}\" belongs").arg(here()));
            ++m_pos;
        }
    }

    void array(int depth) {
        ++m_pos;
        if (skipPast(']'))
            return;
        for (;;) {
            skipSpace();
            value(depth + 1);
            if (skipPast(']'))
                return;
            if (peek() != ',')
                stop(QStringLiteral("%1 where \",\" or \"]\" belongs").arg(here()));
            ++m_pos;
        }
    }

    void word(const char* w) {
        const QByteArray expected(w);
        if (m_bytes.mid(m_pos, expected.size()) != expected)
            stop(QStringLiteral("%1 where a value belongs").arg(here()));
        m_pos += expected.size();
    }

    int hex4() {
        int unit = 0;
        for (int k = 0; k < 4; ++k) {
            const int h = hexValue(peek());
            if (atEnd() || h < 0)
                stop(QStringLiteral("\\u without four hexadecimal digits in a text"));
            unit = unit * 16 + h;
            ++m_pos;
        }
        return unit;
    }

    // One continuation byte of a UTF-8 sequence, within [low, high].
    void continuation(unsigned char low = 0x80, unsigned char high = 0xBF) {
        const auto c = static_cast<unsigned char>(peek());
        if (atEnd() || c < low || c > high)
            stop(QStringLiteral("bytes that are not UTF-8"));
        ++m_pos;
    }

    void utf8Sequence() {
        const auto lead = static_cast<unsigned char>(m_bytes[m_pos]);
        ++m_pos;
        if (lead >= 0xC2 && lead <= 0xDF) {
            continuation();
        } else if (lead == 0xE0) {
            continuation(0xA0);
            continuation();
        } else if (lead == 0xED) { // no surrogates
            continuation(0x80, 0x9F);
            continuation();
        } else if (lead >= 0xE1 && lead <= 0xEF) {
            continuation();
            continuation();
        } else if (lead == 0xF0) {
            continuation(0x90);
            continuation();
            continuation();
        } else if (lead >= 0xF1 && lead <= 0xF3) {
            continuation();
            continuation();
            continuation();
        } else if (lead == 0xF4) { // nothing above U+10FFFF
            continuation(0x80, 0x8F);
            continuation();
            continuation();
        } else {
            --m_pos;
            stop(QStringLiteral("bytes that are not UTF-8"));
        }
    }

    // A string; gives its decoded UTF-8 when asked to `keep` it (the names of an object).
    // Without an escape that is the file's own bytes, taken without a copy.
    QByteArray text(bool keep) {
        ++m_pos;
        const qsizetype begin = m_pos;
        QByteArray out;
        bool decoding = false; // `out` holds the text decoded so far
        for (;;) {
            if (atEnd())
                stop(QStringLiteral("a text without its closing quote"));
            const qsizetype start = m_pos;
            const auto c = static_cast<unsigned char>(m_bytes[m_pos]);
            if (c == '"') {
                ++m_pos;
                if (!keep || decoding)
                    return out;
                return QByteArray::fromRawData(m_bytes.constData() + begin, start - begin);
            }
            if (c < 0x20)
                stop(QStringLiteral("a raw control character (byte 0x%1) in a text")
                         .arg(int(c), 2, 16, QLatin1Char('0')));
            if (c >= 0x80) {
                utf8Sequence();
                if (decoding)
                    out += m_bytes.mid(start, m_pos - start);
                continue;
            }
            ++m_pos;
            if (c != '\\') {
                if (decoding)
                    out += char(c);
                continue;
            }
            if (keep && !decoding) {
                out = m_bytes.mid(begin, start - begin);
                decoding = true;
            }
            const QByteArray decoded = escape(start);
            if (decoding)
                out += decoded;
        }
    }

    // After a backslash at `start`: what the escape stands for.
    QByteArray escape(qsizetype start) {
        const char e = peek();
        ++m_pos;
        switch (e) {
        case '"':
        case '\\':
        case '/':
            return QByteArray(1, e);
        case 'b':
            return "\b";
        case 'f':
            return "\f";
        case 'n':
            return "\n";
        case 'r':
            return "\r";
        case 't':
            return "\t";
        case 'u':
            return unicodeEscape(start);
        default:
            m_pos = start;
            stop(QStringLiteral("an unknown escape in a text"));
        }
    }

    // After "\u": one code point, a surrogate pair taken together.
    QByteArray unicodeEscape(qsizetype start) {
        char32_t code = char32_t(hex4());
        if (code >= 0xDC00 && code <= 0xDFFF) {
            m_pos = start;
            stop(QStringLiteral("a lone surrogate (\\u%1) in a text").arg(int(code), 4, 16));
        }
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (m_bytes.mid(m_pos, 2) != "\\u") {
                m_pos = start;
                stop(QStringLiteral("a lone surrogate (\\u%1) in a text").arg(int(code), 4, 16));
            }
            m_pos += 2;
            const char32_t low = char32_t(hex4());
            if (low < 0xDC00 || low > 0xDFFF) {
                m_pos = start;
                stop(QStringLiteral("a lone surrogate (\\u%1) in a text").arg(int(code), 4, 16));
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        QByteArray out;
        appendUtf8(out, code);
        return out;
    }

    void digits() {
        while (isDigit(peek()))
            ++m_pos;
    }

    void number() {
        const qsizetype start = m_pos;
        auto bad = [&] {
            // The whole run of number characters, as the message shows it.
            qsizetype end = m_pos;
            while (end < m_bytes.size() && QByteArray("0123456789+-.eE").contains(m_bytes[end]))
                ++end;
            const QString literal = QString::fromLatin1(m_bytes.mid(start, end - start));
            m_pos = start;
            stop(QStringLiteral("\"%1\" is not a JSON number").arg(literal));
        };
        if (peek() == '-')
            ++m_pos;
        if (peek() == '0')
            ++m_pos;
        else if (isDigit(peek()))
            digits();
        else
            bad();
        bool integerForm = true;
        if (peek() == '.') {
            ++m_pos;
            if (!isDigit(peek()))
                bad();
            digits();
            integerForm = false;
        }
        if (peek() == 'e' || peek() == 'E') {
            ++m_pos;
            if (peek() == '+' || peek() == '-')
                ++m_pos;
            if (!isDigit(peek()))
                bad();
            digits();
            integerForm = false;
        }
        if (isDigit(peek()) || peek() == '.' || peek() == '+' || peek() == '-')
            bad(); // "01", "1.2.3"
        const QByteArray literal = m_bytes.mid(start, m_pos - start);
        if (!exact(literal, integerForm)) {
            m_pos = start;
            stop(QStringLiteral("the number %1 cannot be read exactly (whole numbers lie within "
                                "64 bits)")
                     .arg(QString::fromLatin1(literal)));
        }
    }

    // Whether Qt's reader takes the literal as exactly the number written. It reads an
    // integer within 64 bits as it is, anything else as the nearest double, and a double
    // that is whole counts as a whole number: that must then be the literal's own value.
    static bool exact(const QByteArray& literal, bool integerForm) {
        const std::optional<QByteArray> whole = wholeDigits(literal);
        bool fits = false;
        const qint64 value = whole ? whole->toLongLong(&fits) : 0;
        if (integerForm)
            return fits;
        bool ok = false;
        const double d = literal.toDouble(&ok);
        constexpr double kTwo63 = 9223372036854775808.0;
        if (!ok || !std::isfinite(d))
            return false; // beyond the doubles, or so small that it reads as zero
        if (std::trunc(d) != d || d < -kTwo63 || d >= kTwo63)
            return true; // no whole number: the records reader says so
        return fits && qint64(d) == value;
    }

    const QByteArray& m_bytes;
    qsizetype m_pos = 0;
};

} // namespace

std::optional<Fault> check(const QByteArray& bytes) {
    Reader reader(bytes);
    try {
        reader.run();
    } catch (const Stop& s) {
        return Fault{int(bytes.left(s.at).count('\n')) + 1, s.what};
    }
    return std::nullopt;
}

QByteArray byteOrderMarksEscaped(const QByteArray& json) {
    // In UTF-8 these three bytes are U+FEFF and nothing else, and valid JSON holds the
    // character only inside a text.
    static const QByteArray mark("\xEF\xBB\xBF");
    const qsizetype keep = json.startsWith(mark) ? mark.size() : 0;
    QByteArray rest = json.mid(keep);
    if (!rest.contains(mark))
        return json;
    return json.left(keep) + rest.replace(mark, QByteArrayLiteral("\\ufeff"));
}

} // namespace strict_json

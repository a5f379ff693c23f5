#include "searchindex/IndexText.h"

#include <QChar>

namespace {

qsizetype codePoints(const QString &text)
{
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!(text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate()))
            ++n;
    }
    return n;
}

// The last count code points of text.
QString rightCodePoints(const QString &text, qsizetype count)
{
    qsizetype i = text.size();
    while (i > 0 && count > 0) {
        --i;
        if (text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate())
            --i;
        --count;
    }
    return text.mid(i);
}

void appendUtf8(QByteArray &out, char32_t c)
{
    if (c < 0x80) {
        out.append(char(c));
    } else if (c < 0x800) {
        out.append(char(0xC0 | (c >> 6)));
        out.append(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.append(char(0xE0 | (c >> 12)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    } else {
        out.append(char(0xF0 | (c >> 18)));
        out.append(char(0x80 | ((c >> 12) & 0x3F)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    }
}

int utf8Length(char32_t c)
{
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

// Calls put with every code point of text and its upper case (on its own).
template<typename Put> void eachUpper(const QString &text, Put put)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        char32_t upper = c;
        if (c >= 'a' && c <= 'z')
            upper = c - ('a' - 'A');
        else if (c >= 0x80)
            upper = QChar::toUpper(c);
        put(c, upper);
    }
}

} // namespace

QByteArray IndexText::fold(const QString &name)
{
    QByteArray out;
    out.reserve(name.size() + 8);
    eachUpper(name,
              [&out](char32_t c, char32_t upper) { appendUtf8(out, c == '\n' ? 0x01 : upper); });
    return out;
}

QString IndexText::upper(const QString &text)
{
    QString out;
    out.reserve(text.size());
    eachUpper(text, [&out](char32_t c, char32_t upper) {
        if (utf8Length(upper) == utf8Length(c))
            c = upper;
        if (QChar::requiresSurrogates(c)) {
            out += QChar(QChar::highSurrogate(c));
            out += QChar(QChar::lowSurrogate(c));
        } else {
            out += QChar(char16_t(c));
        }
    });
    return out;
}

QByteArray IndexText::fold(const char *utf8, int size)
{
    // Plain ASCII, most file names, needs no decoding.
    QByteArray out(utf8, size);
    for (int i = 0; i < size; ++i) {
        const unsigned char c = uchar(out[i]);
        if (c >= 0x80)
            return fold(QString::fromUtf8(utf8, size));
        if (c >= 'a' && c <= 'z')
            out[i] = char(c - ('a' - 'A'));
        else if (c == '\n')
            out[i] = 0x01;
    }
    return out;
}

bool IndexText::isSearchable(const QString &text)
{
    bool alike = true;
    eachUpper(text, [&alike](char32_t c, char32_t upper) {
        alike = alike && utf8Length(upper) == utf8Length(c);
    });
    return alike && !text.contains(QLatin1Char('\n')) && !text.contains(QChar(0x01));
}

QString IndexText::contentPath(const QString &name, const QStringList &ancestors)
{
    qsizetype length = codePoints(name);
    bool fits = true;
    for (const QString &a : ancestors) {
        length += codePoints(a) + 1;
        if (length > MaxPath) {
            fits = false;
            break;
        }
    }
    QString path = name;
    if (fits) {
        for (const QString &a : ancestors)
            path.prepend(a + QLatin1Char('/'));
        return path;
    }
    length = codePoints(name);
    for (const QString &a : ancestors) {
        const qsizetype own = codePoints(a);
        if (own + 1 + length > MaxPath)
            return QStringLiteral("…/") + rightCodePoints(path, MaxPath - 2);
        path.prepend(a + QLatin1Char('/'));
        length += own + 1;
    }
    return path;
}

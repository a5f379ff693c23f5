#include "cli/RowWriter.h"

#include <QDate>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>

RowWriter::RowWriter(Format format, QList<Column> columns, std::FILE *out)
    : m_format(format), m_columns(std::move(columns)), m_out(out)
{ }

bool RowWriter::parseFormat(const QString &name, Format *format)
{
    if (name == QLatin1String("text"))
        *format = Format::Text;
    else if (name == QLatin1String("csv"))
        *format = Format::Csv;
    else if (name == QLatin1String("json"))
        *format = Format::Json;
    else
        return false;
    return true;
}

QString RowWriter::plain(const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return {};
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9.0e15)
            return QString::number(qint64(d));
        return QString::number(d, 'g', 17);
    }
    default:
        return value.toString();
    }
}

QString RowWriter::csvField(const QString &text)
{
    const bool quote = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
        || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
    if (!quote)
        return text;
    QString doubled = text;
    doubled.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + doubled + QLatin1Char('"');
}

QByteArray RowWriter::jsonObject(const QList<Column> &columns, const QVariantList &values)
{
    QJsonObject object;
    for (qsizetype c = 0; c < columns.size(); ++c) {
        const QVariant v = c < values.size() ? values.at(c) : QVariant();
        QJsonValue json;
        if (v.isNull() || !v.isValid()) {
            json = QJsonValue(QJsonValue::Null);
        } else {
            switch (v.typeId()) {
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::Short:
                json = QJsonValue(v.toLongLong());
                break;
            case QMetaType::Double:
            case QMetaType::Float: {
                const double d = v.toDouble();
                json = d == std::floor(d) && std::fabs(d) < 9.0e15 ? QJsonValue(qint64(d))
                                                                   : QJsonValue(d);
                break;
            }
            default:
                json = QJsonValue(plain(v));
            }
        }
        object.insert(columns.at(c).key, json);
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void RowWriter::put(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out);
}

void RowWriter::write(const QVariantList &values)
{
    ++m_rows;
    switch (m_format) {
    case Format::Json:
        put(jsonObject(m_columns, values) + '\n');
        return;
    case Format::Csv: {
        if (!m_headerDone) {
            QStringList keys;
            for (const Column &c : m_columns)
                keys << c.key;
            put((keys.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8());
            m_headerDone = true;
        }
        QStringList fields;
        for (const QVariant &v : values)
            fields << csvField(plain(v));
        put((fields.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8());
        return;
    }
    case Format::Text: {
        QStringList cells;
        for (const QVariant &v : values) {
            // A line per row: breaks inside a value would split it.
            QString cell = plain(v);
            cell.replace(QLatin1Char('\n'), QLatin1Char(' '));
            cell.replace(QLatin1Char('\r'), QLatin1Char(' '));
            cell.replace(QLatin1Char('\t'), QLatin1Char(' '));
            cells << cell;
        }
        m_text.push_back(cells);
        return;
    }
    }
}

qint64 RowWriter::finish()
{
    if (m_format == Format::Csv && !m_headerDone) {
        QStringList keys;
        for (const Column &c : m_columns)
            keys << c.key;
        put((keys.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8());
        m_headerDone = true;
    }
    if (m_format == Format::Text && !m_text.empty()) {
        std::vector<qsizetype> width(size_t(m_columns.size()), 0);
        for (qsizetype c = 0; c < m_columns.size(); ++c)
            width[size_t(c)] = m_columns.at(c).title.size();
        for (const QStringList &row : m_text) {
            for (qsizetype c = 0; c < row.size() && c < m_columns.size(); ++c)
                width[size_t(c)] = std::max(width[size_t(c)], row.at(c).size());
        }
        auto line = [&](const QStringList &cells) {
            QString text;
            for (qsizetype c = 0; c < cells.size(); ++c) {
                if (c + 1 == cells.size())
                    text += cells.at(c);
                else
                    text += cells.at(c).leftJustified(width[size_t(c)] + 2);
            }
            while (text.endsWith(QLatin1Char(' ')))
                text.chop(1);
            put((text + QLatin1Char('\n')).toUtf8());
        };
        QStringList titles;
        for (const Column &c : m_columns)
            titles << c.title;
        line(titles);
        for (const QStringList &row : m_text)
            line(row);
        m_text.clear();
    }
    std::fflush(m_out);
    return m_rows;
}

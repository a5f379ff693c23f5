#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <cstdio>
#include <vector>

// Rows of a command on stdout: aligned text columns under Russian titles for a person, CSV
// (RFC 4180, a header row of the keys) or JSON lines (one object per row with the keys) for
// scripts. CSV and JSON rows go out as they come; text waits for the last row to align.
class RowWriter
{
public:
    enum class Format { Text, Csv, Json };
    struct Column
    {
        QString key; // CSV header and JSON key: stable, latin
        QString title; // the text format's heading
    };

    RowWriter(Format format, QList<Column> columns, std::FILE *out = stdout);

    // Null, a date, a time stamp, a number or a text per column.
    void write(const QVariantList &values);
    // Writes what text still holds; the count of rows written.
    qint64 finish();
    qint64 rows() const { return m_rows; }

    // "text", "csv" or "json"; false for anything else.
    static bool parseFormat(const QString &name, Format *format);
    // A value as text: dates as yyyy-MM-dd, time stamps as yyyy-MM-dd HH:mm:ss, whole
    // numbers without a fraction, null as empty.
    static QString plain(const QVariant &value);
    static QString csvField(const QString &text);
    static QByteArray jsonObject(const QList<Column> &columns, const QVariantList &values);

private:
    void put(const QByteArray &bytes);

    Format m_format;
    QList<Column> m_columns;
    std::FILE *m_out;
    std::vector<QStringList> m_text;
    qint64 m_rows = 0;
    bool m_headerDone = false;
};

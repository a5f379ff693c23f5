#include "store/Statement.h"

#include "store/Connection.h"
#include "store/DbError.h"
#include "store/FbApi.h"
#include "store/StoreLog.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QThread>
#include <cstdlib>
#include <cstring>

namespace {

constexpr short kCharsetUtf8 = 4;
constexpr short kCharsetUnicodeFss = 3;
constexpr short kCharsetOctets = 1;
constexpr int kJulianDayOfIscEpoch = 2400001; // 17 November 1858
// A block read on a worker thread: as many rows as a dataset fetches at once, or what came
// within a moment, so that the first screen of a slow search shows early.
constexpr int kBlockRows = 1000;
constexpr qint64 kBlockMs = 50;

std::unique_ptr<XSQLDA, void (*)(void *)> allocSqlda(int vars)
{
    const int n = vars < 1 ? 1 : vars;
    auto *da = static_cast<XSQLDA *>(std::calloc(1, XSQLDA_LENGTH(n)));
    if (!da)
        throw std::bad_alloc();
    da->version = SQLDA_VERSION1;
    da->sqln = short(n);
    return {da, std::free};
}

ISC_DATE encodeDate(const QDate &d)
{
    return ISC_DATE(d.toJulianDay() - kJulianDayOfIscEpoch);
}

QDate decodeDate(ISC_DATE d)
{
    return QDate::fromJulianDay(qint64(d) + kJulianDayOfIscEpoch);
}

ISC_TIME encodeTime(const QTime &t)
{
    return ISC_TIME(t.msecsSinceStartOfDay()) * 10;
}

QTime decodeTime(ISC_TIME t)
{
    return QTime::fromMSecsSinceStartOfDay(int(t / 10));
}

bool isTransactionActive(Connection &c)
{
    return c.isConnected() && c.transaction().isActive();
}

[[noreturn]] void throwNotActive()
{
    throw DbError(QStringLiteral("Transaction is not active"));
}

} // namespace

NamedSql parseNamedSql(const QString &text)
{
    NamedSql result;
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    // In an EXECUTE BLOCK the colon names the block's own variables after its AS.
    const bool block
        = text.trimmed().startsWith(QLatin1String("execute block"), Qt::CaseInsensitive);
    int depth = 0;
    bool inBody = false;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (block && !inBody) {
            if (c == QLatin1Char('('))
                ++depth;
            else if (c == QLatin1Char(')'))
                --depth;
            else if (depth == 0 && (c == QLatin1Char('a') || c == QLatin1Char('A'))
                     && text.mid(i, 2).compare(QLatin1String("as"), Qt::CaseInsensitive) == 0
                     && (i == 0 || !text[i - 1].isLetterOrNumber())
                     && (i + 2 >= n || !text[i + 2].isLetterOrNumber()))
                inBody = true;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // Quoted literal or identifier: copied as it stands.
            const qsizetype end = text.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? n : end + 1;
            out += QStringView(text).mid(i, stop - i);
            i = stop - 1;
        } else if (c == QLatin1Char('-') && i + 1 < n && text[i + 1] == QLatin1Char('-')) {
            const qsizetype end = text.indexOf(QLatin1Char('\n'), i);
            const qsizetype stop = end < 0 ? n : end;
            out += QStringView(text).mid(i, stop - i);
            i = stop - 1;
        } else if (c == QLatin1Char('/') && i + 1 < n && text[i + 1] == QLatin1Char('*')) {
            const qsizetype end = text.indexOf(QLatin1String("*/"), i + 2);
            const qsizetype stop = end < 0 ? n : end + 2;
            out += QStringView(text).mid(i, stop - i);
            i = stop - 1;
        } else if (c == QLatin1Char(':') && !inBody && i + 1 < n
                   && (text[i + 1].isLetter() || text[i + 1] == QLatin1Char('_'))) {
            qsizetype j = i + 1;
            while (j < n
                   && (text[j].isLetterOrNumber() || text[j] == QLatin1Char('_')
                       || text[j] == QLatin1Char('$')))
                ++j;
            const QString name = text.mid(i + 1, j - i - 1);
            int index = -1;
            for (int k = 0; k < result.names.size(); ++k) {
                if (result.names[k].compare(name, Qt::CaseInsensitive) == 0) {
                    index = k;
                    break;
                }
            }
            if (index < 0) {
                index = int(result.names.size());
                result.names << name;
            }
            result.markerName.push_back(index);
            out += QLatin1Char('?');
            i = j - 1;
        } else {
            out += c;
        }
    }
    result.sql = out.toUtf8();
    return result;
}

Statement::Statement(Connection &connection)
    : m_connection(connection), m_in(nullptr, std::free), m_out(nullptr, std::free)
{ }

Statement::~Statement()
{
    try {
        free();
    } catch (const DbError &e) {
        // The handle dies with the attachment anyway.
        qCDebug(lcStore) << "statement not freed:" << e.text();
    }
}

void Statement::free()
{
    if (m_handle && m_connection.isConnected()) {
        ISC_STATUS_ARRAY status;
        FbClient::api().isc_dsql_free_statement(status, &m_handle, DSQL_drop);
    }
    m_handle = 0;
    m_cursorOpen = false;
    m_columns.clear();
}

void Statement::prepare(const QString &sql)
{
    free();
    if (!isTransactionActive(m_connection))
        throwNotActive();
    const FbApi &fb = FbClient::api();
    ISC_STATUS_ARRAY status;
    fb.isc_dsql_allocate_statement(status, m_connection.handle(), &m_handle);
    DbError::check(status);

    m_named = parseNamedSql(sql);
    m_out = allocSqlda(1);
    fb.isc_dsql_prepare(status, m_connection.transaction().handle(), &m_handle, 0,
                        m_named.sql.constData(), SQL_DIALECT_V6, m_out.get());
    if (status[0] == 1 && status[1] != 0) {
        const DbError error = DbError::fromStatus(status);
        free();
        throw error;
    }
    if (m_out->sqld > m_out->sqln) {
        m_out = allocSqlda(m_out->sqld);
        fb.isc_dsql_describe(status, &m_handle, SQLDA_VERSION1, m_out.get());
        DbError::check(status);
    }

    static const char typeItem[] = {isc_info_sql_stmt_type};
    char info[16] = {};
    fb.isc_dsql_sql_info(status, &m_handle, sizeof typeItem, typeItem, sizeof info, info);
    DbError::check(status);
    m_kind = Kind::Other;
    if (info[0] == isc_info_sql_stmt_type) {
        const int len = int(quint8(info[1])) | (int(quint8(info[2])) << 8);
        int type = 0;
        for (int i = 0; i < len && i < 4; ++i)
            type |= int(quint8(info[3 + i])) << (8 * i);
        switch (type) {
        case isc_info_sql_stmt_select:
        case isc_info_sql_stmt_select_for_upd:
            m_kind = Kind::Select;
            break;
        case isc_info_sql_stmt_insert:
            m_kind = Kind::Insert;
            break;
        case isc_info_sql_stmt_update:
            m_kind = Kind::Update;
            break;
        case isc_info_sql_stmt_delete:
            m_kind = Kind::Delete;
            break;
        case isc_info_sql_stmt_exec_procedure:
            m_kind = Kind::ExecProcedure;
            break;
        default:
            break;
        }
    }

    const int markers = int(m_named.markerName.size());
    m_in = allocSqlda(markers);
    fb.isc_dsql_describe_bind(status, &m_handle, SQLDA_VERSION1, m_in.get());
    DbError::check(status);
    if (m_in->sqld > m_in->sqln) {
        m_in = allocSqlda(m_in->sqld);
        fb.isc_dsql_describe_bind(status, &m_handle, SQLDA_VERSION1, m_in.get());
        DbError::check(status);
    }
    if (m_in->sqld != markers) {
        free();
        throw DbError(QStringLiteral("Parameter markers do not match the statement"));
    }
    m_inBuffers.assign(size_t(markers), {});
    m_inNull.assign(size_t(markers), 0);
    m_paramValues.assign(size_t(m_named.names.size()), QVariant());
    describeOutput();
}

void Statement::describeOutput()
{
    const int n = m_out->sqld;
    m_outBuffers.assign(size_t(n), {});
    m_outNull.assign(size_t(n), 0);
    m_columns.assign(size_t(n), {});
    m_columnAt.assign(size_t(n), 0);
    for (int i = 0; i < n; ++i) {
        XSQLVAR &var = m_out->sqlvar[i];
        const int type = var.sqltype & ~1;
        const bool nullable = (var.sqltype & 1) != 0;
        auto &buffer = m_outBuffers[size_t(i)];
        buffer.assign(size_t(var.sqllen) + (type == SQL_VARYING ? 2 : 0) + 1, 0);
        var.sqldata = buffer.data();
        var.sqlind = &m_outNull[size_t(i)];
        var.sqltype = short(type | 1);

        ColumnInfo &col = m_columns[size_t(i)];
        col.name = QString::fromUtf8(var.aliasname, var.aliasname_length);
        col.relation = QString::fromUtf8(var.relname, var.relname_length);
        col.required = !nullable;
        switch (type) {
        case SQL_TEXT:
        case SQL_VARYING: {
            const int charset = var.sqlsubtype & 0xFF;
            const int perChar
                = charset == kCharsetUtf8 ? 4 : (charset == kCharsetUnicodeFss ? 3 : 1);
            col.type = charset == kCharsetOctets ? FieldType::Blob : FieldType::String;
            col.size = var.sqllen / perChar;
            break;
        }
        case SQL_SHORT:
        case SQL_LONG:
            col.type = var.sqlscale == 0 ? FieldType::Integer : FieldType::Float;
            break;
        case SQL_INT64:
            col.type = var.sqlscale == 0 ? FieldType::LargeInt : FieldType::Float;
            break;
        case SQL_FLOAT:
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
            col.type = FieldType::Float;
            break;
        case SQL_TIMESTAMP:
            col.type = FieldType::DateTime;
            break;
        case SQL_TYPE_DATE:
            col.type = FieldType::Date;
            break;
        case SQL_TYPE_TIME:
            col.type = FieldType::Time;
            break;
        case SQL_BLOB:
            col.type = var.sqlsubtype == 1 ? FieldType::Memo : FieldType::Blob;
            break;
        case SQL_BOOLEAN:
            col.type = FieldType::Boolean;
            break;
        default:
            col.type = FieldType::Unknown;
            break;
        }
    }
}

int Statement::paramIndex(const QString &name) const
{
    for (int i = 0; i < m_named.names.size(); ++i) {
        if (m_named.names[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void Statement::setParam(int index, const QVariant &value)
{
    m_paramValues[size_t(index)] = value;
}

bool Statement::setParam(const QString &name, const QVariant &value)
{
    const int index = paramIndex(name);
    if (index < 0)
        return false;
    setParam(index, value);
    return true;
}

void Statement::clearParams()
{
    for (QVariant &v : m_paramValues)
        v = QVariant();
}

ISC_QUAD Statement::writeBlob(const QByteArray &data)
{
    const FbApi &fb = FbClient::api();
    ISC_STATUS_ARRAY status;
    isc_blob_handle blob = 0;
    ISC_QUAD id {};
    fb.isc_create_blob2(status, m_connection.handle(), m_connection.transaction().handle(), &blob,
                        &id, 0, nullptr);
    DbError::check(status);
    constexpr qsizetype kSegment = 32768;
    for (qsizetype pos = 0; pos < data.size(); pos += kSegment) {
        const auto len = static_cast<unsigned short>(qMin(kSegment, data.size() - pos));
        fb.isc_put_segment(status, &blob, len, data.constData() + pos);
        if (status[0] == 1 && status[1] != 0) {
            const DbError error = DbError::fromStatus(status);
            ISC_STATUS_ARRAY ignored;
            fb.isc_cancel_blob(ignored, &blob);
            throw error;
        }
    }
    fb.isc_close_blob(status, &blob);
    DbError::check(status);
    return id;
}

QVariant Statement::readBlob(ISC_QUAD id, bool text) const
{
    const FbApi &fb = FbClient::api();
    ISC_STATUS_ARRAY status;
    isc_blob_handle blob = 0;
    fb.isc_open_blob2(status, m_connection.handle(), m_connection.transaction().handle(), &blob,
                      &id, 0, nullptr);
    DbError::check(status);
    QByteArray data;
    char segment[32768];
    for (;;) {
        unsigned short got = 0;
        const ISC_STATUS rc = fb.isc_get_segment(status, &blob, &got, sizeof segment, segment);
        if (rc == 0 || rc == isc_segment) {
            data.append(segment, got);
            continue;
        }
        if (rc == isc_segstr_eof)
            break;
        const DbError error = DbError::fromStatus(status);
        fb.isc_close_blob(status, &blob);
        throw error;
    }
    fb.isc_close_blob(status, &blob);
    if (text)
        return QString::fromUtf8(data);
    return data;
}

void Statement::bindInput()
{
    const int n = m_in->sqld;
    for (int i = 0; i < n; ++i) {
        XSQLVAR &var = m_in->sqlvar[i];
        const QVariant &v = m_paramValues[size_t(m_named.markerName[size_t(i)])];
        auto &buffer = m_inBuffers[size_t(i)];
        const int described = var.sqltype & ~1;
        var.sqlind = &m_inNull[size_t(i)];
        if (!v.isValid() || v.isNull()) {
            m_inNull[size_t(i)] = -1;
            buffer.assign(size_t(var.sqllen) + 2 + 8, 0);
            var.sqldata = buffer.data();
            var.sqltype = short(described | 1);
            continue;
        }
        m_inNull[size_t(i)] = 0;
        auto put = [&](short type, const void *data, size_t len) {
            buffer.assign(len, 0);
            std::memcpy(buffer.data(), data, len);
            var.sqldata = buffer.data();
            var.sqltype = short(type | 1);
            var.sqllen = short(len);
            var.sqlscale = 0;
        };
        const int vt = v.typeId();
        if (described == SQL_BLOB) {
            const QByteArray bytes
                = vt == QMetaType::QByteArray ? v.toByteArray() : v.toString().toUtf8();
            const ISC_QUAD id = writeBlob(bytes);
            put(SQL_BLOB, &id, sizeof id);
        } else if (described == SQL_BOOLEAN) {
            const char b = v.toBool() ? 1 : 0;
            put(SQL_BOOLEAN, &b, 1);
        } else if (vt == QMetaType::Int || vt == QMetaType::LongLong || vt == QMetaType::UInt
                   || vt == QMetaType::Short || vt == QMetaType::Bool) {
            const ISC_INT64 x = v.toLongLong();
            put(SQL_INT64, &x, sizeof x);
        } else if (vt == QMetaType::Double || vt == QMetaType::Float
                   || vt == QMetaType::ULongLong) {
            const double x = v.toDouble();
            put(SQL_DOUBLE, &x, sizeof x);
        } else if (vt == QMetaType::QDate) {
            const ISC_DATE x = encodeDate(v.toDate());
            put(SQL_TYPE_DATE, &x, sizeof x);
        } else if (vt == QMetaType::QDateTime) {
            const QDateTime dt = v.toDateTime();
            ISC_TIMESTAMP x {encodeDate(dt.date()), encodeTime(dt.time())};
            put(SQL_TIMESTAMP, &x, sizeof x);
        } else if (vt == QMetaType::QTime) {
            const ISC_TIME x = encodeTime(v.toTime());
            put(SQL_TYPE_TIME, &x, sizeof x);
        } else {
            const QByteArray bytes
                = vt == QMetaType::QByteArray ? v.toByteArray() : v.toString().toUtf8();
            if (bytes.size() > 32765)
                throw DbError(QStringLiteral("Parameter '%1' is too long")
                                  .arg(m_named.names[m_named.markerName[size_t(i)]]));
            buffer.assign(size_t(bytes.size()) + 2, 0);
            const auto len = static_cast<unsigned short>(bytes.size());
            std::memcpy(buffer.data(), &len, 2);
            std::memcpy(buffer.data() + 2, bytes.constData(), size_t(bytes.size()));
            var.sqldata = buffer.data();
            var.sqltype = SQL_VARYING | 1;
            var.sqllen = short(bytes.size());
            var.sqlscale = 0;
            if (described != SQL_TEXT && described != SQL_VARYING)
                var.sqlsubtype = vt == QMetaType::QByteArray ? kCharsetOctets : kCharsetUtf8;
        }
    }
}

void Statement::execute()
{
    if (!isPrepared())
        throw DbError(QStringLiteral("Statement is not prepared"));
    if (!isTransactionActive(m_connection))
        throwNotActive();
    const FbApi &fb = FbClient::api();
    ISC_STATUS_ARRAY status;
    closeCursor();
    bindInput();
    XSQLDA *in = m_in->sqld > 0 ? m_in.get() : nullptr;
    if (m_kind == Kind::ExecProcedure && m_out->sqld > 0) {
        fb.isc_dsql_execute2(status, m_connection.transaction().handle(), &m_handle, SQLDA_VERSION1,
                             in, m_out.get());
    } else {
        fb.isc_dsql_execute(status, m_connection.transaction().handle(), &m_handle, SQLDA_VERSION1,
                            in);
    }
    DbError::check(status);
    m_cursorOpen = m_kind == Kind::Select;
    m_stop = false;
    m_stopped = false;
}

bool Statement::fetch()
{
    if (!m_fetchWait)
        return fetchHere();
    if (!m_cursorOpen)
        return false;
    if (m_nextRow == m_blockRows.size() && !m_blocksEnded)
        readBlock();
    if (m_nextRow == m_blockRows.size()) {
        const std::exception_ptr error = std::exchange(m_blockError, nullptr);
        closeCursor();
        if (error)
            std::rethrow_exception(error);
        return false;
    }
    qsizetype at = m_blockRows[m_nextRow++];
    const char *bytes = m_block.constData();
    for (size_t i = 0; i < m_columnAt.size(); ++i) {
        m_columnAt[i] = at;
        short indicator = 0;
        std::memcpy(&indicator, bytes + at, sizeof indicator);
        at += qsizetype(sizeof indicator);
        if (indicator < 0)
            continue;
        const XSQLVAR &var = m_out->sqlvar[i];
        if ((var.sqltype & ~1) == SQL_VARYING) {
            unsigned short length = 0;
            std::memcpy(&length, bytes + at, sizeof length);
            at += qsizetype(sizeof length) + length;
        } else {
            at += var.sqllen;
        }
    }
    m_rowFromBlock = true;
    return true;
}

void Statement::readBlock()
{
    if (m_fetching)
        throw DbError(QStringLiteral("The rows are still being fetched"));
    m_fetching = true;
    const auto done = qScopeGuard([this] { m_fetching = false; });
    std::unique_ptr<QThread> worker(QThread::create([this] { readRows(); }));
    worker->start();
    try {
        m_fetchWait(*worker, [this] { stopFetching(); });
    } catch (...) {
        stopFetching();
        worker->wait();
        m_connection.clearCancel();
        throw;
    }
    worker->wait();
    if (m_stop)
        m_connection.clearCancel();
}

void Statement::stopFetching()
{
    // The flag ends the block between two rows, the cancel a call that waits for one.
    m_stop = true;
    m_connection.cancelOperation();
}

void Statement::readRows()
{
    // The calling thread waits meanwhile: the statement is the worker's alone. Rows are kept as
    // the client library gives them, so that the worker spends no time on them.
    const FbApi &fb = FbClient::api();
    m_block.resize(0); // keeps its room for the next block
    m_blockRows.clear();
    m_nextRow = 0;
    QElapsedTimer clock;
    clock.start();
    try {
        for (int n = 0; n < kBlockRows; ++n) {
            if (m_stop)
                break;
            ISC_STATUS_ARRAY status;
            const ISC_STATUS rc = fb.isc_dsql_fetch(status, &m_handle, SQLDA_VERSION1, m_out.get());
            if (rc == 100) {
                m_blocksEnded = true;
                return;
            }
            if (rc != 0) {
                if (m_stop && status[1] == isc_cancelled)
                    break;
                m_blockError = std::make_exception_ptr(DbError::fromStatus(status));
                m_blocksEnded = true;
                return;
            }
            m_blockRows.push_back(m_block.size());
            for (int i = 0; i < m_out->sqld; ++i) {
                const XSQLVAR &var = m_out->sqlvar[i];
                const short indicator = *var.sqlind;
                m_block.append(reinterpret_cast<const char *>(&indicator), sizeof indicator);
                if (indicator < 0)
                    continue;
                qsizetype length = var.sqllen;
                if ((var.sqltype & ~1) == SQL_VARYING) {
                    unsigned short text = 0;
                    std::memcpy(&text, var.sqldata, sizeof text);
                    length = qsizetype(sizeof text) + text;
                }
                m_block.append(var.sqldata, length);
            }
            if (clock.elapsed() >= kBlockMs)
                return;
        }
    } catch (...) {
        // Out of memory: the rows end with the error, after those read.
        m_blockError = std::current_exception();
        m_blocksEnded = true;
        return;
    }
    if (m_stop) {
        m_stopped = true;
        m_blocksEnded = true;
    }
}

bool Statement::fetchHere()
{
    if (!m_cursorOpen)
        return false;
    ISC_STATUS_ARRAY status;
    const ISC_STATUS rc
        = FbClient::api().isc_dsql_fetch(status, &m_handle, SQLDA_VERSION1, m_out.get());
    if (rc == 0)
        return true;
    if (rc == 100) {
        closeCursor();
        return false;
    }
    const DbError error = DbError::fromStatus(status);
    closeCursor();
    throw error;
}

void Statement::closeCursor()
{
    m_block.clear();
    m_blockRows.clear();
    m_nextRow = 0;
    m_rowFromBlock = false;
    m_blocksEnded = false;
    m_blockError = nullptr;
    if (!m_cursorOpen)
        return;
    m_cursorOpen = false;
    if (m_handle && m_connection.isConnected()) {
        ISC_STATUS_ARRAY status;
        FbClient::api().isc_dsql_free_statement(status, &m_handle, DSQL_close);
    }
}

int Statement::columnIndex(const QString &name) const
{
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

QVariant Statement::value(int index) const
{
    const XSQLVAR &var = m_out->sqlvar[index];
    if (!m_rowFromBlock)
        return columnValue(index, *var.sqlind, var.sqldata);
    const char *at = m_block.constData() + m_columnAt[size_t(index)];
    short indicator = 0;
    std::memcpy(&indicator, at, sizeof indicator);
    return columnValue(index, indicator, at + sizeof indicator);
}

QVariant Statement::columnValue(int index, short indicator, const char *data) const
{
    const XSQLVAR &var = m_out->sqlvar[index];
    if (indicator < 0)
        return {};
    const int type = var.sqltype & ~1;
    auto scaled = [&](qint64 raw) -> QVariant {
        if (var.sqlscale == 0)
            return raw;
        double x = double(raw);
        for (int s = var.sqlscale; s < 0; ++s)
            x /= 10.0;
        return x;
    };
    switch (type) {
    case SQL_TEXT: {
        QByteArray bytes(data, var.sqllen);
        if ((var.sqlsubtype & 0xFF) == kCharsetOctets)
            return bytes;
        // CHAR columns come padded with blanks that are no part of the value.
        qsizetype len = bytes.size();
        while (len > 0 && bytes[len - 1] == ' ')
            --len;
        return QString::fromUtf8(bytes.constData(), len);
    }
    case SQL_VARYING: {
        unsigned short len = 0;
        std::memcpy(&len, data, 2);
        if ((var.sqlsubtype & 0xFF) == kCharsetOctets)
            return QByteArray(data + 2, len);
        return QString::fromUtf8(data + 2, len);
    }
    case SQL_SHORT: {
        short x;
        std::memcpy(&x, data, sizeof x);
        return var.sqlscale == 0 ? QVariant(int(x)) : scaled(x);
    }
    case SQL_LONG: {
        ISC_LONG x;
        std::memcpy(&x, data, sizeof x);
        return var.sqlscale == 0 ? QVariant(int(x)) : scaled(x);
    }
    case SQL_INT64: {
        ISC_INT64 x;
        std::memcpy(&x, data, sizeof x);
        return var.sqlscale == 0 ? QVariant(qlonglong(x)) : scaled(x);
    }
    case SQL_FLOAT: {
        float x;
        std::memcpy(&x, data, sizeof x);
        return double(x);
    }
    case SQL_DOUBLE:
    case SQL_D_FLOAT: {
        double x;
        std::memcpy(&x, data, sizeof x);
        return x;
    }
    case SQL_TIMESTAMP: {
        ISC_TIMESTAMP x;
        std::memcpy(&x, data, sizeof x);
        return QDateTime(decodeDate(x.timestamp_date), decodeTime(x.timestamp_time));
    }
    case SQL_TYPE_DATE: {
        ISC_DATE x;
        std::memcpy(&x, data, sizeof x);
        return decodeDate(x);
    }
    case SQL_TYPE_TIME: {
        ISC_TIME x;
        std::memcpy(&x, data, sizeof x);
        return decodeTime(x);
    }
    case SQL_BLOB: {
        ISC_QUAD id;
        std::memcpy(&id, data, sizeof id);
        return readBlob(id, var.sqlsubtype == 1);
    }
    case SQL_BOOLEAN:
        return bool(data[0]);
    default:
        return {};
    }
}

int Statement::rowsAffected() const
{
    static const char item[] = {isc_info_sql_records};
    char info[64] = {};
    ISC_STATUS_ARRAY status;
    auto handle = m_handle;
    FbClient::api().isc_dsql_sql_info(status, &handle, sizeof item, item, sizeof info, info);
    DbError::check(status);
    if (info[0] != isc_info_sql_records)
        return 0;
    int total = 0;
    const char *p = info + 3;
    while (*p != isc_info_end && p < info + sizeof info - 7) {
        const char code = *p++;
        const int len = int(quint8(p[0])) | (int(quint8(p[1])) << 8);
        p += 2;
        int count = 0;
        for (int i = 0; i < len && i < 4; ++i)
            count |= int(quint8(p[i])) << (8 * i);
        p += len;
        if (code == isc_info_req_insert_count || code == isc_info_req_update_count
            || code == isc_info_req_delete_count)
            total += count;
    }
    return total;
}

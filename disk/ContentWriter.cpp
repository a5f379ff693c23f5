#include "disk/ContentWriter.h"

#include "store/DbError.h"
#include "store/Statement.h"
#include "store/StoredProc.h"

#include <QScopeGuard>

#include <limits>

namespace {
// The columns each kind of change sets; the key comes last where it picks the row.
const QStringList kInsertColumns {QStringLiteral("FCONTENT"),      QStringLiteral("FCONTENTID"),
                                  QStringLiteral("FDATE"),         QStringLiteral("FDISKID"),
                                  QStringLiteral("FOWNCONTENTID"), QStringLiteral("FSIZE"),
                                  QStringLiteral("FTYPE")};
const QStringList kUpdateColumns {QStringLiteral("FOWNCONTENTID"), QStringLiteral("FTYPE"),
                                  QStringLiteral("FSIZE"), QStringLiteral("FDATE"),
                                  QStringLiteral("FCONTENTID")};
const QStringList kRemoveColumns {QStringLiteral("FCONTENTID")};

// A column without a character set of its own takes the catalogue's default.
const QString kColumn = QStringLiteral(
    "select f.RDB$CHARACTER_LENGTH, coalesce(cs.RDB$CHARACTER_SET_NAME, d.RDB$CHARACTER_SET_NAME) "
    "from RDB$RELATION_FIELDS rf join RDB$FIELDS f on f.RDB$FIELD_NAME = rf.RDB$FIELD_SOURCE "
    "cross join RDB$DATABASE d "
    "left join RDB$CHARACTER_SETS cs on cs.RDB$CHARACTER_SET_ID = f.RDB$CHARACTER_SET_ID "
    "where rf.RDB$RELATION_NAME = 'TCONTENT' and rf.RDB$FIELD_NAME = 'FCONTENT'");

// The characters of bytes 0x80 to 0xBF of WIN1251 (0x98 is none); 0xC0 to 0xFF are
// U+0410 to U+044F.
constexpr char16_t kWin1251High[]
    = {0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
       0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
       0x2013, 0x2014, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E,
       0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC,
       0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
       0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

bool inWin1251(char32_t c)
{
    if (c < 0x80 || (c >= 0x0410 && c <= 0x044F))
        return true;
    for (const char16_t high : kWin1251High) {
        if (c == high)
            return true;
    }
    return false;
}
} // namespace

ContentWriter::ContentWriter(Connection &connection, StoredProc &nextId, const QString &name,
                             QObject *parent)
    : QObject(parent), m_connection(connection), m_nextId(nextId)
{
    setObjectName(name);
    m_connection.addClient(this);
}

ContentWriter::~ContentWriter()
{
    release();
    m_connection.removeClient(this);
}

QString ContentWriter::changeSql(Change change, int rows) const
{
    return changeSql(change, rows, QStringLiteral("TCONTENT"), QString());
}

QString ContentWriter::changeSql(Change change, int rows, const QString &table,
                                 const QString &nameType)
{
    const QStringList &columns = change == Change::Insert ? kInsertColumns
        : change == Change::Update                        ? kUpdateColumns
                                                          : kRemoveColumns;
    // One statement with its parameters named column + suffix.
    auto statement = [&](const QString &suffix) {
        QStringList params;
        for (const QString &column : columns)
            params << QLatin1Char(':') + column + suffix;
        switch (change) {
        case Change::Insert:
            return QStringLiteral("insert into %1 (%2) values (%3)")
                .arg(table, columns.join(QStringLiteral(", ")), params.join(QStringLiteral(", ")));
        case Change::Update: {
            QStringList sets;
            for (qsizetype c = 0; c + 1 < columns.size(); ++c)
                sets << columns[c] + QStringLiteral(" = ") + params[c];
            return QStringLiteral("update %1 set %2 where FCONTENTID = %3")
                .arg(table, sets.join(QStringLiteral(", ")), params.constLast());
        }
        case Change::Remove:
            break;
        }
        return QStringLiteral("delete from %1 where FCONTENTID = %2")
            .arg(table, params.constLast());
    };
    if (rows <= 1)
        return statement(QString());
    QStringList params;
    QStringList statements;
    for (int r = 0; r < rows; ++r) {
        const QString suffix = QString::number(r);
        for (const QString &column : columns) {
            const QString name = column + suffix;
            params
                << (!nameType.isEmpty() && column == QLatin1String("FCONTENT")
                        ? QStringLiteral("%1 %2 = :%1").arg(name, nameType)
                        : QStringLiteral("%1 type of column TCONTENT.%2 = :%1").arg(name, column));
        }
        statements << statement(suffix) + QLatin1Char(';');
    }
    return QStringLiteral("execute block (%1) as begin %2 end")
        .arg(params.join(QStringLiteral(", ")), statements.join(QLatin1Char(' ')));
}

void ContentWriter::prepare(Batch &batch)
{
    auto slotsOf = [](const Statement &statement, const QString &suffix) {
        Slots at;
        at.content = statement.paramIndex(QStringLiteral("FCONTENT") + suffix);
        at.key = statement.paramIndex(QStringLiteral("FCONTENTID") + suffix);
        at.date = statement.paramIndex(QStringLiteral("FDATE") + suffix);
        at.disk = statement.paramIndex(QStringLiteral("FDISKID") + suffix);
        at.owner = statement.paramIndex(QStringLiteral("FOWNCONTENTID") + suffix);
        at.size = statement.paramIndex(QStringLiteral("FSIZE") + suffix);
        at.type = statement.paramIndex(QStringLiteral("FTYPE") + suffix);
        return at;
    };
    auto single = std::make_unique<Statement>(m_connection);
    single->prepare(changeSql(batch.change, 1));
    batch.row = slotsOf(*single, QString());
    batch.blockRows.clear();
    batch.block.reset();
    if (m_tuning.rowsPerCall > 1) {
        auto block = std::make_unique<Statement>(m_connection);
        block->prepare(changeSql(batch.change, m_tuning.rowsPerCall));
        for (int r = 0; r < m_tuning.rowsPerCall; ++r)
            batch.blockRows.push_back(slotsOf(*block, QString::number(r)));
        batch.block = std::move(block);
    }
    batch.single = std::move(single);
    batch.pending.clear();
    batch.pending.reserve(size_t(qMax(1, m_tuning.rowsPerCall)));
}

void ContentWriter::open(int diskId)
{
    if (isOpen())
        return;
    m_connection.ensureConnected();
    Transaction &tr = m_connection.transaction();
    if (!tr.isActive())
        tr.start();
    // The inserts last: they tell that the writer is open.
    prepare(m_updates);
    prepare(m_removals);
    prepare(m_inserts);
    m_diskId = diskId;
    // Each read draws its own keys: they then ascend from the read's first entry on.
    m_draw.reset();
    m_drawSize = 0;
    m_keyNext = 0;
    m_keyLast = -1;
}

void ContentWriter::release()
{
    for (Batch *batch : {&m_inserts, &m_updates, &m_removals}) {
        batch->pending.clear();
        batch->single.reset();
        batch->block.reset();
    }
    m_adopt.reset();
    m_draw.reset();
}

void ContentWriter::close()
{
    if (!isOpen())
        return;
    release();
    m_connection.transaction().checkAutoStop();
}

qsizetype ContentWriter::pending() const
{
    return qsizetype(m_inserts.pending.size() + m_updates.pending.size()
                     + m_removals.pending.size());
}

int ContentWriter::nextKey()
{
    if (m_tuning.maxKeysPerDraw <= 1) {
        m_nextId.execute();
        return m_nextId.paramAsInteger(QStringLiteral("ID"));
    }
    if (m_keyNext > m_keyLast) {
        // A range is taken from the generator in one step; what a stopped read leaves of it
        // is a gap, as a cancelled row leaves one.
        const int size = m_drawSize == 0 ? qMin(16, m_tuning.maxKeysPerDraw)
                                         : qMin(m_drawSize * 2, m_tuning.maxKeysPerDraw);
        if (size != m_drawSize || !m_draw) {
            auto draw = std::make_unique<Statement>(m_connection);
            draw->prepare(
                QStringLiteral("SELECT GEN_ID(\"SQ_MAIN\", %1) FROM RDB$DATABASE").arg(size));
            m_draw = std::move(draw);
            m_drawSize = size;
        }
        m_draw->execute();
        if (!m_draw->fetch())
            throw DbError(QStringLiteral("The generator returned no value"));
        const qint64 last = m_draw->value(0).toLongLong();
        m_draw->closeCursor();
        if (last > std::numeric_limits<int>::max())
            throw DbError(QStringLiteral("The generator SQ_MAIN has run out of keys"));
        m_keyLast = int(last);
        m_keyNext = int(last - size + 1);
    }
    return m_keyNext++;
}

int ContentWriter::append(int owner, EntryType type, const QString &name, qint64 size,
                          const QDateTime &date)
{
    throwIfClosed();
    Row row;
    row.text = storable(name, &row.replaced);
    row.date = date;
    row.owner = owner;
    row.size = size;
    row.type = int(type);
    row.key = nextKey();
    const int key = row.key;
    take(m_inserts, std::move(row));
    return key;
}

void ContentWriter::update(int key, int owner, EntryType type, qint64 size, const QDateTime &date)
{
    Row row;
    row.key = key;
    row.date = date;
    row.owner = owner;
    row.size = size;
    row.type = int(type);
    take(m_updates, std::move(row));
}

void ContentWriter::remove(int key)
{
    Row row;
    row.key = key;
    take(m_removals, std::move(row));
}

void ContentWriter::adopt(int from, int to)
{
    throwIfClosed();
    if (!m_adopt) {
        auto adopt = std::make_unique<Statement>(m_connection);
        adopt->prepare(QStringLiteral("update TCONTENT set FOWNCONTENTID = :TOKEY where FDISKID "
                                      "= :FDISKID and FOWNCONTENTID = :FROMKEY"));
        m_adopt = std::move(adopt);
    }
    m_adopt->setParam(QStringLiteral("TOKEY"), to);
    m_adopt->setParam(QStringLiteral("FDISKID"), m_diskId);
    m_adopt->setParam(QStringLiteral("FROMKEY"), from);
    m_adopt->execute();
    m_connection.transaction().workDone();
}

void ContentWriter::throwIfClosed() const
{
    if (!isOpen())
        throw DbError(objectName()
                      + QStringLiteral(": Cannot perform this operation on a "
                                       "closed dataset"));
}

void ContentWriter::take(Batch &batch, Row &&row)
{
    throwIfClosed();
    batch.pending.push_back(std::move(row));
    if (batch.pending.size() >= size_t(qMax(1, m_tuning.rowsPerCall)))
        flush(batch);
}

void ContentWriter::bind(Statement &statement, const Slots &at, const Row &row)
{
    // A kind of change sets only some of the columns.
    if (at.content >= 0)
        statement.setParam(at.content, row.text);
    statement.setParam(at.key, row.key);
    if (at.date >= 0)
        statement.setParam(at.date, row.date.isValid() ? QVariant(row.date) : QVariant());
    if (at.disk >= 0)
        statement.setParam(at.disk, m_diskId);
    if (at.owner >= 0)
        statement.setParam(at.owner, row.owner != 0 ? QVariant(row.owner) : QVariant());
    // The column is a double: exact for every size a file system can hold.
    if (at.size >= 0)
        statement.setParam(at.size, double(row.size));
    if (at.type >= 0)
        statement.setParam(at.type, row.type);
}

void ContentWriter::writeRows(Batch &batch, size_t from, size_t count)
{
    if (count > 1) {
        for (size_t r = 0; r < count; ++r)
            bind(*batch.block, batch.blockRows[r], batch.pending[from + r]);
        batch.block->execute();
    } else {
        bind(*batch.single, batch.row, batch.pending[from]);
        batch.single->execute();
    }
    for (size_t r = from; r < from + count; ++r) {
        if (batch.pending[r].replaced)
            ++m_replacedNames;
    }
    m_connection.transaction().workDone();
}

void ContentWriter::flush(Batch &batch)
{
    if (!isOpen() || batch.pending.empty())
        return;
    const auto done = qScopeGuard([&batch] { batch.pending.clear(); });
    const size_t rows = batch.pending.size();
    const size_t block = batch.block ? size_t(m_tuning.rowsPerCall) : 1;
    size_t at = 0;
    while (block > 1 && rows - at >= block) {
        try {
            writeRows(batch, at, block);
        } catch (const DbError &) {
            // A refused block stores nothing: its rows go one by one, so that those before
            // the refused one are stored and its own error is the one thrown.
            for (size_t r = at; r < at + block; ++r)
                writeRows(batch, r, 1);
        }
        at += block;
    }
    for (; at < rows; ++at)
        writeRows(batch, at, 1);
}

void ContentWriter::flush()
{
    flush(m_inserts);
    flush(m_updates);
    flush(m_removals);
}

void ContentWriter::describeColumn()
{
    m_columnLength = 0;
    m_win1251 = false;
    m_replacedNames = 0;
    m_connection.ensureConnected();
    Transaction &tr = m_connection.transaction();
    if (!tr.isActive())
        tr.start();
    {
        Statement column(m_connection);
        column.prepare(kColumn);
        column.execute();
        if (column.fetch()) {
            m_columnLength = column.value(0).toInt();
            m_win1251 = column.value(1).toString().trimmed() == QLatin1String("WIN1251");
            column.closeCursor();
        }
    }
    tr.checkAutoStop();
}

QString ContentWriter::storable(const QString &name, bool *replaced) const
{
    if (replaced)
        *replaced = false;
    if (!m_win1251)
        return name;
    const QList<uint> codes = name.toUcs4();
    QString text;
    text.reserve(name.size());
    bool changed = false;
    for (const uint code : codes) {
        if (inWin1251(char32_t(code))) {
            text += QChar(char16_t(code)); // all of WIN1251 lies in one UTF-16 unit
        } else {
            text += QLatin1Char('?');
            changed = true;
        }
    }
    if (replaced)
        *replaced = changed;
    return changed ? text : name;
}

void ContentWriter::connectionClosing()
{
    release();
}

#include "disk/ContentWriter.h"

#include "store/DbError.h"
#include "store/Statement.h"
#include "store/StoredProc.h"

#include <QScopeGuard>

#include <limits>

namespace {
const QString kInsert = QStringLiteral(
    "insert into TCONTENT (FCONTENT, FCONTENTID, FDATE, FDISKID, FOWNCONTENTID, FSIZE, FTYPE) "
    "values (:FCONTENT, :FCONTENTID, :FDATE, :FDISKID, :FOWNCONTENTID, :FSIZE, :FTYPE)");

const char *const kColumns[]
    = {"FCONTENT", "FCONTENTID", "FDATE", "FDISKID", "FOWNCONTENTID", "FSIZE", "FTYPE"};

// The insert above for rows rows in one call: one block whose parameters have the columns'
// own types, so that each value is converted exactly as the single insert converts it.
QString blockInsert(int rows)
{
    QStringList params;
    QStringList inserts;
    for (int r = 0; r < rows; ++r) {
        QStringList values;
        for (const char *column : kColumns) {
            const QString name = QStringLiteral("%1%2").arg(QLatin1String(column)).arg(r);
            params << QStringLiteral("%1 type of column TCONTENT.%2 = :%1")
                          .arg(name, QLatin1String(column));
            values << QLatin1Char(':') + name;
        }
        inserts << QStringLiteral("insert into TCONTENT (FCONTENT, FCONTENTID, FDATE, FDISKID, "
                                  "FOWNCONTENTID, FSIZE, FTYPE) values (%1);")
                       .arg(values.join(QStringLiteral(", ")));
    }
    return QStringLiteral("execute block (%1) as begin %2 end")
        .arg(params.join(QStringLiteral(", ")), inserts.join(QLatin1Char(' ')));
}

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
    m_insert.reset();
    m_connection.removeClient(this);
}

void ContentWriter::open(int diskId)
{
    if (isOpen())
        return;
    m_connection.ensureConnected();
    Transaction &tr = m_connection.transaction();
    if (!tr.isActive())
        tr.start();
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
    auto insert = std::make_unique<Statement>(m_connection);
    insert->prepare(kInsert);
    m_row = slotsOf(*insert, QString());
    m_blockRows.clear();
    m_block.reset();
    if (m_tuning.rowsPerCall > 1) {
        auto block = std::make_unique<Statement>(m_connection);
        block->prepare(blockInsert(m_tuning.rowsPerCall));
        for (int r = 0; r < m_tuning.rowsPerCall; ++r)
            m_blockRows.push_back(slotsOf(*block, QString::number(r)));
        m_block = std::move(block);
    }
    m_insert = std::move(insert);
    m_diskId = diskId;
    m_pending.clear();
    m_pending.reserve(size_t(qMax(1, m_tuning.rowsPerCall)));
    // Each read draws its own keys: they then ascend from the read's first entry on.
    m_draw.reset();
    m_drawSize = 0;
    m_keyNext = 0;
    m_keyLast = -1;
}

void ContentWriter::close()
{
    if (!isOpen())
        return;
    m_pending.clear();
    m_insert.reset();
    m_block.reset();
    m_draw.reset();
    m_connection.transaction().checkAutoStop();
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
    if (!isOpen())
        throw DbError(objectName()
                      + QStringLiteral(": Cannot perform this operation on a "
                                       "closed dataset"));
    Row row;
    row.text = storable(name, &row.replaced);
    row.key = nextKey();
    row.date = date;
    row.owner = owner;
    row.size = size;
    row.type = int(type);
    const int key = row.key;
    m_pending.push_back(std::move(row));
    if (m_pending.size() >= size_t(qMax(1, m_tuning.rowsPerCall)))
        flush();
    return key;
}

void ContentWriter::bind(Statement &statement, const Slots &at, const Row &row)
{
    statement.setParam(at.content, row.text);
    statement.setParam(at.key, row.key);
    statement.setParam(at.date, row.date.isValid() ? QVariant(row.date) : QVariant());
    statement.setParam(at.disk, m_diskId);
    statement.setParam(at.owner, row.owner != 0 ? QVariant(row.owner) : QVariant());
    // The column is a double: exact for every size a file system can hold.
    statement.setParam(at.size, double(row.size));
    statement.setParam(at.type, row.type);
}

void ContentWriter::writeRows(size_t from, size_t count)
{
    if (count > 1) {
        for (size_t r = 0; r < count; ++r)
            bind(*m_block, m_blockRows[r], m_pending[from + r]);
        m_block->execute();
    } else {
        bind(*m_insert, m_row, m_pending[from]);
        m_insert->execute();
    }
    for (size_t r = from; r < from + count; ++r) {
        if (m_pending[r].replaced)
            ++m_replacedNames;
    }
    m_connection.transaction().workDone();
}

void ContentWriter::flush()
{
    if (!isOpen() || m_pending.empty())
        return;
    const auto done = qScopeGuard([this] { m_pending.clear(); });
    const size_t rows = m_pending.size();
    const size_t block = m_block ? size_t(m_tuning.rowsPerCall) : 1;
    size_t at = 0;
    while (block > 1 && rows - at >= block) {
        try {
            writeRows(at, block);
        } catch (const DbError &) {
            // A refused block stores nothing: its rows go one by one, so that those before
            // the refused one are stored and its own error is the one thrown.
            for (size_t r = at; r < at + block; ++r)
                writeRows(r, 1);
        }
        at += block;
    }
    for (; at < rows; ++at)
        writeRows(at, 1);
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
    m_pending.clear();
    m_insert.reset();
    m_block.reset();
    m_draw.reset();
}

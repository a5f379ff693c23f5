#include "disk/ContentWriter.h"

#include "store/DbError.h"
#include "store/Statement.h"
#include "store/StoredProc.h"

namespace {
const QString kInsert = QStringLiteral(
    "insert into TCONTENT (FCONTENT, FCONTENTID, FDATE, FDISKID, FOWNCONTENTID, FSIZE, FTYPE) "
    "values (:FCONTENT, :FCONTENTID, :FDATE, :FDISKID, :FOWNCONTENTID, :FSIZE, :FTYPE)");

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
    auto insert = std::make_unique<Statement>(m_connection);
    insert->prepare(kInsert);
    m_content = insert->paramIndex(QStringLiteral("FCONTENT"));
    m_key = insert->paramIndex(QStringLiteral("FCONTENTID"));
    m_date = insert->paramIndex(QStringLiteral("FDATE"));
    m_disk = insert->paramIndex(QStringLiteral("FDISKID"));
    m_owner = insert->paramIndex(QStringLiteral("FOWNCONTENTID"));
    m_size = insert->paramIndex(QStringLiteral("FSIZE"));
    m_type = insert->paramIndex(QStringLiteral("FTYPE"));
    m_insert = std::move(insert);
    m_diskId = diskId;
}

void ContentWriter::close()
{
    if (!isOpen())
        return;
    m_insert.reset();
    m_connection.transaction().checkAutoStop();
}

int ContentWriter::append(int owner, EntryType type, const QString &name, qint64 size,
                          const QDateTime &date)
{
    if (!isOpen())
        throw DbError(objectName()
                      + QStringLiteral(": Cannot perform this operation on a "
                                       "closed dataset"));
    bool replaced = false;
    const QString text = storable(name, &replaced);
    m_nextId.execute();
    const int key = m_nextId.paramAsInteger(QStringLiteral("ID"));
    m_insert->setParam(m_content, text);
    m_insert->setParam(m_key, key);
    m_insert->setParam(m_date, date.isValid() ? QVariant(date) : QVariant());
    m_insert->setParam(m_disk, m_diskId);
    m_insert->setParam(m_owner, owner != 0 ? QVariant(owner) : QVariant());
    // The column is a double: exact for every size a file system can hold.
    m_insert->setParam(m_size, double(size));
    m_insert->setParam(m_type, int(type));
    m_insert->execute();
    m_connection.transaction().workDone();
    if (replaced)
        ++m_replacedNames;
    return key;
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
    m_insert.reset();
}

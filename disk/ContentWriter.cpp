#include "disk/ContentWriter.h"

#include "store/DbError.h"
#include "store/Statement.h"
#include "store/StoredProc.h"

namespace {
const QString kInsert = QStringLiteral(
    "insert into TCONTENT (FCONTENT, FCONTENTID, FDATE, FDISKID, FOWNCONTENTID, FSIZE, FTYPE) "
    "values (:FCONTENT, :FCONTENTID, :FDATE, :FDISKID, :FOWNCONTENTID, :FSIZE, :FTYPE)");
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
    m_nextId.execute();
    const int key = m_nextId.paramAsInteger(QStringLiteral("ID"));
    m_insert->setParam(m_content, name);
    m_insert->setParam(m_key, key);
    m_insert->setParam(m_date, date.isValid() ? QVariant(date) : QVariant());
    m_insert->setParam(m_disk, m_diskId);
    m_insert->setParam(m_owner, owner != 0 ? QVariant(owner) : QVariant());
    // The column is a double: exact for every size a file system can hold.
    m_insert->setParam(m_size, double(size));
    m_insert->setParam(m_type, int(type));
    m_insert->execute();
    m_connection.transaction().workDone();
    return key;
}

void ContentWriter::connectionClosing()
{
    m_insert.reset();
}

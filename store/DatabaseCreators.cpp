#include "store/DatabaseCreators.h"

#include "store/Connection.h"
#include "store/DbError.h"
#include "store/FbApi.h"

namespace {

// The scratch attachment: dropped when done, detached when something failed on the way.
class ScratchDatabase
{
public:
    ScratchDatabase(const QString &path, const QString &adminName, const QString &adminPassword)
    {
        const QByteArray dpb = Connection::buildDpb({QStringLiteral("USER_NAME=") + adminName,
                                                     QStringLiteral("PASSWORD=") + adminPassword});
        const QByteArray name = path.toUtf8();
        ISC_STATUS_ARRAY status;
        FbClient::api().isc_create_database(status, 0, name.constData(), &m_handle,
                                            short(dpb.size()), dpb.constData(), SQL_DIALECT_V6);
        DbError::check(status);
    }
    ~ScratchDatabase()
    {
        if (!m_handle)
            return;
        ISC_STATUS_ARRAY status;
        FbClient::api().isc_drop_database(status, &m_handle);
        if (m_handle)
            FbClient::api().isc_detach_database(status, &m_handle);
    }
    ScratchDatabase(const ScratchDatabase &) = delete;
    ScratchDatabase &operator=(const ScratchDatabase &) = delete;

    void drop()
    {
        ISC_STATUS_ARRAY status;
        FbClient::api().isc_drop_database(status, &m_handle);
        DbError::check(status);
        m_handle = 0;
    }
    isc_db_handle *handle() { return &m_handle; }

private:
    isc_db_handle m_handle = 0;
};

QString quotedIdentifier(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

void DatabaseCreators::grant(const QString &scratchPath, const QString &adminName,
                             const QString &adminPassword, const QString &userName)
{
    const FbApi &fb = FbClient::api();
    ScratchDatabase scratch(scratchPath, adminName, adminPassword);
    ISC_STATUS_ARRAY status;
    isc_tr_handle transaction = 0;
    fb.isc_start_transaction(status, &transaction, 1, scratch.handle(), 0, nullptr);
    DbError::check(status);
    // The server keeps account names in upper case; the name cannot be a parameter here.
    const QByteArray sql
        = (QStringLiteral("GRANT CREATE DATABASE TO USER ") + quotedIdentifier(userName.toUpper()))
              .toUtf8();
    fb.isc_dsql_execute_immediate(status, scratch.handle(), &transaction, 0, sql.constData(),
                                  SQL_DIALECT_V6, nullptr);
    if (status[0] == 1 && status[1] != 0) {
        const DbError error = DbError::fromStatus(status);
        ISC_STATUS_ARRAY ignored;
        fb.isc_rollback_transaction(ignored, &transaction);
        throw error;
    }
    fb.isc_commit_transaction(status, &transaction);
    DbError::check(status);
    scratch.drop();
}

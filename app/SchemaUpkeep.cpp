#include "app/SchemaUpkeep.h"

#include "app/AppLog.h"
#include "store/Connection.h"
#include "store/DbError.h"
#include "store/Statement.h"
#include "store/Transaction.h"

#include <QScopeGuard>

namespace {

// The index the disk list is read in: a folder's disks by number, then name.
const QLatin1String diskOrderIndex("IX_TDISK_FOLDER_ORDER");

} // namespace

void SchemaUpkeep::addMissing(Connection &connection)
{
    try {
        Transaction &running = connection.transaction();
        if (!running.isActive())
            running.start();
        {
            const auto settle = qScopeGuard([&running] { running.checkAutoStop(); });
            Statement look(connection);
            look.prepare(QStringLiteral("select count(*) from RDB$INDICES where "
                                        "RDB$INDEX_NAME = '%1'")
                             .arg(diskOrderIndex));
            look.execute();
            if (look.fetch() && look.value(0).toInt() > 0)
                return;
        }
        Connection own;
        own.setDatabaseName(connection.databaseName());
        own.setParams(connection.params());
        own.open();
        own.transaction().start();
        {
            Statement create(own);
            create.prepare(QStringLiteral("create index %1 on TDISK (FFOLDERID, FNN, FNAME)")
                               .arg(diskOrderIndex));
            create.execute();
        }
        own.transaction().commit();
        own.close();
    } catch (const DbError &e) {
        qCInfo(lcApp) << "catalogue kept as it is:" << e.text();
    }
}

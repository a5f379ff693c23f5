#include "cli/FolderPath.h"

#include "store/Connection.h"
#include "store/Statement.h"
#include "store/Transaction.h"

#include <QScopeGuard>

QStringList FolderPath::parts(const QString &path)
{
    QStringList names;
    for (const QString &part : path.split(QLatin1Char('/'))) {
        const QString name = part.trimmed();
        if (!name.isEmpty())
            names << name;
    }
    return names;
}

int FolderPath::resolve(Connection &connection, const QString &path)
{
    const QStringList names = parts(path);
    if (names.isEmpty())
        return 0;
    Transaction &running = connection.transaction();
    if (!running.isActive())
        running.start();
    const auto settle = qScopeGuard([&running] { running.checkAutoStop(); });
    Statement children(connection);
    children.prepare(QStringLiteral("select FFOLDERID, FFOLDER from TFOLDER where "
                                    "coalesce(FOWNFOLDERID, 0) = :PARENT order by FFOLDERID"));
    auto childrenOf = [&](int parent) {
        QList<std::pair<int, QString>> found;
        children.setParam(QStringLiteral("PARENT"), parent);
        children.execute();
        while (children.fetch())
            found.append({children.value(0).toInt(), children.value(1).toString()});
        return found;
    };
    auto walk = [&](int from, const QStringList &below) {
        int id = from;
        for (const QString &name : below) {
            int next = 0;
            for (const auto &[key, folder] : childrenOf(id)) {
                if (folder.trimmed() == name) {
                    next = key;
                    break;
                }
            }
            if (next == 0)
                return 0;
            id = next;
        }
        return id;
    };
    if (const int id = walk(0, names))
        return id;
    // A path below the one top folder, as a user with one catalogue tree thinks of it.
    const auto tops = childrenOf(0);
    if (tops.size() == 1)
        return walk(tops.constFirst().first, names);
    return 0;
}

#pragma once

#include <QString>

// Firebird 3 lets an ordinary account create a database (a restore creates one) only with the
// right to create databases, which the server keeps in its security database. That database
// is closed to the network, but a grant made by the administrator in any database on the
// server reaches it.
class DatabaseCreators
{
public:
    // Grants userName the right, as the administrator, in a scratch database at scratchPath
    // ("host:/folder/file") that is created for the statement and dropped again.
    static void grant(const QString &scratchPath, const QString &adminName,
                      const QString &adminPassword, const QString &userName);
};

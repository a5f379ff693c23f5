#pragma once

#include <QStringList>

class Connection;

// What newer templates carry and older catalogues lack, added when the catalogue is opened by
// someone allowed to: today the index the disk list walks in its order. Without the rights the
// program works on as before, only slower.
class SchemaUpkeep
{
public:
    // Looks through the open connection; adds what is missing through an attachment of its
    // own, committed apart from the user's work. Never throws.
    static void addMissing(Connection &connection);
};

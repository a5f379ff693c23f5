#pragma once

#include <QString>

class DbError;

// Why a catalogue did not open, told as a user can act on it: a Russian sentence saying what
// to do, and the engine's own text kept for the box's details.
struct ConnectFailure
{
    QString text;
    QString details;

    static ConnectFailure explain(const QString &databasePath, const DbError &error);
};

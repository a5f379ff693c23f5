#pragma once

#include "platform/ExclusiveFileLock.h"

#include <QString>

class DbError;

// Keeps a local catalogue to this program while it works on it: one engine per file, even
// where another account's engine keeps its locks in another folder. Says in Russian why a
// local catalogue does not open when another account owns it or another program holds it.
class LocalCatalogueGuard
{
public:
    // Locks path; throws DbError with the reason when another process holds it.
    void take(const QString &path);
    void release() { m_lock.unlock(); }

    // The engine's error on opening a local catalogue, told in Russian: the user's sentence,
    // then the engine's own text. Errors with no better sentence come back as they were.
    static DbError explained(const QString &path, const DbError &engineError);
    // The sentence for a catalogue another account owns, or another program holds; empty when
    // neither applies.
    static QString reason(const QString &path, bool heldElsewhere);

private:
    ExclusiveFileLock m_lock;
};

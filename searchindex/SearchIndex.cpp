#include "searchindex/SearchIndex.h"

#include "searchindex/IndexLog.h"

#include "store/Connection.h"
#include "store/DbError.h"

#include <chrono>
#include <sys/resource.h>

#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>

bool SearchIndex::crowded(const ContentIndex &index)
{
    return index.segmentCount()
        > MaxSegments + int(index.entryCount() / qint64(ContentIndex::EntriesPerFile));
}

SearchIndex::SearchIndex(QObject *parent) : QObject(parent) { }

SearchIndex::~SearchIndex()
{
    stopBackground();
}

QString SearchIndex::folderFor(const QString &databaseName)
{
    const QByteArray id
        = QCryptographicHash::hash(databaseName.toUtf8(), QCryptographicHash::Sha1).toHex();
    return QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
        .filePath(QStringLiteral("searchindex/") + QString::fromLatin1(id));
}

void SearchIndex::setCatalogue(const QString &databaseName, const QStringList &params)
{
    if (databaseName == m_databaseName && params == m_params && m_index)
        return;
    stopBackground();
    m_diskOrder.forget();
    m_diskOrder.setFolder(folderFor(databaseName));
    m_databaseName = databaseName;
    m_params = params;
    m_index = std::make_shared<ContentIndex>(folderFor(databaseName));
    m_index->load();
}

std::shared_ptr<const ContentIndex> SearchIndex::prepare(Connection &connection)
{
    if (!m_enabled || !m_index || connection.databaseName() != m_databaseName)
        return nullptr;
    if (isBuilding())
        return nullptr;
    ContentIndex::Update result = ContentIndex::Update::Foreign;
    try {
        result = m_index->update(connection, MaxSearchFetch);
    } catch (const DbError &e) {
        // The server's own search will say what is wrong.
        qCInfo(lcSearchIndex, "index not brought up to date: %s", qPrintable(e.text()));
        return nullptr;
    }
    switch (result) {
    case ContentIndex::Update::Current:
    case ContentIndex::Update::Updated:
        if (crowded(*m_index))
            startBackground();
        return m_index;
    case ContentIndex::Update::TooFar:
    case ContentIndex::Update::Foreign:
        startBackground();
        return nullptr;
    }
    return nullptr;
}

void SearchIndex::refreshInBackground()
{
    if (!m_enabled || m_databaseName.isEmpty())
        return;
    if (isBuilding()) {
        // What was read during this turn may have come after its fetch.
        m_again = true;
        return;
    }
    startBackground();
}

void SearchIndex::startBackground()
{
    if (isBuilding())
        return;
    m_stopping = false;
    m_again = false;
    m_finished = false;
    const int turn = ++m_turn;
    const QString name = m_databaseName;
    const QStringList params = m_params;
    const QString folder = m_index->folder();
    m_thread = std::thread([this, name, params, folder, turn] {
        // The build yields to the program's own work, a read above all (on Linux the nice
        // value is the calling thread's own).
        setpriority(PRIO_PROCESS, 0, 10);
        bool ok = false;
        try {
            Connection connection;
            connection.setDatabaseName(name);
            connection.setParams(params);
            {
                std::lock_guard lock(m_mutex);
                if (m_stopping) {
                    m_finished = true;
                    return;
                }
                m_worker = &connection;
            }
            const auto forget = [this] {
                std::lock_guard lock(m_mutex);
                m_worker = nullptr;
            };
            try {
                connection.open();
                ContentIndex index(folder);
                bool fresh = !index.load();
                if (!fresh) {
                    const ContentIndex::Update u = index.update(connection, 0);
                    fresh = u == ContentIndex::Update::Foreign || crowded(index);
                }
                if (fresh)
                    index.build(connection);
                ok = index.isBuilt();
                if (ok) {
                    // The disks' order of the next session's first search, read now while
                    // nobody waits for it; the index is good without it.
                    try {
                        if (!connection.transaction().isActive())
                            connection.transaction().start();
                        DiskOrder order;
                        order.setFolder(folder);
                        order.refresh(connection);
                    } catch (const DbError &e) {
                        qCInfo(lcSearchIndex, "disk order not kept: %s", qPrintable(e.text()));
                    }
                }
                connection.close();
            } catch (...) {
                forget();
                throw;
            }
            forget();
        } catch (const DbError &e) {
            // A build that failed leaves no index: searches go to the server.
            qCWarning(lcSearchIndex, "index build failed: %s", qPrintable(e.text()));
            ok = false;
        } catch (...) {
            qCWarning(lcSearchIndex, "index build failed");
            ok = false;
        }
        m_finished = true;
        QMetaObject::invokeMethod(
            this,
            [this, ok, turn] {
                if (turn == m_turn)
                    finishBackground(ok);
            },
            Qt::QueuedConnection);
    });
}

void SearchIndex::finishBackground(bool ok)
{
    if (m_thread.joinable())
        m_thread.join();
    if (m_stopping)
        return;
    // A fresh object: rows still being read from the old one keep it.
    auto index = std::make_shared<ContentIndex>(m_index->folder());
    index->load();
    m_index = index;
    Q_EMIT backgroundDone(ok && m_index->isBuilt());
    if (m_again)
        startBackground();
}

void SearchIndex::stopBackground()
{
    if (!m_thread.joinable())
        return;
    ++m_turn;
    // A cancel between two server calls stops nothing: it is repeated until the thread ends.
    while (!m_finished) {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
            if (m_worker)
                m_worker->cancelOperation();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_thread.join();
}

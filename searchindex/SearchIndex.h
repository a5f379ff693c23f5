#pragma once

#include "searchindex/ContentIndex.h"
#include "searchindex/DiskOrder.h"

#include <QObject>
#include <QStringList>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

class Connection;

// The search index of the connected catalogue, for the windows that search file names: it is
// loaded from the user's cache, brought up to date before a search when that is cheap, and
// built or brought up to date on a thread of its own (with an attachment of its own) after a
// read and whenever a search found it missing or far behind. A search it cannot answer goes
// to the server.
class SearchIndex : public QObject
{
    Q_OBJECT

public:
    explicit SearchIndex(QObject *parent = nullptr);
    ~SearchIndex() override;

    // The catalogue the connection opened (its name and attachment parameters).
    void setCatalogue(const QString &databaseName, const QStringList &params);
    const QString &databaseName() const { return m_databaseName; }
    // Where a catalogue's index lives: the user's cache folder, one folder per catalogue.
    static QString folderFor(const QString &databaseName);

    // Brings the index up to what connection's transaction sees and returns it, or null when
    // it cannot answer now (then a build in the background has been started, unless one runs).
    std::shared_ptr<const ContentIndex> prepare(Connection &connection);

    // The disks in the order the search lists them, kept between searches.
    DiskOrder &diskOrder() { return m_diskOrder; }

    // Starts bringing the index up to date in the background (after a read).
    void refreshInBackground();
    bool isBuilding() const { return m_thread.joinable(); }
    // Whether searches may use the index at all (tests and benchmarks compare both ways).
    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool isEnabled() const { return m_enabled; }

    // Most entries a search fetches before it starts; more are left to the background.
    static constexpr qint64 MaxSearchFetch = 20000;
    // Files of updates after which a build anew is due.
    static constexpr int MaxSegments = 24;
    static bool crowded(const ContentIndex &index);

Q_SIGNALS:
    // A background build or update has ended; ok when the index can be used.
    void backgroundDone(bool ok);

private:
    void startBackground();
    void finishBackground(bool ok);
    void stopBackground();

    QString m_databaseName;
    QStringList m_params;
    std::shared_ptr<ContentIndex> m_index;
    DiskOrder m_diskOrder;
    std::thread m_thread;
    std::mutex m_mutex; // guards m_worker
    Connection *m_worker = nullptr;
    std::atomic<bool> m_stopping {false};
    std::atomic<bool> m_finished {true};
    int m_turn = 0;
    bool m_again = false;
    bool m_enabled = true;
};

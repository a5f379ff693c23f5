#pragma once

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QMap>
#include <QProcess>
#include <QStringList>

// A bus of its own (a private dbus-daemon) with a stand-in for the system's disk service on
// it: drives and file systems as the test gives them, the calls it received, and refusals on
// request. The bus becomes the system bus of the process, so it must start before anything
// in the process opens the system bus.
class FakeUDisks : public QDBusVirtualObject
{
    Q_OBJECT

public:
    FakeUDisks();
    ~FakeUDisks() override;

    // Starts the bus and takes the service's name on it; the error text when that fails.
    QString start();

    // A drive and a file system on it mounted at these points ("sr0", drive "DVD").
    void addDrive(const QString &name, bool ejectable);
    void addFilesystem(const QString &block, const QString &drive, const QStringList &points);
    void clear();
    // Tells listeners that objects were added, as the service does when a disc comes.
    void announce();

    // Calls as "Unmount sr0" and "Eject DVD", in their order.
    QStringList calls;
    // A refusal (an error name's message) for the next calls of this method, by member name.
    QMap<QString, QString> refuse;

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private:
    QProcess m_daemon;
    std::unique_ptr<QDBusConnection> m_bus;
    QMap<QString, bool> m_drives;
    struct Filesystem
    {
        QString drive;
        QStringList points;
    };
    QMap<QString, Filesystem> m_filesystems;
};

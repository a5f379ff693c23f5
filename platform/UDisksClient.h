#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QVariantMap>

// What the system's disk service, UDisks2 on the system bus, says about the drives under the
// mounted volumes, and eject. Nothing blocks: the answers come from the objects the service
// listed last, and eject runs as a chain of calls that ends in `ejected`. Without a system
// bus or the service nothing is listed and nothing can be ejected.
class UDisksClient : public QObject
{
    Q_OBJECT

public:
    // The service's object list: interfaces and their properties per object.
    using Interfaces = QMap<QString, QVariantMap>;
    using ManagedObjects = QMap<QDBusObjectPath, Interfaces>;

    static const QString service;
    static const QString root;

    // bus: the system bus unless a test gives another.
    explicit UDisksClient(QObject *parent = nullptr);
    UDisksClient(const QDBusConnection &bus, QObject *parent = nullptr);
    ~UDisksClient() override;

    // The D-Bus types of the object list, registered once.
    static void registerTypes();

    // Asks the service for its objects again; `listed` follows when they came.
    void refresh();
    bool isListed() const { return m_listed; }

    // Whether the drive under the volume mounted at this point can eject its medium.
    bool canEject(const QString &mountPoint) const;
    // Unmounts every file system of that drive and ejects the medium; `ejected` tells the end.
    void eject(const QString &mountPoint);

Q_SIGNALS:
    void listed();
    // error: empty when the medium went out, else the service's words.
    void ejected(const QString &mountPoint, const QString &error);

private Q_SLOTS:
    void objectsChanged();
    void propertiesChanged(const QString &interface, const QVariantMap &changed,
                           const QStringList &invalidated);

private:
    struct Block
    {
        QString drive;
        QStringList mountPoints;
    };
    struct Drive
    {
        bool ejectable = false;
    };

    void take(const ManagedObjects &objects);
    QString blockAt(const QString &mountPoint) const;
    void unmountNext(const QString &mountPoint, QStringList blocks, const QString &drive);
    void ejectDrive(const QString &mountPoint, const QString &drive);

    QDBusConnection m_bus;
    bool m_listed = false;
    QHash<QString, Block> m_blocks;
    QHash<QString, Drive> m_drives;
};

#include "platform/UDisksClient.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFile>

namespace {

const QString kObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
const QString kBlock = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString kFilesystem = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString kDrive = QStringLiteral("org.freedesktop.UDisks2.Drive");
// Eject and unmount may wait for a disc to spin down or a user to authorise.
constexpr int kCallTimeoutMs = 60 * 1000;

// Mount points come as byte strings ending in a zero byte.
QStringList mountPointsOf(const QVariant &value)
{
    QByteArrayList raw;
    if (value.canConvert<QDBusArgument>())
        raw = qdbus_cast<QByteArrayList>(value.value<QDBusArgument>());
    else
        raw = value.value<QByteArrayList>();
    QStringList points;
    for (QByteArray point : std::as_const(raw)) {
        if (point.endsWith('\0'))
            point.chop(1);
        if (!point.isEmpty())
            points << QDir::cleanPath(QFile::decodeName(point));
    }
    return points;
}

} // namespace

const QString UDisksClient::service = QStringLiteral("org.freedesktop.UDisks2");
const QString UDisksClient::root = QStringLiteral("/org/freedesktop/UDisks2");

UDisksClient::UDisksClient(QObject *parent) : UDisksClient(QDBusConnection::systemBus(), parent) { }

UDisksClient::UDisksClient(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_bus(bus)
{
    registerTypes();
    if (!m_bus.isConnected())
        return;
    // Drives and file systems coming and going, and mounts changing, list the objects again.
    for (const char *signal : {"InterfacesAdded", "InterfacesRemoved"})
        m_bus.connect(service, root, kObjectManager, QString::fromLatin1(signal), this,
                      SLOT(objectsChanged()));
    m_bus.connect(service, QString(), QStringLiteral("org.freedesktop.DBus.Properties"),
                  QStringLiteral("PropertiesChanged"), this,
                  SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
}

UDisksClient::~UDisksClient() = default;

void UDisksClient::registerTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<QByteArrayList>();
        qDBusRegisterMetaType<Interfaces>();
        qDBusRegisterMetaType<ManagedObjects>();
        return true;
    }();
    Q_UNUSED(registered);
}

void UDisksClient::refresh()
{
    if (!m_bus.isConnected())
        return;
    const QDBusMessage call = QDBusMessage::createMethodCall(service, root, kObjectManager,
                                                             QStringLiteral("GetManagedObjects"));
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher *self) {
                self->deleteLater();
                const QDBusPendingReply<ManagedObjects> reply = *self;
                // No service (no UDisks2 on this system): nothing to eject.
                take(reply.isError() ? ManagedObjects() : reply.value());
                m_listed = !reply.isError();
                Q_EMIT listed();
            });
}

void UDisksClient::objectsChanged()
{
    refresh();
}

void UDisksClient::propertiesChanged(const QString &interface, const QVariantMap &,
                                     const QStringList &)
{
    // The service updates other properties (health, activity) all the time.
    if (interface == kFilesystem || interface == kDrive)
        refresh();
}

void UDisksClient::take(const ManagedObjects &objects)
{
    m_blocks.clear();
    m_drives.clear();
    for (auto object = objects.cbegin(); object != objects.cend(); ++object) {
        const Interfaces &interfaces = object.value();
        const QString path = object.key().path();
        if (interfaces.contains(kDrive)) {
            Drive drive;
            drive.ejectable = interfaces.value(kDrive).value(QStringLiteral("Ejectable")).toBool();
            m_drives.insert(path, drive);
        }
        if (interfaces.contains(kBlock)) {
            Block block;
            block.drive = interfaces.value(kBlock)
                              .value(QStringLiteral("Drive"))
                              .value<QDBusObjectPath>()
                              .path();
            if (interfaces.contains(kFilesystem))
                block.mountPoints = mountPointsOf(
                    interfaces.value(kFilesystem).value(QStringLiteral("MountPoints")));
            m_blocks.insert(path, block);
        }
    }
}

QString UDisksClient::blockAt(const QString &mountPoint) const
{
    const QString point = QDir::cleanPath(mountPoint);
    for (auto block = m_blocks.cbegin(); block != m_blocks.cend(); ++block)
        if (block->mountPoints.contains(point))
            return block.key();
    return {};
}

bool UDisksClient::canEject(const QString &mountPoint) const
{
    const QString block = blockAt(mountPoint);
    if (block.isEmpty())
        return false;
    const auto drive = m_drives.constFind(m_blocks.value(block).drive);
    return drive != m_drives.cend() && drive->ejectable;
}

void UDisksClient::eject(const QString &mountPoint)
{
    if (!canEject(mountPoint)) {
        Q_EMIT ejected(mountPoint, QStringLiteral("the drive cannot eject"));
        return;
    }
    const QString drive = m_blocks.value(blockAt(mountPoint)).drive;
    // Every mounted file system of the drive (a stick may hold several) goes first.
    QStringList blocks;
    for (auto block = m_blocks.cbegin(); block != m_blocks.cend(); ++block)
        if (block->drive == drive && !block->mountPoints.isEmpty())
            blocks << block.key();
    blocks.sort();
    unmountNext(mountPoint, blocks, drive);
}

void UDisksClient::unmountNext(const QString &mountPoint, QStringList blocks, const QString &drive)
{
    if (blocks.isEmpty()) {
        ejectDrive(mountPoint, drive);
        return;
    }
    const QString block = blocks.takeFirst();
    QDBusMessage call
        = QDBusMessage::createMethodCall(service, block, kFilesystem, QStringLiteral("Unmount"));
    call << QVariantMap();
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, mountPoint, blocks, drive](QDBusPendingCallWatcher *self) {
                self->deleteLater();
                const QDBusPendingReply<> reply = *self;
                if (reply.isError()) {
                    Q_EMIT ejected(mountPoint, reply.error().message());
                    return;
                }
                unmountNext(mountPoint, blocks, drive);
            });
}

void UDisksClient::ejectDrive(const QString &mountPoint, const QString &drive)
{
    QDBusMessage call
        = QDBusMessage::createMethodCall(service, drive, kDrive, QStringLiteral("Eject"));
    call << QVariantMap();
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, mountPoint](QDBusPendingCallWatcher *self) {
                self->deleteLater();
                const QDBusPendingReply<> reply = *self;
                Q_EMIT ejected(mountPoint, reply.isError() ? reply.error().message() : QString());
            });
}

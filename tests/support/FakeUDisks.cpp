#include "tests/support/FakeUDisks.h"

#include "platform/UDisksClient.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>

namespace {

const QString kBusName = QStringLiteral("kodra-fake-udisks");

QString drivePath(const QString &name)
{
    return UDisksClient::root + QStringLiteral("/drives/") + name;
}

QString blockPath(const QString &name)
{
    return UDisksClient::root + QStringLiteral("/block_devices/") + name;
}

QString lastPart(const QString &path)
{
    return path.section(QLatin1Char('/'), -1);
}

} // namespace

FakeUDisks::FakeUDisks() = default;

FakeUDisks::~FakeUDisks()
{
    if (m_bus) {
        m_bus->unregisterObject(UDisksClient::root, QDBusConnection::UnregisterTree);
        QDBusConnection::disconnectFromBus(kBusName);
    }
    m_daemon.kill();
    m_daemon.waitForFinished();
}

QString FakeUDisks::start()
{
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"),
                    QStringLiteral("--print-address")});
    if (!m_daemon.waitForStarted())
        return QStringLiteral("dbus-daemon did not start: ") + m_daemon.errorString();
    QByteArray address;
    while (!address.contains('\n') && m_daemon.waitForReadyRead(10000))
        address += m_daemon.readAllStandardOutput();
    address = address.trimmed();
    if (address.isEmpty())
        return QStringLiteral("dbus-daemon gave no address");
    // The process's system bus is this one from now on.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
    UDisksClient::registerTypes();
    m_bus = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(QString::fromUtf8(address), kBusName));
    if (!m_bus->isConnected())
        return QStringLiteral("no connection to the private bus: ") + m_bus->lastError().message();
    if (!m_bus->registerVirtualObject(UDisksClient::root, this, QDBusConnection::SubPath))
        return QStringLiteral("the service's objects were not registered");
    if (!m_bus->registerService(UDisksClient::service))
        return QStringLiteral("the service's name was not taken");
    return {};
}

void FakeUDisks::addDrive(const QString &name, bool ejectable)
{
    m_drives.insert(name, ejectable);
}

void FakeUDisks::addFilesystem(const QString &block, const QString &drive,
                               const QStringList &points)
{
    m_filesystems.insert(block, {drive, points});
}

void FakeUDisks::clear()
{
    m_drives.clear();
    m_filesystems.clear();
    calls.clear();
    refuse.clear();
}

void FakeUDisks::announce()
{
    QDBusMessage signal = QDBusMessage::createSignal(
        UDisksClient::root, QStringLiteral("org.freedesktop.DBus.ObjectManager"),
        QStringLiteral("InterfacesAdded"));
    signal << QVariant::fromValue(QDBusObjectPath(blockPath(QStringLiteral("new"))))
           << QVariant::fromValue(UDisksClient::Interfaces());
    m_bus->send(signal);
}

QString FakeUDisks::introspect(const QString &) const
{
    return {};
}

bool FakeUDisks::handleMessage(const QDBusMessage &message, const QDBusConnection &connection)
{
    const QString member = message.member();
    if (refuse.contains(member)) {
        calls << member + QLatin1Char(' ') + lastPart(message.path());
        connection.send(message.createErrorReply(
            QStringLiteral("org.freedesktop.UDisks2.Error.Failed"), refuse.value(member)));
        return true;
    }
    if (member == QLatin1String("GetManagedObjects") && message.path() == UDisksClient::root) {
        UDisksClient::ManagedObjects objects;
        for (auto drive = m_drives.cbegin(); drive != m_drives.cend(); ++drive) {
            objects[QDBusObjectPath(drivePath(drive.key()))]
                   [QStringLiteral("org.freedesktop.UDisks2.Drive")]
                = QVariantMap {{QStringLiteral("Ejectable"), drive.value()}};
        }
        for (auto fs = m_filesystems.cbegin(); fs != m_filesystems.cend(); ++fs) {
            QByteArrayList points;
            for (const QString &point : fs->points)
                points << QFile::encodeName(point) + '\0';
            UDisksClient::Interfaces &interfaces = objects[QDBusObjectPath(blockPath(fs.key()))];
            interfaces[QStringLiteral("org.freedesktop.UDisks2.Block")] = QVariantMap {
                {QStringLiteral("Drive"),
                 QVariant::fromValue(QDBusObjectPath(drivePath(fs->drive)))},
                {QStringLiteral("Device"), QByteArray("/dev/" + fs.key().toUtf8() + '\0')}};
            interfaces[QStringLiteral("org.freedesktop.UDisks2.Filesystem")]
                = QVariantMap {{QStringLiteral("MountPoints"), QVariant::fromValue(points)}};
        }
        connection.send(message.createReply(QVariant::fromValue(objects)));
        return true;
    }
    if (member == QLatin1String("Unmount") || member == QLatin1String("Eject")) {
        calls << member + QLatin1Char(' ') + lastPart(message.path());
        if (member == QLatin1String("Unmount"))
            m_filesystems[lastPart(message.path())].points.clear();
        connection.send(message.createReply());
        return true;
    }
    return false;
}

#include "disk/VolumeRecognition.h"

#include "disk/DiskReader.h"
#include "disk/VolumeSource.h"
#include "store/Connection.h"
#include "store/Statement.h"
#include "store/Transaction.h"

#include <QLocale>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>

namespace {

template<typename Work> auto inTransaction(Connection &connection, Work work)
{
    Transaction &running = connection.transaction();
    if (!running.isActive())
        running.start();
    const auto settle = qScopeGuard([&running] { running.checkAutoStop(); });
    return work();
}

} // namespace

VolumeRecognition::Volume VolumeRecognition::recognise(Connection &connection,
                                                       const QString &mountPoint)
{
    const VolumeSource::Info info = VolumeSource::instance().info(mountPoint);
    Volume volume;
    volume.mountPoint = mountPoint;
    volume.label = QLocale().toUpper(info.label);
    volume.serial = info.serial;
    volume.disks = disksFor(connection, mountPoint, volume.label, volume.serial);
    return volume;
}

QList<VolumeRecognition::Disk> VolumeRecognition::disksFor(Connection &connection,
                                                           const QString &mountPoint,
                                                           const QString &label,
                                                           const QString &serial)
{
    QList<Disk> disks;
    inTransaction(connection, [&] {
        Statement find(connection);
        if (!serial.isEmpty()) {
            find.prepare(QStringLiteral("select FDISKID, FFOLDERID, FNAME from TDISK "
                                        "where FUNIQUE = :SERIAL order by FNN, FNAME"));
            find.setParam(QStringLiteral("SERIAL"), serial);
        } else {
            // Without a serial, a label alone would name every unlabelled stick: the root
            // entry must also be the one this mount point's read writes.
            find.prepare(QStringLiteral(
                "select d.FDISKID, d.FFOLDERID, d.FNAME from TDISK d "
                "where coalesce(d.FUNIQUE, '') = '' and coalesce(d.FLABEL, '') = :LABEL "
                "and exists (select 1 from TCONTENT c where c.FDISKID = d.FDISKID "
                "and coalesce(c.FOWNCONTENTID, 0) = 0 and c.FCONTENT = :ROOT) "
                "order by d.FNN, d.FNAME"));
            find.setParam(QStringLiteral("LABEL"), label);
            find.setParam(QStringLiteral("ROOT"), DiskReader::rootText(mountPoint, label, serial));
        }
        find.execute();
        while (find.fetch())
            disks.append({find.value(0).toInt(), find.value(1).toInt(), find.value(2).toString(),
                          QString()});
    });
    for (Disk &disk : disks)
        disk.folderPath = folderPath(connection, disk.folderId);
    std::stable_sort(disks.begin(), disks.end(),
                     [](const Disk &a, const Disk &b) { return a.folderPath < b.folderPath; });
    return disks;
}

QString VolumeRecognition::folderPath(Connection &connection, int folderId)
{
    QStringList names;
    inTransaction(connection, [&] {
        Statement up(connection);
        up.prepare(
            QStringLiteral("select FFOLDER, FOWNFOLDERID from TFOLDER where FFOLDERID = :ID"));
        QSet<int> seen;
        // A damaged tree with a loop ends where it comes round again.
        for (int id = folderId; id != 0 && !seen.contains(id);) {
            seen.insert(id);
            up.setParam(QStringLiteral("ID"), id);
            up.execute();
            if (!up.fetch())
                break;
            names.prepend(up.value(0).toString());
            id = up.value(1).toInt();
            up.closeCursor();
        }
    });
    return names.join(QLatin1Char('/'));
}

QString VolumeRecognition::describe(const Volume &volume)
{
    const QString id = volume.label + QStringLiteral(", ID=") + volume.serial;
    if (volume.disks.isEmpty())
        return id + QStringLiteral(" нет в каталоге");
    QStringList names;
    for (const Disk &disk : volume.disks)
        names << QStringLiteral("«%1» в папке «%2»").arg(disk.name, disk.folderPath);
    return QStringLiteral("В приводе %1: %2 — это %3")
        .arg(volume.mountPoint, id, names.join(QStringLiteral(", ")));
}

#include "disk/DiskReader.h"

#include "app/Catalogue.h"
#include "disk/ContentWriter.h"
#include "disk/ReadWatch.h"
#include "disk/StoredContent.h"
#include "disk/VolumeSource.h"
#include "platform/BackgroundWalk.h"
#include "platform/DirectoryWalker.h"
#include "store/DbError.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QScopeGuard>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {
constexpr qint64 kEventsEveryMs = 5;
// The folder as the user chose it: a path below start shown below drive.
QString shownFolder(const QString &drive, const QString &start, const QString &folder)
{
    QString base = drive;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QString below = folder.mid(start == QLatin1String("/") ? 0 : start.size());
    QString path = base + below;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}
} // namespace

DiskReader::DiskReader(Catalogue &data, ContentWriter &content, ReadWatch &watch)
    : m_data(data),
      dtContent(content),
      m_watch(watch),
      dtCheckDisk(
          std::make_unique<QueryDataSet>(data.DefDatabase(), QStringLiteral("dtCheckDisk"))),
      ibsDelContent(
          std::make_unique<SqlStatement>(data.DefDatabase(), QStringLiteral("ibsDelContent")))
{
    dtCheckDisk->setSelectSql(
        {QStringLiteral("select * from TDISK where FUNIQUE=:VUNIQUE and FDISKID<>:VDISKID")});
    ibsDelContent->setSql(QStringLiteral("delete from TCONTENT where FDISKID=:FDISKID"));
}

DiskReader::~DiskReader() = default;

QString DiskReader::rootText(const QString &drive, const QString &label, const QString &serial)
{
    return drive + QStringLiteral(": ") + label + QStringLiteral(", ID=") + serial;
}

QString DiskReader::duplicateNames(const QStringList &namesInQueryOrder)
{
    QString list;
    for (const QString &name : namesInQueryOrder) {
        const QString quoted = QLatin1Char('"') + name + QLatin1Char('"');
        list = list.isEmpty() ? quoted : quoted + QStringLiteral(", ") + list;
    }
    return list;
}

qint64 DiskReader::replacedNames() const
{
    return dtContent.replacedNames();
}

QString DiskReader::incompleteText(qint64 folders, qint64 entries, qint64 names)
{
    QStringList parts;
    if (folders > 0)
        parts << QStringLiteral("папок, прочитанных не полностью, — %1").arg(folders);
    if (entries > 0)
        parts << QStringLiteral("записей, которые не удалось прочитать, — %1").arg(entries);
    if (names > 0)
        parts << QStringLiteral("имён, сохранённых с заменой знаков на \"?\", — %1").arg(names);
    if (parts.isEmpty())
        return {};
    return QStringLiteral("Прочитано не всё: ") + parts.join(QStringLiteral("; "))
        + QStringLiteral(".\nПрочитанное сохранено.");
}

QString DiskReader::startFolder(const QString &drive)
{
    if (drive.isEmpty())
        throw DbError(QStringLiteral("Не выбран диск для чтения"));
    // A drive given as a link (Debian's /media/cdrom) is read where it leads; the walk itself
    // follows no link.
    const std::unique_ptr<char, decltype(&std::free)> resolved(
        ::realpath(QFile::encodeName(drive).constData(), nullptr), &std::free);
    const int error
        = resolved ? DirectoryWalker::startError(QFile::decodeName(resolved.get())) : errno;
    if (error != 0)
        throw DbError(QStringLiteral("Не удаётся прочитать папку \"%1\": %2")
                          .arg(drive, QString::fromLocal8Bit(std::strerror(error))));
    return QFile::decodeName(resolved.get());
}

bool DiskReader::confirmDuplicates(const QString &serial)
{
    // Every volume whose serial is unknown would otherwise match every other such disk.
    if (serial.isEmpty())
        return true;
    QueryDataSet &disk = m_data.dtDisk();
    dtCheckDisk->close();
    dtCheckDisk->setParam(QStringLiteral("VDISKID"),
                          disk.fieldByName(QStringLiteral("FDISKID")).value());
    dtCheckDisk->setParam(QStringLiteral("VUNIQUE"), serial);
    dtCheckDisk->open();
    QStringList names;
    for (dtCheckDisk->first(); !dtCheckDisk->eof(); dtCheckDisk->next())
        names << dtCheckDisk->fieldByName(QStringLiteral("FNAME")).asString();
    dtCheckDisk->close();
    const QString list = duplicateNames(names);
    if (list.isEmpty())
        return true;
    const QString text = QStringLiteral("Диск с серийным номером \"") + serial
        + QStringLiteral("\" под именем ") + list + QStringLiteral(" уже внесен в базу !\n")
        + QStringLiteral("Продолжить ?");
    return m_watch.confirmDuplicates(text);
}

DiskReader::Outcome DiskReader::read(const QString &drive, Mode mode)
{
    m_unreadFolders = 0;
    m_unreadEntries = 0;
    // What would stop the read is found while the disk and its contents are still untouched.
    const QString start = startFolder(drive);
    VolumeSource::Info volume;
    {
        m_watch.lookingAtVolume(true);
        const auto restore = qScopeGuard([this] { m_watch.lookingAtVolume(false); });
        volume = VolumeSource::instance().info(drive);
    }
    const QString label = QLocale().toUpper(volume.label);
    const QString serial = volume.serial;
    const QString root = rootText(drive, label, serial);
    dtContent.describeColumn();
    const int length = dtContent.columnLength();
    if (length > 0 && root.toUcs4().size() > length)
        throw DbError(
            QStringLiteral("Запись диска длиннее %1 знаков, которые вмещает поле FCONTENT: %2")
                .arg(length)
                .arg(root));

    if (!confirmDuplicates(serial))
        return Outcome::Declined;

    m_watch.begin(volume.usedBytes);
    bool ended = false;
    const auto end = qScopeGuard([&] {
        if (!ended)
            m_watch.end();
    });
    QueryDataSet &disk = m_data.dtDisk();
    if (disk.state() == QueryDataSet::State::Insert)
        disk.post();
    if (disk.state() != QueryDataSet::State::Edit)
        disk.edit();

    Field &fullSize = disk.fieldByName(QStringLiteral("FFULLSIZE"));
    m_capacity = mode == Mode::Add && !fullSize.isNull() ? qint64(fullSize.asFloat()) : 0;
    m_capacity += volume.totalBytes;
    fullSize.setFloat(double(m_capacity));
    disk.fieldByName(QStringLiteral("FLABEL")).setString(label);
    disk.fieldByName(QStringLiteral("FUNIQUE")).setString(serial);
    disk.post();

    const int diskId = disk.fieldByName(QStringLiteral("FDISKID")).asInteger();
    m_foundBytes = 0;
    m_foundFiles = 0;
    m_stopped = false;
    bool &stopped = m_stopped;

    {
        // Whatever happens: the watch ended, dtContent closed.
        const auto finish = qScopeGuard([&] {
            ended = true;
            m_watch.end();
            try {
                dtContent.close();
            } catch (const DbError &) {
                // The error that ended the read, if any, is the one to show.
            }
        });

        dtContent.close();
        dtContent.open(diskId);
        // The same volume read again is compared with what is stored; another one replaces it.
        int storedRoot = 0;
        if (mode == Mode::Replace) {
            if (m_inPlace)
                storedRoot = sameVolumeRoot(diskId, root);
            if (storedRoot == 0)
                removeContents(diskId);
        }
        if (clearTree)
            clearTree();

        m_watch.walking();

        Transaction::CommitHold hold(m_data.DefDatabase().transaction());
        std::unique_ptr<StoredContent> stored;
        if (storedRoot != 0) {
            // Read beside the walk: the entries stored come while the volume's do.
            stored = std::make_unique<StoredContent>();
            stored->setWaiting([] { QCoreApplication::processEvents(); });
            stored->start(m_data.DefDatabase(), diskId);
        }
        const QDateTime now = QDateTime::currentDateTime();
        const int rootKey = [&] {
            if (!stored)
                return dtContent.append(0, ContentWriter::Root, root, 0, now);
            // The root entry has a new key and the old one goes: a search index that saw the
            // old one, here or on another workstation, then takes the disk in anew. One step,
            // so that a killed read leaves one root entry.
            Transaction::CommitHold swap(m_data.DefDatabase().transaction(),
                                         Transaction::CommitHold::Mode::Whole);
            const int key = dtContent.append(0, ContentWriter::Root, root, 0, now);
            dtContent.adopt(storedRoot, key);
            dtContent.remove(storedRoot);
            dtContent.flush();
            stored->meetRoot(storedRoot);
            return key;
        }();
        walk(drive, start, rootKey, storedRoot, stored.get());
        if (stored) {
            // What the walk did not meet is gone, also after a stop: what stays is what was
            // read, as when the disk is written anew.
            stored->finish();
            stored->forEachUnmet([this](int key) { dtContent.remove(key); });
            dtContent.flush();
        }
        // The read was stopped: what was read stays, known as a part.
        stopped = !m_watch.goesOn();
    }

    // Only a walk that did not fail gets here: a failure keeps the previous file count.
    disk.edit();
    Field &files = disk.fieldByName(QStringLiteral("FFILES"));
    const int previous = mode == Mode::Add && !files.isNull() ? files.asInteger() : 0;
    files.setInteger(previous + m_foundFiles);
    if (stopped) {
        // The note goes first, so that a long comment never pushes it out of the field.
        const QString note = stoppedText(m_foundFiles);
        Field &comment = disk.fieldByName(QStringLiteral("FCOMMENT"));
        const QString before = comment.isNull() ? QString() : comment.asString();
        QString text = before.isEmpty() ? note : note + QLatin1Char(' ') + before;
        if (comment.size() > 0)
            text.truncate(comment.size());
        comment.setString(text);
    }
    disk.post();
    if (stopped)
        m_watch.stopped(stoppedText(m_foundFiles));
    return Outcome::Read;
}

int DiskReader::sameVolumeRoot(int diskId, const QString &root)
{
    // The newest root entry of the same text, should the disk hold several.
    int key = 0;
    for (const auto &[rootKey, text] : StoredContent::roots(m_data.DefDatabase(), diskId)) {
        if (text == dtContent.storable(root))
            key = rootKey;
    }
    return key;
}

void DiskReader::removeContents(int diskId)
{
    ibsDelContent->setParam(QStringLiteral("FDISKID"), diskId);
    ibsDelContent->execute();
    ibsDelContent->close();
}

QString DiskReader::stoppedText(qint64 files)
{
    return QStringLiteral("Чтение прервано: прочитано %1 файлов.").arg(files);
}

void DiskReader::walk(const QString &drive, const QString &start, int rootKey, int storedRoot,
                      StoredContent *stored)
{
    // The folders on the current path: owners[d - 1] holds entries of depth d. A folder that
    // was stored before has its stored entries compared with the walk's.
    struct Owner
    {
        int key;
        int stored; // 0: a new folder
    };
    std::vector<Owner> owners {{rootKey, storedRoot}};
    qint64 entries = 0;
    // Window events are looked at before every entry, but handed out at most every few
    // milliseconds: asking the window system costs a system call, as much as walking an entry.
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    DirectoryWalker::Faults faults;
    // Counted also when the walk stops by an error: the caller shows that one instead.
    const auto count = qScopeGuard([&] {
        m_unreadFolders = faults.folders;
        m_unreadEntries = faults.entries;
    });
    // The entry stored before is kept, changed where the walk differs; else a new one is written.
    auto write = [&](const Owner &owner, ContentWriter::EntryType type, const QString &name,
                     qint64 size, const QDateTime &date) -> Owner {
        if (stored && owner.stored != 0) {
            bool replaced = false;
            const QString text = dtContent.storable(name, &replaced);
            if (const StoredContent::Entry *was = stored->meet(owner.stored, text)) {
                if (!StoredContent::holds(*was, type, size, date))
                    dtContent.update(was->key, owner.key, type, size, date);
                dtContent.keep(replaced);
                return {was->key, was->key};
            }
        }
        return {dtContent.append(owner.key, type, name, size, date), 0};
    };
    QString shownFor;
    QString shown;
    auto take = [&](const DirectoryWalker::Entry &entry) {
        if (sinceEvents.hasExpired(kEventsEveryMs)) {
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
        if (!m_watch.goesOn())
            return false;
        const Owner owner = owners[size_t(entry.depth - 1)];
        if (entry.isDirectory()) {
            const Owner folder
                = write(owner, ContentWriter::Directory, entry.name, 0, entry.modified);
            owners.resize(size_t(entry.depth) + 1);
            owners[size_t(entry.depth)] = folder;
        } else {
            m_foundBytes += entry.size;
            ++m_foundFiles;
            // The files of a folder come one after the other: its shown path is made once.
            if (entry.folderPath != shownFor) {
                shownFor = entry.folderPath;
                shown = shownFolder(drive, start, shownFor);
            }
            m_watch.fileFound(shown + entry.name, m_foundFiles, m_foundBytes, m_capacity);
            write(owner, ContentWriter::File, entry.name, entry.size, entry.modified);
        }
        Q_EMIT entryWritten(++entries);
        return true;
    };

    DirectoryWalker::Result result = DirectoryWalker::Result::Finished;
    if (!m_walkAhead) {
        result = DirectoryWalker::walk(start, take, &faults);
    } else {
        // The drive is read on a thread of its own while this one writes: the engine's work
        // and the drive's latency overlap, and this thread keeps the dialog live.
        BackgroundWalk walk(start);
        // What the walk met is counted also when an error ends the read here.
        const auto collect = qScopeGuard([&] {
            walk.stop();
            result = walk.result();
            faults = walk.faults();
        });
        BackgroundWalk::Block block;
        bool stopped = false;
        while (!stopped) {
            BackgroundWalk::Take got = walk.take(block, 0);
            if (got == BackgroundWalk::Take::Waiting) {
                // Caught up with the drive: what is taken goes to the catalogue now rather
                // than waiting for a full call.
                dtContent.flush();
                got = walk.take(block, int(kEventsEveryMs));
            }
            if (got == BackgroundWalk::Take::Ended)
                break;
            if (got == BackgroundWalk::Take::Waiting) {
                QCoreApplication::processEvents();
                sinceEvents.restart();
                stopped = !m_watch.goesOn();
                continue;
            }
            for (const DirectoryWalker::Entry &entry : block) {
                if (!take(entry)) {
                    stopped = true;
                    break;
                }
            }
        }
    }
    dtContent.flush();
    // The drive went away between the check and the walk.
    if (result == DirectoryWalker::Result::StartFailed)
        ++faults.folders;
}

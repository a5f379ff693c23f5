#include "disk/DiskReader.h"

#include "app/MainData.h"
#include "disk/ContentWriter.h"
#include "disk/VolumeSource.h"
#include "disk/uProgress.h"
#include "platform/DirectoryWalker.h"
#include "store/DbError.h"
#include "widgets/ErrorBox.h"
#include "widgets/Prompt.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QScopeGuard>
#include <QWidget>
#include <vector>

namespace {
constexpr qint64 kEventsEveryMs = 5;
} // namespace

DiskReader::DiskReader(MainData &data, ContentWriter &content, QWidget *editor)
    : m_data(data),
      dtContent(content),
      m_editor(editor),
      dtCheckDisk(std::make_unique<QueryDataSet>(data.DefDatabase, QStringLiteral("dtCheckDisk"))),
      ibsDelContent(
          std::make_unique<SqlStatement>(data.DefDatabase, QStringLiteral("ibsDelContent")))
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

void DiskReader::enableEditor(bool enabled)
{
    if (!m_editor)
        return;
    // The window's contents, not the window: disabling it would disable the progress dialog,
    // its child, too, and a window outside it is blocked by the modal editor.
    const auto children = m_editor->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *child : children) {
        if (!child->isWindow())
            child->setEnabled(enabled);
    }
}

bool DiskReader::confirmDuplicates(const QString &serial)
{
    // Every volume whose serial is unknown would otherwise match every other such disk.
    if (serial.isEmpty())
        return true;
    QueryDataSet &disk = m_data.dtDisk;
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
    return Prompt::instance().message(m_editor, text, QStringLiteral("Уже внесен !"),
                                      QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

DiskReader::Outcome DiskReader::read(const QString &drive, Mode mode)
{
    VolumeSource::Info volume;
    {
        QApplication::setOverrideCursor(Qt::BusyCursor);
        const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        volume = VolumeSource::instance().info(drive);
    }
    const QString label = QLocale().toUpper(volume.label);
    const QString serial = volume.serial;

    if (!confirmDuplicates(serial))
        return Outcome::Declined;

    WaitCursor wait;
    QueryDataSet &disk = m_data.dtDisk;
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
    auto progress = std::make_unique<TfProgress>(m_editor);
    m_progress = progress.get();

    {
        // Whatever happens: the editor back, the dialog gone, dtContent closed.
        const auto finish = qScopeGuard([&] {
            if (m_editor) {
                enableEditor(true);
                m_editor->raise();
                m_editor->activateWindow();
            }
            progress.reset();
            try {
                dtContent.close();
            } catch (const DbError &) {
                // The error that ended the read, if any, is the one to show.
            }
        });

        dtContent.close();
        if (mode == Mode::Replace) {
            ibsDelContent->setParam(QStringLiteral("FDISKID"), diskId);
            ibsDelContent->execute();
            ibsDelContent->close();
        }
        if (clearTree)
            clearTree();
        dtContent.open(diskId);

        progress->show();
        enableEditor(false);

        Transaction::CommitHold hold(m_data.DefDatabase.transaction());
        const int rootKey = dtContent.append(0, ContentWriter::Root, rootText(drive, label, serial),
                                             0, QDateTime::currentDateTime());
        walk(drive, rootKey);
    }

    // Only a walk that did not fail gets here: a failure keeps the previous file count.
    disk.edit();
    Field &files = disk.fieldByName(QStringLiteral("FFILES"));
    const int previous = mode == Mode::Add && !files.isNull() ? files.asInteger() : 0;
    files.setInteger(previous + m_foundFiles);
    disk.post();
    return Outcome::Read;
}

void DiskReader::walk(const QString &drive, int rootKey)
{
    // The keys of the folders on the current path: owners[d - 1] holds entries of depth d.
    std::vector<int> owners {rootKey};
    qint64 entries = 0;
    // Window events are looked at before every entry, but handed out at most every few
    // milliseconds: asking the window system costs a system call, as much as walking an entry.
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    DirectoryWalker::walk(drive, [&](const DirectoryWalker::Entry &entry) {
        if (sinceEvents.hasExpired(kEventsEveryMs)) {
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
        if (!m_progress || !m_progress->isVisible())
            return false;
        const int owner = owners[size_t(entry.depth - 1)];
        if (entry.isDirectory()) {
            const int key
                = dtContent.append(owner, ContentWriter::Directory, entry.name, 0, entry.modified);
            owners.resize(size_t(entry.depth) + 1);
            owners[size_t(entry.depth)] = key;
        } else {
            m_foundBytes += entry.size;
            ++m_foundFiles;
            QString path = entry.folderPath;
            if (!path.endsWith(QLatin1Char('/')))
                path += QLatin1Char('/');
            m_progress->fileFound(path + entry.name, m_foundFiles, m_foundBytes, m_capacity);
            dtContent.append(owner, ContentWriter::File, entry.name, entry.size, entry.modified);
        }
        Q_EMIT entryWritten(++entries);
        return true;
    });
}

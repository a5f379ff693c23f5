#include "app/CatalogueSession.h"

#include "app/Catalogue.h"
#include "app/SchemaUpkeep.h"
#include "platform/SettingsStore.h"
#include "store/Connection.h"
#include "store/DbError.h"

const QString CatalogueSession::version = QStringLiteral("1.0");

CatalogueSession::CatalogueSession(Catalogue &data, SettingsStore &store)
    : m_data(data), m_store(store)
{ }

void CatalogueSession::readSettings()
{
    m_settings = ConnectionSettings::read(m_store);
}

bool CatalogueSession::hasRunBefore() const
{
    return !m_store.readString(ConnectionSettings::section, QStringLiteral("NormPos"), QString())
                .isEmpty();
}

bool CatalogueSession::open()
{
    Catalogue &d = m_data;
    const QString path = m_settings.databasePath();
    d.DefDatabase().setDatabaseName(path);
    d.DefDatabase().setParams(m_settings.connectionParams());
    if (Connection::isLocalPath(path)) {
        m_guard.take(path);
        try {
            d.DefDatabase().open();
        } catch (const DbError &e) {
            m_guard.release();
            throw LocalCatalogueGuard::explained(path, e);
        }
    } else {
        m_guard.release();
        d.DefDatabase().open();
    }

    d.spVer().execute();
    m_foundVersion = d.spVer().paramAsString(QStringLiteral("VERSION"));
    return m_foundVersion == version;
}

QString CatalogueSession::wrongVersionText(const QString &found)
{
    return QStringLiteral("Версия указанной базы данных ") + found
        + QStringLiteral(" не поддерживается данным клиентом !");
}

QString CatalogueSession::wrongVersionCaption()
{
    return QStringLiteral("Не соответствуют версии !");
}

bool CatalogueSession::connect()
{
    if (!open())
        return false;
    Catalogue &d = m_data;
    SchemaUpkeep::addMissing(d.DefDatabase());
    d.dtFolder().open();
    d.dtDisk().open();
    const QString &section = ConnectionSettings::section;
    d.dtFolder().locate(QStringLiteral("FFOLDERID"),
                        m_store.readInteger(section, QStringLiteral("FolderID"), 1));
    d.dtDisk().locate(QStringLiteral("FDISKID"),
                      m_store.readInteger(section, QStringLiteral("DiskID"), 1));
    return true;
}

void CatalogueSession::saveSettings()
{
    m_settings.write(m_store);
    const Catalogue &d = m_data;
    const QString &section = ConnectionSettings::section;
    if (d.dtFolder().isOpen())
        m_store.writeInteger(section, QStringLiteral("FolderID"), d.currentFolder());
    if (d.dtDisk().isOpen())
        m_store.writeInteger(section, QStringLiteral("DiskID"), d.currentDisk());
}

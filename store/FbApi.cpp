#include "store/FbApi.h"

#include "store/DbError.h"
#include "store/EngineLockFolder.h"

#include <QFileInfo>
#include <QLibrary>
#include <firebird/Interface.h>

namespace {

struct LoadedClient
{
    QLibrary library;
    FbApi api;
    QString error;
    bool ok = false;

    LoadedClient()
    {
        // The engine reads its lock folder once, as the library loads.
        EngineLockFolder::prepare();
        // Debian's libfbclient2 installs libfbclient.so.2; the unversioned name comes with
        // the development package only.
        library.setFileNameAndVersion(QStringLiteral("fbclient"), 2);
        if (!library.load()) {
            library.setFileName(QStringLiteral("fbclient"));
            if (!library.load()) {
                error = QStringLiteral("Не удалось загрузить клиентскую библиотеку Firebird "
                                       "libfbclient.so.2: %1")
                            .arg(library.errorString());
                return;
            }
        }
#define KODRA_FB_RESOLVE(name)                                                                     \
    api.name = reinterpret_cast<decltype(api.name)>(library.resolve(#name));                       \
    if (!api.name) {                                                                               \
        error = QStringLiteral("В клиентской библиотеке Firebird %1 нет функции %2")               \
                    .arg(library.fileName(), QStringLiteral(#name));                               \
        return;                                                                                    \
    }
        KODRA_FB_FUNCTIONS(KODRA_FB_RESOLVE)
#undef KODRA_FB_RESOLVE
        ok = true;
    }
};

LoadedClient &client()
{
    static LoadedClient loaded;
    return loaded;
}

} // namespace

namespace FbClient {

const FbApi &api()
{
    LoadedClient &c = client();
    if (!c.ok)
        throw DbError(c.error);
    return c.api;
}

bool isAvailable()
{
    return client().ok;
}

QString libraryName()
{
    return client().library.fileName();
}

QString loadError()
{
    return client().error;
}

QString enginePluginPath()
{
    LoadedClient &c = client();
    if (!c.ok)
        return {};
    using MasterFn = Firebird::IMaster *(*)();
    auto master = reinterpret_cast<MasterFn>(c.library.resolve("fb_get_master_interface"));
    if (!master)
        return {};
    const char *dir
        = master()->getConfigManager()->getDirectory(Firebird::IConfigManager::DIR_PLUGINS);
    if (!dir)
        return {};
    return QString::fromLocal8Bit(dir) + QStringLiteral("/libEngine12.so");
}

bool isEngineInstalled()
{
    const QString path = enginePluginPath();
    return !path.isEmpty() && QFileInfo::exists(path);
}

} // namespace FbClient

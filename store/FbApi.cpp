#include "store/FbApi.h"

#include "store/DbError.h"

#include <QLibrary>

namespace {

struct LoadedClient
{
    QLibrary library;
    FbApi api;
    QString error;
    bool ok = false;

    LoadedClient()
    {
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

} // namespace FbClient

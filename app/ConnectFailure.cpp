#include "app/ConnectFailure.h"

#include "app/LocalCatalogueGuard.h"
#include "store/Connection.h"
#include "store/DbError.h"
#include "store/FbApi.h"

#include <QFileInfo>

namespace {

const QString settingsHint = QStringLiteral("База данных > Настройки");

} // namespace

ConnectFailure ConnectFailure::explain(const QString &databasePath, const DbError &error)
{
    ConnectFailure failure {QString(), error.text()};
    const bool local = Connection::isLocalPath(databasePath);
    // Another account's file or another program's hold, said by the guard before the engine's
    // own words.
    const QString guardSentence = error.text().section(QStringLiteral("\r\n"), 0, 0);
    if (local && !guardSentence.isEmpty()
        && (guardSentence == LocalCatalogueGuard::reason(databasePath, true)
            || guardSentence == LocalCatalogueGuard::reason(databasePath, false))) {
        failure.text = guardSentence;
        failure.details = error.text().section(QStringLiteral("\r\n"), 1);
        return failure;
    }
    // A local file is looked at directly: the engine names every such case "I/O error".
    if (local && !FbClient::isEngineInstalled()) {
        failure.text = QStringLiteral("Встроенный сервер Firebird не установлен, поэтому "
                                      "локальная база %1 не открывается. Установите пакет "
                                      "firebird3.0-server-core или укажите базу на сервере: %2.")
                           .arg(databasePath, settingsHint);
    } else if (local && !QFileInfo::exists(databasePath)) {
        failure.text = QStringLiteral("Файл базы не найден: %1. Создайте новую базу: База "
                                      "данных > Создать новую.")
                           .arg(databasePath);
    } else if (local
               && (!QFileInfo(databasePath).isReadable()
                   || !QFileInfo(databasePath).isWritable())) {
        failure.text = QStringLiteral("Нет прав на чтение и запись файла базы: %1. Дайте себе "
                                      "права на файл или укажите другую базу: %2.")
                           .arg(databasePath, settingsHint);
    } else if (error.code() == isc_login) {
        failure.text = QStringLiteral("Сервер не принял имя пользователя или пароль для базы %1. "
                                      "Укажите верные: %2.")
                           .arg(databasePath, settingsHint);
    } else if (error.code() == isc_network_error) {
        failure.text = QStringLiteral("Сервер базы %1 не отвечает. Проверьте, что он запущен и "
                                      "доступен по сети, или укажите другую базу: %2.")
                           .arg(databasePath, settingsHint);
    } else if (error.code() == isc_bad_db_format || error.code() == isc_wrong_ods) {
        failure.text = QStringLiteral("Файл %1 не является базой Kodra этой версии или "
                                      "повреждён. Укажите другую базу (%2) или восстановите "
                                      "её из резервной копии.")
                           .arg(databasePath, settingsHint);
    } else {
        failure.text = QStringLiteral("Не удалось соединиться с базой %1. Проверьте путь к "
                                      "базе, имя пользователя и пароль: %2.")
                           .arg(databasePath, settingsHint);
    }
    return failure;
}

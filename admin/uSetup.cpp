#include "admin/uSetup.h"

#include "admin/AdminRequest.h"
#include "admin/CatalogueService.h"
#include "admin/FileNameEdit.h"
#include "admin/ServiceProgress.h"
#include "app/Catalogue.h"
#include "app/ConnectionSettings.h"
#include "store/Connection.h"
#include "widgets/ErrorBox.h"
#include "widgets/ScreenCentre.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfSetup::TfSetup(Catalogue &data, ConnectionSettings &settings, QWidget *parent)
    : QDialog(parent),
      m_data(data),
      m_settings(settings),
      m_progress(new ServiceProgress(this)),
      m_service(new CatalogueService(m_progress, this))
{
    setObjectName(QStringLiteral("fSetup"));
    setWindowTitle(QStringLiteral("Настройка"));

    auto *heading = new QLabel(QStringLiteral("Настройка на базу данных"), this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    eDatabaseName
        = new FileNameEdit({QString(), QString(), QStringLiteral("Файл базы данных (*.gdb)|*.gdb"),
                            QStringLiteral("*.gdb"), FilePickRequest::Mode::ExistingFile},
                           this);
    eDatabaseName->setObjectName(QStringLiteral("eDatabaseName"));
    eDatabaseBackup = new FileNameEdit(
        {QStringLiteral("Резервная копия"), QString(),
         QStringLiteral("Файл резервной копии (*.fbk)|*.fbk|Все файлы (*.*)|*.*"),
         QStringLiteral("*.fbk"), FilePickRequest::Mode::FileInExistingFolder},
        this);
    eDatabaseBackup->setObjectName(QStringLiteral("eDatabaseBackup"));

    bBackup = new QPushButton(QStringLiteral("Резервировать"), this);
    bBackup->setObjectName(QStringLiteral("bBackup"));
    bBackup->setToolTip(QStringLiteral("Выполнить резервное копирование базы"));
    bRestore = new QPushButton(QStringLiteral("Восстановить"), this);
    bRestore->setObjectName(QStringLiteral("bRestore"));
    bRestore->setToolTip(QStringLiteral("Восстановить из резервной копии"));
    bOK = new QPushButton(QStringLiteral("OK"), this);
    bOK->setObjectName(QStringLiteral("bOK"));
    bOK->setDefault(true);
    bCancel = new QPushButton(QStringLiteral("Отмена"), this);
    bCancel->setObjectName(QStringLiteral("bCancel"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(new QLabel(QStringLiteral("Координаты базы данных:"), this));
    layout->addWidget(eDatabaseName);
    layout->addWidget(new QLabel(QStringLiteral("Резервная копия базы:"), this));
    layout->addWidget(eDatabaseBackup);
    auto *requests = new QHBoxLayout;
    requests->addWidget(bBackup);
    requests->addWidget(bRestore);
    requests->addStretch();
    layout->addLayout(requests);
    layout->addStretch();
    auto *closing = new QHBoxLayout;
    closing->addStretch();
    closing->addWidget(bOK);
    closing->addWidget(bCancel);
    layout->addLayout(closing);

    setTabOrder(bOK, bCancel);
    setTabOrder(bCancel, eDatabaseName->lineEdit());
    setTabOrder(eDatabaseName->lineEdit(), eDatabaseBackup->lineEdit());
    setTabOrder(eDatabaseBackup->lineEdit(), bRestore);
    setTabOrder(bRestore, bBackup);

    connect(bBackup, &QPushButton::clicked, this, &TfSetup::bBackupClick);
    connect(bRestore, &QPushButton::clicked, this, &TfSetup::bRestoreClick);
    connect(bOK, &QPushButton::clicked, this, &TfSetup::bOKClick);
    connect(bCancel, &QPushButton::clicked, this, &QDialog::reject);

    eDatabaseName->setText(m_settings.databaseName);
    eDatabaseBackup->setText(m_settings.databaseBackup);

    setFixedSize(455, 234);
    moveToScreenCentre(*this);
    bOK->setFocus();
}

TfSetup::~TfSetup() = default;

void TfSetup::done(int result)
{
    m_service->detachQuietly();
    QDialog::done(result);
}

AdminRequest TfSetup::request()
{
    return AdminRequest(this, *m_service, m_data.DefDatabase());
}

void TfSetup::bBackupClick()
{
    const AdminRequest request = this->request();
    const QString database = eDatabaseName->fileName();
    // A catalogue on a server is out of this machine's sight: the server checks its files.
    const bool local = Connection::isLocalPath(database);
    if (local && (database.isEmpty() || !QFileInfo::exists(database))) {
        request.refuse(QStringLiteral("Файл базы не указан. Нечего резервировать."),
                       QStringLiteral("Нет файла базы"));
        return;
    }
    if (eDatabaseBackup->text().isEmpty()) {
        request.refuse(QStringLiteral("Не указан файл резевной копии базы"),
                       QStringLiteral("Нет файла резервной копии"));
        return;
    }
    const QString backupFile = eDatabaseBackup->fileName();
    if (!request.mayOverwrite(local && QFileInfo::exists(backupFile),
                              QStringLiteral("Файл резервной копии существует. Перезаписать при "
                                             "резервировании ?")))
        return;
    request.run(
        {database, m_settings.userName, m_settings.userPass},
        [&](CatalogueService &service) { service.backup(database, backupFile); },
        QStringLiteral("ОК. Резервное копирование выполненно успешно."),
        QStringLiteral("Резервное копирование успешно"));
}

void TfSetup::bRestoreClick()
{
    const AdminRequest request = this->request();
    const QString database = eDatabaseName->fileName();
    const bool local = Connection::isLocalPath(database);
    const QString backupFile = eDatabaseBackup->fileName();
    if (local && (backupFile.isEmpty() || !QFileInfo::exists(backupFile))) {
        request.refuse(QStringLiteral("Файл резервной копии не указан. Неоткуда восстанавливать."),
                       QStringLiteral("Нет файла резервной копии"));
        return;
    }
    if (eDatabaseName->text().isEmpty()) {
        request.refuse(QStringLiteral("Не указано имя файла базы данных"),
                       QStringLiteral("Нет файла базы"));
        return;
    }
    if (!request.mayOverwrite(
            CatalogueService::exists(database, m_settings.userName, m_settings.userPass),
            QStringLiteral("Файл базы существует. Перезаписать при восстановлении ?")))
        return;
    request.run(
        {database, m_settings.userName, m_settings.userPass},
        [&](CatalogueService &service) { service.restore(backupFile, database); },
        QStringLiteral("ОК. Восстановление из резервной копии выполнено успешно."),
        QStringLiteral("База восстановлена"));
}

void TfSetup::bOKClick()
{
    const bool ok = runCommand(this, [this] {
        // The lists close and the connection's work is committed before another catalogue.
        if (eDatabaseName->text() != m_settings.databaseName)
            m_data.DefDatabase().close();
    });
    if (!ok)
        return;
    m_settings.databaseName = eDatabaseName->text();
    m_settings.databaseBackup = eDatabaseBackup->text();
    accept();
}

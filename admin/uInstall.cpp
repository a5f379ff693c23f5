#include "admin/uInstall.h"

#include "admin/AdminRequest.h"
#include "admin/CatalogueService.h"
#include "admin/FileNameEdit.h"
#include "admin/ServiceProgress.h"
#include "app/Catalogue.h"
#include "app/ConnectionSettings.h"
#include "app/ProgramFiles.h"
#include "store/Connection.h"
#include "widgets/Prompt.h"
#include "widgets/ScreenCentre.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfInstall::TfInstall(Catalogue &data, ConnectionSettings &settings, QWidget *parent)
    : QDialog(parent),
      m_data(data),
      m_settings(settings),
      m_progress(new ServiceProgress(this)),
      m_service(new CatalogueService(m_progress, this)),
      m_templatePath(defaultTemplatePath())
{
    setObjectName(QStringLiteral("fInstall"));
    setWindowTitle(QStringLiteral("Установка новой базы"));

    auto heading = [this](const QString &text) {
        auto *label = new QLabel(text, this);
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        return label;
    };
    auto edit = [this](const char *name, const QString &text, bool password) {
        auto *e = new QLineEdit(text, this);
        e->setObjectName(QString::fromLatin1(name));
        if (password)
            e->setEchoMode(QLineEdit::Password);
        return e;
    };
    auto button = [this](const char *name, const QString &text) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };

    eSYSDBA = edit("eSYSDBA", QStringLiteral("SYSDBA"), false);
    // Any length: the server's authentication has no 8-character limit on passwords.
    eSYSPass = edit("eSYSPass", QStringLiteral("bluefjord"), true);
    eKodra = edit("eKodra", m_settings.userName, false);
    eKodraPass = edit("eKodraPass", m_settings.userPass, true);
    bCreateUser = button("bCreateUser", QStringLiteral("Создать владельца"));
    bChangeUser = button("bChangeUser", QStringLiteral("Сменить пароль владельца"));
    eDatabaseName
        = new FileNameEdit({QString(), QString(), QStringLiteral("Файл базы данных (*.gdb)|*.gdb"),
                            QStringLiteral("*.gdb"), FilePickRequest::Mode::FileInExistingFolder},
                           this);
    eDatabaseName->setObjectName(QStringLiteral("eDatabaseName"));
    eDatabaseName->setText(m_settings.databaseName);
    bCreateClear = button("bCreateClear", QStringLiteral("Создать новую пустую базу"));
    bOK = button("bOK", QStringLiteral("OK"));
    bOK->setDefault(true);
    bCancel = button("bCancel", QStringLiteral("Отмена"));

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(4);
    layout->addWidget(heading(QStringLiteral("1. Создание владельца базы")));
    auto *accounts = new QGridLayout;
    accounts->addWidget(new QLabel(QStringLiteral("Имя администратора:"), this), 0, 0);
    accounts->addWidget(eSYSDBA, 0, 1);
    accounts->addWidget(new QLabel(QStringLiteral("Пароль:"), this), 0, 2);
    accounts->addWidget(eSYSPass, 0, 3);
    accounts->addWidget(new QLabel(QStringLiteral("Имя владельца базы:"), this), 1, 0);
    accounts->addWidget(eKodra, 1, 1);
    accounts->addWidget(new QLabel(QStringLiteral("Пароль:"), this), 1, 2);
    accounts->addWidget(eKodraPass, 1, 3);
    layout->addLayout(accounts);
    auto *owner = new QHBoxLayout;
    owner->addWidget(bCreateUser);
    owner->addWidget(bChangeUser);
    owner->addStretch();
    layout->addLayout(owner);
    layout->addWidget(heading(QStringLiteral("2. Создание чистовой базы")));
    auto *place = new QHBoxLayout;
    place->addWidget(new QLabel(QStringLiteral("Местоположение базы:"), this));
    place->addWidget(eDatabaseName, 1);
    layout->addLayout(place);
    auto *create = new QHBoxLayout;
    create->addWidget(bCreateClear);
    create->addStretch();
    layout->addLayout(create);
    layout->addStretch();
    auto *closing = new QHBoxLayout;
    closing->addStretch();
    closing->addWidget(bOK);
    closing->addWidget(bCancel);
    layout->addLayout(closing);

    connect(bCreateUser, &QPushButton::clicked, this, &TfInstall::bCreateUserClick);
    connect(bChangeUser, &QPushButton::clicked, this, &TfInstall::bChangeUserClick);
    connect(bCreateClear, &QPushButton::clicked, this, &TfInstall::bCreateClearClick);
    connect(bOK, &QPushButton::clicked, this, &TfInstall::bOKClick);
    connect(bCancel, &QPushButton::clicked, this, &QDialog::reject);

    setFixedSize(455, 234);
    moveToScreenCentre(*this);
}

TfInstall::~TfInstall() = default;

QString TfInstall::defaultTemplatePath()
{
    return ProgramFiles::templatePath(QCoreApplication::applicationDirPath());
}

void TfInstall::done(int result)
{
    m_service->detachQuietly();
    QDialog::done(result);
}

void TfInstall::bCreateUserClick()
{
    ownerRequest(true);
}

void TfInstall::bChangeUserClick()
{
    ownerRequest(false);
}

void TfInstall::ownerRequest(bool add)
{
    const AdminRequest request = this->request();
    if (eSYSPass->text().isEmpty()) {
        Prompt::instance().message(
            this,
            add ? QStringLiteral("Не указан пароль администратора базы. Только "
                                 "администратор может создать владельца базы.")
                : QStringLiteral("Не указан пароль администратора базы. Только "
                                 "администратор может менять пароль пользователя."),
            QStringLiteral("Не указан пароль"), QMessageBox::NoIcon, QMessageBox::Ok);
        return;
    }
    const QString owner = eKodra->text();
    const QString ownerPass = eKodraPass->text();
    // The account goes to the server that serves the catalogue named below; the owner's
    // texts are stored before the success is told.
    request.run(
        {eDatabaseName->fileName(), eSYSDBA->text(), eSYSPass->text()},
        [&](CatalogueService &service) {
            if (add)
                service.addUser(owner, ownerPass);
            else
                service.modifyUser(owner, ownerPass);
            m_settings.userName = owner;
            m_settings.userPass = ownerPass;
        },
        add ? QStringLiteral("Владелец базы успешно создан.")
            : QStringLiteral("Пароль базы успешно сменен на новый."),
        add ? QStringLiteral("Владелец создан") : QStringLiteral("Пароль сменен"));
}

void TfInstall::bCreateClearClick()
{
    createClearDatabase();
}

bool TfInstall::createClearDatabase()
{
    const AdminRequest request = this->request();
    const QString templateFile = m_templatePath;
    if (!QFileInfo::exists(templateFile))
        return request.refuse(QStringLiteral("Файл \"kodra.fbk\" чистовой базы не обнаружен. "
                                             "Неоткуда восстанавливать."),
                              QStringLiteral("Нет файла"));
    if (eDatabaseName->text().isEmpty())
        return request.refuse(QStringLiteral("Не указано имя файла базы данных"),
                              QStringLiteral("Нет файла базы"));
    const QString database = eDatabaseName->fileName();
    if (!request.mayOverwrite(
            CatalogueService::exists(database, m_settings.userName, m_settings.userPass),
            QStringLiteral("Файл базы существует. Перезаписать чистовой базой ?")))
        return false;
    // The owner as last stored, not the texts now in the owner fields.
    return request.run(
        {database, m_settings.userName, m_settings.userPass},
        [&](CatalogueService &service) { service.restore(templateFile, database); },
        QStringLiteral("ОК. Создание чистовой базы выполненно успешно."),
        QStringLiteral("База создана"));
}

AdminRequest TfInstall::request()
{
    return AdminRequest(this, *m_service, m_data.DefDatabase());
}

void TfInstall::bOKClick()
{
    // OK on a local catalogue that does not exist yet would only end in the engine's error:
    // offer to make it first, as "Создать новую пустую базу" does.
    const QString database = eDatabaseName->fileName();
    if (!database.isEmpty() && Connection::isLocalPath(database) && !QFileInfo::exists(database)) {
        if (Prompt::instance().message(
                this,
                QStringLiteral("Базы данных ещё нет: %1. Создать новую пустую базу?").arg(database),
                windowTitle(), QMessageBox::Question, QMessageBox::Yes | QMessageBox::No)
            != QMessageBox::Yes)
            return;
        if (!createClearDatabase())
            return;
    }
    m_settings.databaseName = eDatabaseName->text();
    m_settings.userName = eKodra->text();
    m_settings.userPass = eKodraPass->text();
    accept();
}

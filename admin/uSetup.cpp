#include "admin/uSetup.h"

#include "admin/CatalogueService.h"
#include "admin/FileNameEdit.h"
#include "app/Catalogue.h"
#include "app/ConnectionSettings.h"
#include "store/Connection.h"
#include "store/DbError.h"
#include "widgets/ErrorBox.h"
#include "widgets/Prompt.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

// The dialog is disabled while a request runs, and enabled again also when it fails.
class DisabledWhile
{
public:
    explicit DisabledWhile(QWidget *widget) : m_widget(widget) { m_widget->setEnabled(false); }
    ~DisabledWhile() { m_widget->setEnabled(true); }
    DisabledWhile(const DisabledWhile &) = delete;
    DisabledWhile &operator=(const DisabledWhile &) = delete;

private:
    QWidget *m_widget;
};

} // namespace

TfSetup::TfSetup(Catalogue &data, ConnectionSettings &settings, QWidget *parent)
    : QDialog(parent), m_data(data), m_settings(settings), m_service(new CatalogueService(this))
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
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    bOK->setFocus();
}

TfSetup::~TfSetup() = default;

void TfSetup::done(int result)
{
    // The attachment ends with the dialog; a server that went away has nothing more to say.
    try {
        m_service->detach();
    } catch (const DbError &) { }
    QDialog::done(result);
}

void TfSetup::closeMainConnection()
{
    // The lists close and the connection's work is committed before the server is asked.
    m_data.DefDatabase().close();
}

void TfSetup::bBackupClick()
{
    Prompt &prompt = Prompt::instance();
    const QString database = eDatabaseName->fileName();
    // A catalogue on a server is out of this machine's sight: the server checks its files.
    const bool local = Connection::isLocalPath(database);
    if (local && (database.isEmpty() || !QFileInfo::exists(database))) {
        prompt.message(this, QStringLiteral("Файл базы не указан. Нечего резервировать."),
                       QStringLiteral("Нет файла базы"), QMessageBox::Warning, QMessageBox::Ok);
        return;
    }
    if (eDatabaseBackup->text().isEmpty()) {
        prompt.message(this, QStringLiteral("Не указан файл резевной копии базы"),
                       QStringLiteral("Нет файла резервной копии"), QMessageBox::Warning,
                       QMessageBox::Ok);
        return;
    }
    const QString backupFile = eDatabaseBackup->fileName();
    if (local && QFileInfo::exists(backupFile)
        && prompt.message(this,
                          QStringLiteral("Файл резервной копии существует. Перезаписать при "
                                         "резервировании ?"),
                          QStringLiteral("Перезаписать ?"), QMessageBox::Warning,
                          QMessageBox::Ok | QMessageBox::Cancel)
            != QMessageBox::Ok)
        return;

    const bool ok = runCommand(this, [&] {
        closeMainConnection();
        repaint();
        if (QWidget *main = parentWidget())
            main->window()->repaint();
        m_service->attach(database, m_settings.userName, m_settings.userPass);
        WaitCursor wait;
        DisabledWhile disabled(this);
        repaint();
        m_service->backup(database, backupFile);
    });
    if (ok)
        prompt.message(this, QStringLiteral("ОК. Резервное копирование выполненно успешно."),
                       QStringLiteral("Резервное копирование успешно"), QMessageBox::NoIcon,
                       QMessageBox::Ok);
}

void TfSetup::bRestoreClick()
{
    Prompt &prompt = Prompt::instance();
    const QString database = eDatabaseName->fileName();
    const bool local = Connection::isLocalPath(database);
    const QString backupFile = eDatabaseBackup->fileName();
    if (local && (backupFile.isEmpty() || !QFileInfo::exists(backupFile))) {
        prompt.message(
            this, QStringLiteral("Файл резервной копии не указан. Неоткуда восстанавливать."),
            QStringLiteral("Нет файла резервной копии"), QMessageBox::Warning, QMessageBox::Ok);
        return;
    }
    if (eDatabaseName->text().isEmpty()) {
        prompt.message(this, QStringLiteral("Не указано имя файла базы данных"),
                       QStringLiteral("Нет файла базы"), QMessageBox::Warning, QMessageBox::Ok);
        return;
    }
    if (CatalogueService::exists(database, m_settings.userName, m_settings.userPass)
        && prompt.message(this,
                          QStringLiteral("Файл базы существует. Перезаписать при восстановлении ?"),
                          QStringLiteral("Перезаписать ?"), QMessageBox::Warning,
                          QMessageBox::Ok | QMessageBox::Cancel)
            != QMessageBox::Ok)
        return;

    const bool ok = runCommand(this, [&] {
        closeMainConnection();
        m_service->attach(database, m_settings.userName, m_settings.userPass);
        WaitCursor wait;
        DisabledWhile disabled(this);
        repaint();
        m_service->restore(backupFile, database);
    });
    if (ok)
        prompt.message(this,
                       QStringLiteral("ОК. Восстановление из резервной копии выполнено успешно."),
                       QStringLiteral("База восстановлена"), QMessageBox::NoIcon, QMessageBox::Ok);
}

void TfSetup::bOKClick()
{
    const bool ok = runCommand(this, [this] {
        if (eDatabaseName->text() != m_settings.databaseName)
            closeMainConnection();
    });
    if (!ok)
        return;
    m_settings.databaseName = eDatabaseName->text();
    m_settings.databaseBackup = eDatabaseBackup->text();
    accept();
}

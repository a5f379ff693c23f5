#include "disk/uEdtDisk.h"

#include "app/Catalogue.h"
#include "app/ConnectionSettings.h"
#include "disk/ContentTree.h"
#include "disk/ContentWriter.h"
#include "disk/DiskReader.h"
#include "disk/DrivePicker.h"
#include "disk/EditorReadWatch.h"
#include "disk/FileSearch.h"
#include "disk/VolumeSource.h"
#include "lending/LendingColors.h"
#include "platform/MountWatcher.h"
#include "platform/SettingsStore.h"
#include "platform/UDisksClient.h"
#include "store/DbError.h"
#include "widgets/DBDateEdit.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/DBLookupComboBox.h"
#include "widgets/DBMemo.h"
#include "widgets/ErrorBox.h"
#include "widgets/IconSet.h"
#include "widgets/Prompt.h"

#include <QAction>
#include <QBoxLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QToolButton>
#include <exception>
#include <utility>

namespace {

constexpr int kRecordHeight = 181;
constexpr int kSideWidth = 85;
constexpr int kBarHeight = 45;
constexpr int kMargin = 8;
const QString ejectName = QStringLiteral("EjectAfterRead");

} // namespace

TfEdtDisk::TfEdtDisk(Catalogue &data, ConnectionSettings &settings, SettingsStore *store,
                     QWidget *parent)
    : QDialog(parent),
      dtGive(data.DefDatabase(), QStringLiteral("dtGive")),
      m_data(data),
      m_settings(settings),
      dtContent(std::make_unique<ContentWriter>(data.DefDatabase(), data.spNextID(),
                                                QStringLiteral("dtContent"))),
      m_search(std::make_unique<FileSearch>(data.DefDatabase(), &data.searchIndex())),
      m_store(store),
      fsEdtDisk(this, store, ConnectionSettings::section + QStringLiteral("\\EdtDisk"))
{
    // Earlier versions kept the layout in a section of its own at the top.
    if (store)
        store->adoptSection(QStringLiteral("EdtDisk"), fsEdtDisk.section());
    setObjectName(QStringLiteral("fEdtDisk"));
    setWindowTitle(QStringLiteral("Носитель в базе"));
    setModal(true);
    setSizeGripEnabled(true);

    setupGive();
    createActions();

    // The widths are pixels for a font with digits 6 pixels wide; a larger font scales them.
    m_scale = qMax<qreal>(1.0, fontMetrics().horizontalAdvance(QLatin1Char('0')) / 6.0);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QWidget *record = createRecordArea();
    layout->addWidget(record);
    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->setHandleWidth(3);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(createLendingArea());
    m_splitter->addWidget(createContentArea());
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 1);
    layout->addWidget(m_splitter, 1);

    m_readWatch = std::make_unique<EditorReadWatch>(this);
    m_reader = std::make_unique<DiskReader>(data, *dtContent, *m_readWatch);
    m_reader->clearTree = [this] { tvDisk->clear(); };

    fsEdtDisk.addStoredProperty(
        QStringLiteral("pContent.Height"), [this] { return contentHeight(); },
        [this](int height) { setContentHeight(height); });

    layoutInitially(record->height());

    // The drive last used; without one, or when it is gone, a disc or a removable volume.
    eDriveCD->setDrive(m_settings.cd.isEmpty() ? eDriveCD->firstDrive() : m_settings.cd);
    // Volumes coming and going show in the picker, but a read in progress keeps its drive.
    m_volumes = std::make_unique<MountWatcher>([] { return VolumeSource::instance().drives(); });
    // The volumes there now are the picker's already: only later changes are followed.
    m_volumes->start();
    connect(m_volumes.get(), &MountWatcher::appeared, this, &TfEdtDisk::volumesChanged);
    connect(m_volumes.get(), &MountWatcher::gone, this, &TfEdtDisk::volumesChanged);

    m_udisks = std::make_unique<UDisksClient>();
    connect(m_udisks.get(), &UDisksClient::listed, this, &TfEdtDisk::updateEject);
    connect(m_udisks.get(), &UDisksClient::ejected, this, &TfEdtDisk::ejected);
    connect(eDriveCD, &QComboBox::currentIndexChanged, this, &TfEdtDisk::updateEject);
    if (m_store)
        cbEject->setChecked(m_store->readBool(ConnectionSettings::section, ejectName, false));
    connect(cbEject, &QCheckBox::toggled, this, [this](bool on) {
        if (m_store)
            m_store->writeBool(ConnectionSettings::section, ejectName, on);
    });
    m_udisks->refresh();

    dtGive.open();
    // A disk's lendings are few: the grid shows them all at once.
    dtGive.fetchAll();
    tvDisk->loadTopLevel();
    tvDisk->expandFirst();
}

TfEdtDisk::~TfEdtDisk()
{
    fsEdtDisk.formDestroying();
    // Unposted lending changes go with the window.
    try {
        dtGive.close();
    } catch (const DbError &) {
        // Closing drops the row; a connection that has gone away has nothing left to keep.
    }
}

void TfEdtDisk::setupGive()
{
    dtGive.setSelectSql({QStringLiteral("select FCOMMENT, FCTRLDATE, FDISKID, FGIVEDATE, FGIVEID, "
                                        "FMANID, FRETDATE from TGIVE where FDISKID=:FDISKID "
                                        "order by FGIVEDATE")});
    dtGive.setInsertSql(QStringLiteral(
        "insert into TGIVE (FCOMMENT, FCTRLDATE, FDISKID, FGIVEDATE, FGIVEID, FMANID, FRETDATE ) "
        "values (:FCOMMENT, :FCTRLDATE, :FDISKID, :FGIVEDATE, :FGIVEID, :FMANID, :FRETDATE )"));
    dtGive.setModifySql(QStringLiteral(
        "update TGIVE set FCOMMENT=:FCOMMENT, FCTRLDATE=:FCTRLDATE, FGIVEDATE=:FGIVEDATE, "
        "FMANID=:FMANID, FRETDATE=:FRETDATE where FGIVEID=:FGIVEID"));
    dtGive.setDeleteSql(QStringLiteral("delete from TGIVE where FGIVEID=:FGIVEID"));
    dtGive.setGeneratorField(QStringLiteral("FGIVEID"));
    dtGive.setMasterSource(&m_data.dtDisk());
    dtGive.addField(FieldDef::column("FCOMMENT", FieldType::String, 255));
    dtGive.addField(FieldDef::column("FCTRLDATE", FieldType::Date));
    dtGive.addField(FieldDef::column("FDISKID", FieldType::Integer, 0, true));
    dtGive.addField(FieldDef::column("FGIVEDATE", FieldType::Date));
    dtGive.addField(FieldDef::column("FGIVEID", FieldType::Integer, 0, true));
    dtGive.addField(FieldDef::column("FMANID", FieldType::Integer, 0, true));
    dtGive.addField(FieldDef::column("FRETDATE", FieldType::Date));
    dtGive.addLookupField(QStringLiteral("FMAN"), 255, QStringLiteral("FMANID"), &m_data.dtMan(),
                          QStringLiteral("FMANID"), QStringLiteral("FNAME"));
    dtGive.beforeInsert = [this](QueryDataSet &ds) { dtGiveBeforeInsert(ds); };
    dtGive.afterInsert = [this](QueryDataSet &ds) { dtGiveAfterInsert(ds); };
}

void TfEdtDisk::dtGiveBeforeInsert(QueryDataSet &)
{
    // A new disk is stored before a lending refers to it, so the lending gets its final key.
    QueryDataSet &disk = m_data.dtDisk();
    if (disk.state() == QueryDataSet::State::Edit || disk.state() == QueryDataSet::State::Insert)
        disk.post();
}

void TfEdtDisk::dtGiveAfterInsert(QueryDataSet &ds)
{
    ds.fieldByName(QStringLiteral("FDISKID"))
        .setValue(m_data.dtDisk().fieldByName(QStringLiteral("FDISKID")).value());
    ds.fieldByName(QStringLiteral("FGIVEDATE")).setDate(QDate::currentDate());
}

void TfEdtDisk::createActions()
{
    auto make = [this](const char *name, const QString &caption, const QString &hint,
                       const QKeySequence &key) {
        auto *action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(name));
        action->setToolTip(hint);
        action->setStatusTip(hint);
        if (!key.isEmpty())
            action->setShortcut(key);
        addAction(action);
        return action;
    };
    aFindFile = make("aFindFile", QStringLiteral("Найти"), QStringLiteral("найти файл"),
                     QKeySequence(Qt::Key_F7));
    aFindFile->setIcon(IconSet::icon(IconSet::Find));
    aRead = make("aRead", QStringLiteral("Читать"),
                 QStringLiteral("Каталогизировать файлы с диска"), QKeySequence(Qt::Key_F2));
    // Esc reaches reject() through the dialog itself, after the grid's editor had its turn.
    aExit = make("aExit", QString(), QString(), QKeySequence());
    aOK = make("aOK", QStringLiteral("OK"), QStringLiteral("OK"),
               QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(aFindFile, &QAction::triggered, this, &TfEdtDisk::aFindFileExecute);
    connect(aRead, &QAction::triggered, this, &TfEdtDisk::aReadExecute);
    connect(aExit, &QAction::triggered, this, &TfEdtDisk::aExitExecute);
    connect(aOK, &QAction::triggered, this, &TfEdtDisk::aOKExecute);
}

QWidget *TfEdtDisk::createRecordArea()
{
    const qreal scale = m_scale;
    auto px = [scale](int width) { return int(width * scale); };
    QueryDataSet *disk = &m_data.dtDisk();

    auto *area = new QWidget(this);
    area->setObjectName(QStringLiteral("pRecord"));
    auto *rows = new QVBoxLayout(area);
    rows->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    rows->setSpacing(4);

    auto newRow = [rows] {
        auto *row = new QHBoxLayout;
        row->setSpacing(4);
        rows->addLayout(row);
        return row;
    };
    // A label for the control and the control, side by side in the row.
    auto add = [area](QHBoxLayout *row, const QString &text, QWidget *control) {
        auto *l = new QLabel(text, area);
        l->setBuddy(control);
        row->addWidget(l);
        row->addWidget(control);
    };
    auto edit = [&](const char *fieldName, int width) {
        auto *e = new DBEdit(area);
        e->setObjectName(QStringLiteral("e") + QString::fromLatin1(fieldName).mid(1));
        e->setField(disk, QString::fromLatin1(fieldName));
        e->setFixedWidth(px(width));
        return e;
    };
    auto lookup = [&](const char *fieldName, QueryDataSet *source, const char *result, int width) {
        auto *c = new DBLookupComboBox(area);
        c->setObjectName(QStringLiteral("c") + QString::fromLatin1(fieldName).mid(1));
        c->setField(disk, QString::fromLatin1(fieldName), source, QString::fromLatin1(fieldName),
                    QString::fromLatin1(result));
        c->setFixedWidth(px(width));
        return c;
    };
    auto date = [&](const char *fieldName, int width) {
        auto *d = new DBDateEdit(area);
        d->setObjectName(QStringLiteral("d") + QString::fromLatin1(fieldName).mid(1));
        d->setField(disk, QString::fromLatin1(fieldName));
        d->setFixedWidth(px(width));
        return d;
    };

    // Widgets are made in the order of the rows, which is the tab order.
    QHBoxLayout *row = newRow();
    DBEdit *name = edit("FNAME", 462);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    add(row, QStringLiteral("Название *"), name);
    row->addStretch();

    row = newRow();
    auto *comment = new DBMemo(area);
    comment->setObjectName(QStringLiteral("eComment"));
    comment->setField(disk, QStringLiteral("FCOMMENT"));
    comment->setFixedWidth(px(530));
    comment->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    comment->setFixedHeight(comment->fontMetrics().lineSpacing() * 2 + 2 * comment->frameWidth()
                            + 8);
    comment->setTabChangesFocus(true);
    row->addWidget(comment);
    row->addStretch();

    row = newRow();
    DBEdit *location = edit("FLOCATION", 497);
    add(row, QStringLiteral("Где"), location);
    row->addStretch();

    row = newRow();
    auto *man = lookup("FMANID", &m_data.dtMan(), "FNAME", 137);
    add(row, QStringLiteral("Владелец *"), man);
    auto *type = lookup("FTYPEID", &m_data.dtType(), "FTYPE", 69);
    add(row, QStringLiteral("Тип"), type);
    auto *group = lookup("FGROUPID", &m_data.dtGroup(), "FGROUP", 161);
    add(row, QStringLiteral("Группа"), group);
    row->addStretch();

    row = newRow();
    auto *got = date("FGETDATE", 105);
    add(row, QStringLiteral("Приобретен"), got);
    auto *lost = date("FDELDATE", 109);
    add(row, QStringLiteral("Утерян"), lost);
    DBEdit *number = edit("FNN", 49);
    add(row, QStringLiteral("№"), number);
    DBEdit *diskIs = edit("FDISKIS", 33);
    add(row, QStringLiteral("диск"), diskIs);
    DBEdit *disks = edit("FDISKS", 33);
    add(row, QStringLiteral("из"), disks);
    row->addStretch();

    row = newRow();
    const std::pair<const char *, const char *> readValues[] = {
        {"FLABEL", "Метка"}, {"FUNIQUE", "Серия"}, {"FFILES", "Файлов"}, {"FFULLSIZE", "Размер"}};
    const int readWidths[] = {85, 85, 77, 89};
    for (int i = 0; i < 4; ++i) {
        DBEdit *e = edit(readValues[i].first, readWidths[i]);
        add(row, QString::fromUtf8(readValues[i].second), e);
    }
    row->addStretch();
    rows->addStretch();

    area->setFixedHeight(qMax(kRecordHeight, area->sizeHint().height()));
    return area;
}

QWidget *TfEdtDisk::createLendingArea()
{
    const qreal scale = m_scale;
    auto *area = new QWidget(this);
    area->setObjectName(QStringLiteral("pGive"));
    auto *layout = new QHBoxLayout(area);
    layout->setContentsMargins(kMargin, 0, kMargin, 0);
    auto *side = new QLabel(QStringLiteral("Был выдан"), area);
    side->setFixedWidth(int(kSideWidth * scale) - kMargin);
    side->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(side);

    DBGridEh1 = new DBGrid(area);
    DBGridEh1->setObjectName(QStringLiteral("DBGridEh1"));
    DBGridEh1->setAppendOnDown(true);
    DBGridEh1->setRowKeys(true);
    QList<DataSetModel::Column> columns;
    columns.append(
        {QStringLiteral("FMAN"), QStringLiteral("Кому выдан"), 114, true, {}, {}, false});
    columns.append(
        {QStringLiteral("FGIVEDATE"), QStringLiteral("Когда"), 74, false, {}, {}, false});
    columns.append(
        {QStringLiteral("FCTRLDATE"), QStringLiteral("Срок до"), 77, false, {}, {}, false});
    columns.append(
        {QStringLiteral("FRETDATE"), QStringLiteral("Вернул"), 81, false, {}, {}, false});
    columns.append(
        {QStringLiteral("FCOMMENT"), QStringLiteral("Комментарий"), 94, true, {}, {}, false});
    DataSetModel *model = DBGridEh1->setDataSet(&dtGive, columns);
    QueryDataSet *give = &dtGive;
    model->setCellColor([give](int row, int column) -> std::optional<QColor> {
        if (column != 2 && column != 3)
            return std::nullopt;
        const QDate deadline
            = give->value(row, give->fieldByName(QStringLiteral("FCTRLDATE")).index()).toDate();
        const QDate returned
            = give->value(row, give->fieldByName(QStringLiteral("FRETDATE")).index()).toDate();
        if (column == 2)
            return LendingColors::deadline(deadline, returned, QDate::currentDate());
        return LendingColors::returned(deadline, returned);
    });
    layout->addWidget(DBGridEh1, 1);
    return area;
}

QWidget *TfEdtDisk::createContentArea()
{
    const qreal scale = m_scale;
    pContent = new QWidget(this);
    pContent->setObjectName(QStringLiteral("pContent"));
    auto *layout = new QVBoxLayout(pContent);
    layout->setContentsMargins(kMargin, 4, kMargin, 0);
    layout->setSpacing(0);

    auto *top = new QHBoxLayout;
    auto *side = new QWidget(pContent);
    side->setFixedWidth(int(kSideWidth * scale) - kMargin);
    auto *sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(new QLabel(QStringLiteral("Содержимое"), side));
    auto *find = new QToolButton(side);
    find->setObjectName(QStringLiteral("bFindFile"));
    find->setDefaultAction(aFindFile);
    find->setAutoRaise(true);
    find->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    sideLayout->addWidget(find);
    sideLayout->addStretch();
    top->addWidget(side);
    tvDisk = new ContentTree(m_data, pContent);
    top->addWidget(tvDisk, 1);
    layout->addLayout(top, 1);

    m_buttonBar = new QWidget(pContent);
    m_buttonBar->setFixedHeight(kBarHeight);
    auto *bar = new QHBoxLayout(m_buttonBar);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addStretch();
    eDriveCD = new DrivePicker(m_buttonBar);
    eDriveCD->setMinimumWidth(int(kSideWidth * scale));
    bar->addWidget(eDriveCD);
    // Shown where the system's disk service answers; usable where it can eject the drive.
    cbEject = new QCheckBox(QStringLiteral("Извлечь"), m_buttonBar);
    cbEject->setObjectName(QStringLiteral("cbEject"));
    cbEject->setToolTip(QStringLiteral("Извлечь диск из привода, когда чтение окончено"));
    cbEject->setVisible(false);
    cbEject->setEnabled(false);
    bar->addWidget(cbEject);
    auto *read = new QPushButton(aRead->text(), m_buttonBar);
    read->setObjectName(QStringLiteral("bRead"));
    read->setToolTip(aRead->toolTip());
    read->setAutoDefault(false);
    connect(read, &QPushButton::clicked, aRead, &QAction::trigger);
    connect(aRead, &QAction::changed, read, [read, this] { read->setEnabled(aRead->isEnabled()); });
    bar->addWidget(read);
    auto *ok = new QPushButton(aOK->text(), m_buttonBar);
    ok->setObjectName(QStringLiteral("bOK"));
    ok->setToolTip(aOK->toolTip());
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, aOK, &QAction::trigger);
    bar->addWidget(ok);
    layout->addWidget(m_buttonBar);
    return pContent;
}

void TfEdtDisk::layoutInitially(int recordHeight)
{
    const qreal scale = m_scale;
    // Wide enough for the name row, the height in the proportion the window was drawn with.
    const int width = int(kSideWidth * scale) + int(462 * scale) + kMargin + 10;
    const int height = qMax(int(width * 0.68), recordHeight + 2 * kBarHeight + 60);
    resize(width, height);
    const int below = height - recordHeight;
    const int content = kBarHeight + (below - kBarHeight) / 2;
    m_splitter->setSizes({below - content - m_splitter->handleWidth(), content});
}

int TfEdtDisk::contentHeight() const
{
    return pContent->height();
}

void TfEdtDisk::setContentHeight(int height)
{
    if (!isVisible()) {
        // The splitter shares out its height only once the window is laid out.
        m_pendingContentHeight = height;
        return;
    }
    const QList<int> sizes = m_splitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    const int content = qBound(kBarHeight, height, qMax(kBarHeight, total - 20));
    m_splitter->setSizes({total - content, content});
}

void TfEdtDisk::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_pendingContentHeight > 0) {
        layout()->activate();
        const int height = std::exchange(m_pendingContentHeight, 0);
        setContentHeight(height);
    }
}

void TfEdtDisk::aOKExecute()
{
    runCommand(this, [this] {
        QueryDataSet &disk = m_data.dtDisk();
        using State = QueryDataSet::State;
        if (disk.state() == State::Edit || disk.state() == State::Insert)
            disk.post();
        if (dtGive.state() == State::Edit || dtGive.state() == State::Insert)
            dtGive.post();
        // dtContent posts each entry as it writes it: nothing of it is ever pending here.
        if (!eDriveCD->drive().isEmpty())
            m_settings.cd = eDriveCD->drive();
        accept();
    });
}

void TfEdtDisk::aExitExecute()
{
    reject();
}

void TfEdtDisk::reject()
{
    if (m_reading)
        return;
    QDialog::reject();
}

void TfEdtDisk::closeEvent(QCloseEvent *event)
{
    if (m_reading) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TfEdtDisk::volumesChanged()
{
    if (!m_reading)
        eDriveCD->updateVolumes(m_volumes->volumes());
    m_udisks->refresh();
}

void TfEdtDisk::updateEject()
{
    cbEject->setVisible(m_udisks->isListed());
    cbEject->setEnabled(m_udisks->canEject(eDriveCD->drive()));
}

void TfEdtDisk::ejected(const QString &mountPoint, const QString &error)
{
    if (error.isEmpty())
        return;
    Prompt::instance().message(
        this,
        QStringLiteral("Диск в %1 не извлечён.\nЗакройте файлы, открытые с него, и извлеките его "
                       "кнопкой на приводе.")
            .arg(mountPoint),
        QStringLiteral("Kodra"), QMessageBox::Warning, QMessageBox::Ok, error);
}

void TfEdtDisk::aReadExecute()
{
    if (m_reading)
        return;
    if (eDriveCD->drive().isEmpty()) {
        Prompt::instance().message(this,
                                   QStringLiteral("Не выбран диск для чтения.\nВыберите его в "
                                                  "списке рядом с кнопкой \"Читать\"."),
                                   QStringLiteral("Kodra"), QMessageBox::Warning, QMessageBox::Ok);
        return;
    }
    QScopedValueRollback<bool> reading(m_reading, true);
    // Every command waits for the read: F7 would load a tree still being written, Ctrl+O
    // close the window under it.
    const QList<QAction *> commands {aFindFile, aRead, aExit, aOK};
    QList<bool> enabled;
    for (QAction *command : commands) {
        enabled << command->isEnabled();
        command->setEnabled(false);
    }
    const auto restore = qScopeGuard([&] {
        for (qsizetype i = 0; i < commands.size(); ++i)
            commands[i]->setEnabled(enabled[i]);
    });
    runCommand(this, [this] {
        DiskReader::Mode mode = DiskReader::Mode::Add;
        if (tvDisk->topLevelItemCount() > 0) {
            const auto answer = Prompt::instance().message(
                this, QStringLiteral("Файлы уже внесены, заменить содержимое ?"),
                QStringLiteral("Заменить ?"), QMessageBox::Question,
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            if (answer != QMessageBox::Yes && answer != QMessageBox::No)
                return;
            mode = answer == QMessageBox::Yes ? DiskReader::Mode::Replace : DiskReader::Mode::Add;
        }
        const int disk = m_data.currentDisk();
        DiskReader::Outcome outcome = DiskReader::Outcome::Declined;
        {
            const auto told = qScopeGuard([this, disk, &outcome] {
                if (outcome != DiskReader::Outcome::Declined || std::uncaught_exceptions() > 0)
                    Q_EMIT contentsRead(disk);
            });
            outcome = m_reader->read(eDriveCD->drive(), mode);
        }
        if (tvDisk->topLevelItemCount() == 0)
            tvDisk->loadTopLevel();
        tvDisk->expandFirst();
        const QString incomplete = DiskReader::incompleteText(
            m_reader->unreadFolders(), m_reader->unreadEntries(), m_reader->replacedNames());
        if (outcome == DiskReader::Outcome::Read && !incomplete.isEmpty())
            Prompt::instance().message(this, incomplete, QStringLiteral("Kodra"),
                                       QMessageBox::Warning, QMessageBox::Ok);
        // Only a read that ran to its end lets the disc go.
        const QString drive = eDriveCD->drive();
        if (outcome == DiskReader::Outcome::Read && !m_reader->wasStopped() && cbEject->isChecked()
            && m_udisks->canEject(drive))
            m_udisks->eject(drive);
    });
    // Volumes that came or went during the read show once it is over.
    QMetaObject::invokeMethod(this, &TfEdtDisk::volumesChanged, Qt::QueuedConnection);
}

void TfEdtDisk::aFindFileExecute()
{
    QString text = m_search->previousText();
    if (!Prompt::instance().input(this, QStringLiteral("Найти файл"),
                                  QStringLiteral("Cодержащий в названии:"), text))
        return;
    runCommand(this, [this, &text] {
        WaitCursor wait;
        const int disk = m_data.currentDisk();
        const std::optional<int> key = m_search->step(disk, text);
        if (!key) {
            Prompt::instance().message(this, QStringLiteral("Ничего не найдено !"),
                                       QStringLiteral("Kodra"), QMessageBox::NoIcon,
                                       QMessageBox::Ok);
            return;
        }
        tvDisk->setUpdatesEnabled(false);
        const auto resume = qScopeGuard([this] { tvDisk->setUpdatesEnabled(true); });
        if (QTreeWidgetItem *node = tvDisk->nodeOf(*key))
            tvDisk->reveal(node);
        if (tvDisk->isEnabled() && tvDisk->isVisible())
            tvDisk->setFocus();
    });
}

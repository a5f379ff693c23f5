#include "cli/CliProgram.h"

#include "admin/CatalogueService.h"
#include "app/ConnectFailure.h"
#include "cli/CliFailure.h"
#include "cli/FolderPath.h"
#include "cli/TerminalReadWatch.h"
#include "cli/TerminalServiceWatch.h"
#include "disk/ContentWriter.h"
#include "disk/DiskReader.h"
#include "disk/VolumeRecognition.h"
#include "disk/VolumeSource.h"
#include "lending/Debtors.h"
#include "reports/FolderStatistics.h"
#include "search/CatalogueSearch.h"
#include "store/Connection.h"
#include "store/DbError.h"
#include "store/FbApi.h"
#include "store/Field.h"
#include "store/QueryDataSet.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

QString tr8(const char *text)
{
    return QString::fromUtf8(text);
}

// The rows of an open dataset, the named fields of each, up to limit rows (0: all).
void writeRows(QueryDataSet &rows, const QStringList &fields, RowWriter &out, qint64 limit = 0)
{
    std::vector<const Field *> at;
    for (const QString &name : fields)
        at.push_back(&rows.fieldByName(name));
    for (rows.first(); !rows.eof(); rows.next()) {
        QVariantList values;
        for (const Field *f : at)
            values << f->value();
        out.write(values);
        if (limit > 0 && out.rows() >= limit)
            break;
    }
}

} // namespace

const std::vector<CliProgram::Command> &CliProgram::table()
{
    static const std::vector<Command> commands {
        {"find", "find TEXT [--disk TEXT] [--limit N]",
         "файлы, имя которых содержит TEXT, как в окне поиска"},
        {"disks", "disks [--folder PATH]", "диски каталога или одной папки"},
        {"folders", "folders", "папки каталога"},
        {"lent", "lent [--overdue] [--not-returned] [--mine | --others]", "выданные диски"},
        {"stat", "stat", "статистика по папкам"},
        {"which", "which MOUNTPOINT", "какой диск каталога смонтирован в MOUNTPOINT"},
        {"read", "read MOUNTPOINT --folder PATH [--name NAME | --disk KEY] [--replace | --add]",
         "прочитать том в новый диск папки или заново в диск KEY"},
        {"backup", "backup FILE [--force]", "резервная копия каталога в FILE"},
        {"restore", "restore FILE [--force]", "восстановить каталог из резервной копии FILE"},
    };
    return commands;
}

QStringList CliProgram::commands()
{
    QStringList names;
    for (const Command &c : table())
        names << QString::fromLatin1(c.name);
    return names;
}

CliProgram::CliProgram(const QStringList &arguments) : m_arguments(arguments) { }

CliProgram::~CliProgram() = default;

QString CliProgram::help()
{
    QString text = tr8("Использование: kodra-cli КОМАНДА [параметры]\n"
                       "Каталог носителей Kodra из терминала и сценариев.\n\nКоманды:\n");
    for (const Command &c : table())
        text += QStringLiteral("  %1\n      %2\n")
                    .arg(QString::fromLatin1(c.synopsis), QString::fromUtf8(c.summary));
    text += tr8("\nОбщие параметры:\n"
                "  --database PATH|host:path  каталог (по умолчанию из настроек Kodra)\n"
                "  --user NAME                пользователь сервера\n"
                "  --password-file FILE       файл с паролем (первая строка)\n"
                "  --format text|csv|json     вид вывода (по умолчанию text)\n"
                "  --help                     справка по команде\n\n"
                "Коды выхода: 0 готово, 1 ошибка, 2 неверный вызов, 3 прочитано не всё,\n"
                "4 ничего не найдено.\n");
    return text;
}

QString CliProgram::commandHelp() const
{
    for (const Command &c : table()) {
        if (m_command == QLatin1String(c.name)) {
            QString text = tr8("Использование: kodra-cli ") + QString::fromLatin1(c.synopsis)
                + QLatin1Char('\n') + QString::fromUtf8(c.summary) + QStringLiteral("\n\n");
            // The parser's own list of options, without its first line.
            QString options = m_parser.helpText();
            const qsizetype start = options.indexOf(QStringLiteral("Options:"));
            if (start >= 0)
                options = options.mid(start);
            options.replace(QStringLiteral("Options:"), tr8("Параметры:"));
            options.replace(QStringLiteral("Arguments:"), tr8("Аргументы:"));
            return text + options;
        }
    }
    return help();
}

void CliProgram::addOptions()
{
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOptions({
        {QStringLiteral("database"), tr8("Каталог: файл или host:path."), QStringLiteral("PATH")},
        {QStringLiteral("user"), tr8("Пользователь сервера."), QStringLiteral("NAME")},
        {QStringLiteral("password-file"), tr8("Файл, первая строка которого - пароль."),
         QStringLiteral("FILE")},
        {QStringLiteral("format"), tr8("Вид вывода: text, csv или json."),
         QStringLiteral("FORMAT")},
        {QStringLiteral("help"), tr8("Справка по команде.")},
    });
    if (m_command == QLatin1String("find")) {
        m_parser.addPositionalArgument(QStringLiteral("TEXT"), tr8("Часть имени файла."));
        m_parser.addOptions({
            {QStringLiteral("disk"), tr8("Часть названия диска."), QStringLiteral("TEXT")},
            {QStringLiteral("limit"), tr8("Не больше N строк."), QStringLiteral("N")},
        });
    } else if (m_command == QLatin1String("disks")) {
        m_parser.addOption(
            {QStringLiteral("folder"), tr8("Только диски этой папки."), QStringLiteral("PATH")});
    } else if (m_command == QLatin1String("lent")) {
        m_parser.addOptions({
            {QStringLiteral("overdue"), tr8("Только просроченные.")},
            {QStringLiteral("not-returned"), tr8("Только не возвращённые.")},
            {QStringLiteral("mine"), tr8("Только мои диски.")},
            {QStringLiteral("others"), tr8("Только чужие диски.")},
        });
    } else if (m_command == QLatin1String("read")) {
        m_parser.addPositionalArgument(QStringLiteral("MOUNTPOINT"), tr8("Точка монтирования."));
        m_parser.addOptions({
            {QStringLiteral("folder"), tr8("Папка нового диска."), QStringLiteral("PATH")},
            {QStringLiteral("name"), tr8("Название нового диска (иначе метка тома)."),
             QStringLiteral("NAME")},
            {QStringLiteral("disk"), tr8("Прочитать заново диск с этим ключом."),
             QStringLiteral("KEY")},
            {QStringLiteral("replace"), tr8("Заменить содержимое диска.")},
            {QStringLiteral("add"), tr8("Добавить к содержимому диска.")},
            {QStringLiteral("progress"), tr8("Показывать ход чтения, даже не в терминале.")},
        });
    } else if (m_command == QLatin1String("backup") || m_command == QLatin1String("restore")) {
        m_parser.addPositionalArgument(QStringLiteral("FILE"), tr8("Файл резервной копии."));
        m_parser.addOptions({
            {QStringLiteral("force"), tr8("Перезаписать существующий файл.")},
            {QStringLiteral("progress"), tr8("Показывать шаги сервера.")},
        });
    } else if (m_command == QLatin1String("which")) {
        m_parser.addPositionalArgument(QStringLiteral("MOUNTPOINT"), tr8("Точка монтирования."));
    }
}

void CliProgram::parse()
{
    if (!m_parser.parse(m_arguments))
        throw CliFailure(CliFailure::Usage, m_parser.errorText());
    if (m_parser.isSet(QStringLiteral("format"))
        && !RowWriter::parseFormat(m_parser.value(QStringLiteral("format")), &m_format))
        throw CliFailure(CliFailure::Usage,
                         tr8("Неизвестный вид вывода \"%1\": укажите text, csv или json.")
                             .arg(m_parser.value(QStringLiteral("format"))));
}

QString CliProgram::positional(int count, const char *what) const
{
    const QStringList args = m_parser.positionalArguments();
    if (count == 0 && args.size() > 1)
        throw CliFailure(CliFailure::Usage,
                         tr8("Команда %1 не принимает аргумента \"%2\": kodra-cli %1 --help.")
                             .arg(m_command, args.at(1)));
    if (args.size() != count + 1)
        throw CliFailure(CliFailure::Usage,
                         tr8("Команде %1 нужен %2: kodra-cli %1 --help.")
                             .arg(m_command, QString::fromUtf8(what)));
    return args.at(count);
}

int CliProgram::run()
{
    try {
        if (m_arguments.size() < 2) {
            std::fputs(help().toUtf8().constData(), stderr);
            return CliFailure::Usage;
        }
        m_command = m_arguments.at(1);
        if (m_command == QLatin1String("--help") || m_command == QLatin1String("-h")
            || m_command == QLatin1String("help")) {
            std::fputs(help().toUtf8().constData(), stdout);
            return 0;
        }
        if (m_command == QLatin1String("--version")) {
            std::printf("kodra-cli %s\n", qPrintable(QCoreApplication::applicationVersion()));
            return 0;
        }
        if (!commands().contains(m_command))
            throw CliFailure(CliFailure::Usage,
                             tr8("Неизвестная команда \"%1\": список команд - kodra-cli --help.")
                                 .arg(m_command));
        addOptions();
        parse();
        if (m_parser.isSet(QStringLiteral("help"))) {
            std::fputs(commandHelp().toUtf8().constData(), stdout);
            return 0;
        }
        if (m_command == QLatin1String("find"))
            return find();
        if (m_command == QLatin1String("disks"))
            return disks();
        if (m_command == QLatin1String("folders"))
            return folders();
        if (m_command == QLatin1String("lent"))
            return lent();
        if (m_command == QLatin1String("stat"))
            return stat();
        if (m_command == QLatin1String("read"))
            return read();
        if (m_command == QLatin1String("backup"))
            return backup();
        if (m_command == QLatin1String("restore"))
            return restore();
        return which();
    } catch (const CliFailure &f) {
        std::fprintf(stderr, "kodra-cli: %s\n", f.message().toUtf8().constData());
        return f.code();
    } catch (const DbError &e) {
        std::fprintf(stderr, "kodra-cli: %s\n", e.text().toUtf8().constData());
        return CliFailure::Error;
    }
}

bool CliProgram::showProgress() const
{
    return m_parser.isSet(QStringLiteral("progress")) || ::isatty(STDERR_FILENO) == 1;
}

void CliProgram::readSettings()
{
    if (!FbClient::isAvailable())
        throw CliFailure(CliFailure::Error,
                         tr8("Не найдена клиентская библиотека Firebird: установите пакет "
                             "libfbclient2."),
                         FbClient::loadError());
    m_store = std::make_unique<SettingsStore>();
    m_data = std::make_unique<Catalogue>();
    m_session = std::make_unique<CatalogueSession>(*m_data, *m_store);
    m_session->readSettings();
    ConnectionSettings &settings = m_session->settings();
    if (m_parser.isSet(QStringLiteral("database")))
        settings.databaseName = m_parser.value(QStringLiteral("database"));
    if (m_parser.isSet(QStringLiteral("user")))
        settings.userName = m_parser.value(QStringLiteral("user"));
    if (m_parser.isSet(QStringLiteral("password-file"))) {
        const QString name = m_parser.value(QStringLiteral("password-file"));
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly))
            throw CliFailure(CliFailure::Error,
                             tr8("Не удаётся прочитать файл пароля \"%1\": проверьте путь и "
                                 "права на файл.")
                                 .arg(name),
                             file.errorString());
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        settings.userPass = QString::fromUtf8(line);
    }
    if (settings.databasePath().isEmpty())
        throw CliFailure(CliFailure::Error,
                         tr8("Каталог не указан: запустите kodra и настройте базу или укажите "
                             "--database."));
}

void CliProgram::connect(bool withIndex)
{
    if (!m_session)
        readSettings();
    if (!withIndex)
        QObject::disconnect(&m_data->DefDatabase(), &Connection::afterConnect, m_data.get(),
                            nullptr);
    const ConnectionSettings &settings = m_session->settings();
    const QString path = settings.databasePath();
    try {
        if (!m_session->open())
            throw CliFailure(CliFailure::Error,
                             CatalogueSession::wrongVersionText(m_session->foundVersion()));
    } catch (const DbError &e) {
        const ConnectFailure failure = ConnectFailure::explain(path, e);
        throw CliFailure(CliFailure::Error, failure.text, failure.details);
    }
}

RowWriter CliProgram::writer(QList<RowWriter::Column> columns) const
{
    return RowWriter(m_format, std::move(columns));
}

int CliProgram::folderOption(const char *option)
{
    const QString path = m_parser.value(QString::fromLatin1(option));
    const int id = FolderPath::resolve(m_data->DefDatabase(), path);
    if (id == 0)
        throw CliFailure(
            CliFailure::Error,
            tr8("Папки \"%1\" нет в каталоге: список папок - kodra-cli folders.").arg(path));
    return id;
}

int CliProgram::find()
{
    const QString text = positional(1, "текст для поиска");
    qint64 limit = 0;
    if (m_parser.isSet(QStringLiteral("limit"))) {
        bool ok = false;
        limit = m_parser.value(QStringLiteral("limit")).toLongLong(&ok);
        if (!ok || limit <= 0)
            throw CliFailure(CliFailure::Usage,
                             tr8("--limit ждёт целое число больше нуля, а не \"%1\".")
                                 .arg(m_parser.value(QStringLiteral("limit"))));
    }
    connect(true);
    CatalogueSearch search(m_data->DefDatabase(), &m_data->searchIndex());
    search.find(text, m_parser.value(QStringLiteral("disk")));
    RowWriter out = writer({{QStringLiteral("folder"), tr8("Папка")},
                            {QStringLiteral("disk"), tr8("Диск")},
                            {QStringLiteral("comment"), tr8("Содержание")},
                            {QStringLiteral("acquired"), tr8("Приобретен")},
                            {QStringLiteral("file"), tr8("Файл")},
                            {QStringLiteral("date"), tr8("Дата")},
                            {QStringLiteral("size"), tr8("Размер")}});
    writeRows(search.results(),
              {QStringLiteral("FFOLDERFULL"), QStringLiteral("FDISK"),
               QStringLiteral("FDISKCOMMENT"), QStringLiteral("FDISKDATE"),
               QStringLiteral("FCONTENTFULL"), QStringLiteral("FCONTENTDATE"),
               QStringLiteral("FCONTENTSIZE")},
              out, limit);
    const qint64 rows = out.finish();
    search.results().close();
    // A build the search started goes on to its end, so that the next search is answered
    // by the index; the rows are out already.
    SearchIndex &index = m_data->searchIndex();
    if (index.isBuilding()) {
        QEventLoop loop;
        QObject::connect(&index, &SearchIndex::backgroundDone, &loop, &QEventLoop::quit);
        if (index.isBuilding())
            loop.exec();
    }
    return rows > 0 ? 0 : CliFailure::NothingFound;
}

int CliProgram::disks()
{
    positional(0, "");
    connect();
    QueryDataSet rows(m_data->DefDatabase(), QStringLiteral("dtDisks"));
    QStringList sql {QStringLiteral(
        "select d.FDISKID, f.FFOLDERFULL, d.FNN, d.FNAME, d.FLABEL, d.FUNIQUE, d.FFILES, "
        "d.FFULLSIZE, "
        "d.FGETDATE, d.FCOMMENT from TDISK d left join GETFOLDERFULL(d.FFOLDERID) f on "
        "d.FDISKID is not null")};
    if (m_parser.isSet(QStringLiteral("folder"))) {
        const int folder = folderOption("folder");
        sql << QStringLiteral("where d.FFOLDERID = :FOLDER");
        rows.setSelectSql(sql << QStringLiteral("order by f.FFOLDERFULL, d.FNN, d.FNAME"));
        rows.setParam(QStringLiteral("FOLDER"), folder);
    } else {
        rows.setSelectSql(sql << QStringLiteral("order by f.FFOLDERFULL, d.FNN, d.FNAME"));
    }
    rows.open();
    RowWriter out = writer({{QStringLiteral("key"), tr8("Ключ")},
                            {QStringLiteral("folder"), tr8("Папка")},
                            {QStringLiteral("number"), tr8("№")},
                            {QStringLiteral("name"), tr8("Диск")},
                            {QStringLiteral("label"), tr8("Метка")},
                            {QStringLiteral("serial"), tr8("Серийный номер")},
                            {QStringLiteral("files"), tr8("Файлов")},
                            {QStringLiteral("size"), tr8("Объём")},
                            {QStringLiteral("acquired"), tr8("Приобретен")},
                            {QStringLiteral("comment"), tr8("Содержание")}});
    writeRows(rows,
              {QStringLiteral("FDISKID"), QStringLiteral("FFOLDERFULL"), QStringLiteral("FNN"),
               QStringLiteral("FNAME"), QStringLiteral("FLABEL"), QStringLiteral("FUNIQUE"),
               QStringLiteral("FFILES"), QStringLiteral("FFULLSIZE"), QStringLiteral("FGETDATE"),
               QStringLiteral("FCOMMENT")},
              out);
    out.finish();
    return 0;
}

int CliProgram::folders()
{
    positional(0, "");
    connect();
    QueryDataSet rows(m_data->DefDatabase(), QStringLiteral("dtFolders"));
    rows.setSelectSql({QStringLiteral(
        "select f.FFOLDERFULL, (select count(*) from TDISK d where d.FFOLDERID = t.FFOLDERID) "
        "FDISKS from TFOLDER t left join GETFOLDERFULL(t.FFOLDERID) f on t.FFOLDERID is not "
        "null order by f.FFOLDERFULL")});
    rows.open();
    RowWriter out = writer(
        {{QStringLiteral("folder"), tr8("Папка")}, {QStringLiteral("disks"), tr8("Дисков")}});
    writeRows(rows, {QStringLiteral("FFOLDERFULL"), QStringLiteral("FDISKS")}, out);
    out.finish();
    return 0;
}

int CliProgram::lent()
{
    positional(0, "");
    if (m_parser.isSet(QStringLiteral("mine")) && m_parser.isSet(QStringLiteral("others")))
        throw CliFailure(CliFailure::Usage, tr8("Укажите что-то одно: --mine или --others."));
    connect();
    Debtors debtors(m_data->DefDatabase());
    const std::pair<const char *, Debtors::Filter> filters[] = {
        {"others", Debtors::NotMine},
        {"mine", Debtors::Mine},
        {"not-returned", Debtors::NotReturned},
        {"overdue", Debtors::Overdue},
    };
    for (const auto &[option, filter] : filters) {
        if (m_parser.isSet(QString::fromLatin1(option)))
            debtors.toggle(filter);
    }
    debtors.open();
    RowWriter out = writer({{QStringLiteral("folder"), tr8("Папка")},
                            {QStringLiteral("type"), tr8("Тип")},
                            {QStringLiteral("number"), tr8("№")},
                            {QStringLiteral("disk"), tr8("Диск")},
                            {QStringLiteral("owner"), tr8("Владелец")},
                            {QStringLiteral("borrower"), tr8("Кому")},
                            {QStringLiteral("given"), tr8("Выдан")},
                            {QStringLiteral("due"), tr8("До")},
                            {QStringLiteral("returned"), tr8("Вернул")}});
    writeRows(debtors.rows(),
              {QStringLiteral("FFOLDERFULL"), QStringLiteral("FTYPE"), QStringLiteral("FNN"),
               QStringLiteral("FDISKNAME"), QStringLiteral("FOWNNAME"), QStringLiteral("FNAME"),
               QStringLiteral("FGIVEDATE"), QStringLiteral("FCTRLDATE"),
               QStringLiteral("FRETDATE")},
              out);
    out.finish();
    return 0;
}

int CliProgram::stat()
{
    positional(0, "");
    connect();
    FolderStatistics statistics(m_data->DefDatabase());
    statistics.rows().open();
    RowWriter out = writer({{QStringLiteral("folder"), tr8("Папка")},
                            {QStringLiteral("disks"), tr8("Носителей, шт")},
                            {QStringLiteral("files"), tr8("Файлов, шт")},
                            {QStringLiteral("bytes"), tr8("Объем, байт")}});
    writeRows(statistics.rows(),
              {QStringLiteral("FFOLDERFULL"), QStringLiteral("FCNTDISK"),
               QStringLiteral("FSUMFILES"), QStringLiteral("FSUMSIZE")},
              out);
    out.finish();
    return 0;
}

int CliProgram::which()
{
    const QString mountPoint = positional(1, "путь к точке монтирования");
    if (!QFileInfo(mountPoint).isDir())
        throw CliFailure(CliFailure::Error,
                         tr8("Папки \"%1\" нет: укажите точку монтирования тома.").arg(mountPoint));
    connect();
    const VolumeRecognition::Volume volume
        = VolumeRecognition::recognise(m_data->DefDatabase(), mountPoint);
    RowWriter out = writer({{QStringLiteral("key"), tr8("Ключ")},
                            {QStringLiteral("folder"), tr8("Папка")},
                            {QStringLiteral("disk"), tr8("Диск")},
                            {QStringLiteral("label"), tr8("Метка")},
                            {QStringLiteral("serial"), tr8("Серийный номер")}});
    for (const VolumeRecognition::Disk &disk : volume.disks)
        out.write({disk.diskId, disk.folderPath, disk.name, volume.label, volume.serial});
    out.finish();
    if (volume.disks.isEmpty()) {
        std::fprintf(stderr, "kodra-cli: %s: %s\n", mountPoint.toUtf8().constData(),
                     VolumeRecognition::describe(volume).toUtf8().constData());
        return CliFailure::NothingFound;
    }
    return 0;
}

int CliProgram::read()
{
    const QString mountPoint = positional(1, "путь к точке монтирования");
    const bool replace = m_parser.isSet(QStringLiteral("replace"));
    const bool add = m_parser.isSet(QStringLiteral("add"));
    const bool existing = m_parser.isSet(QStringLiteral("disk"));
    if (replace && add)
        throw CliFailure(CliFailure::Usage, tr8("Укажите что-то одно: --replace или --add."));
    if (existing && m_parser.isSet(QStringLiteral("name")))
        throw CliFailure(CliFailure::Usage, tr8("Укажите что-то одно: --name или --disk."));
    if (!existing && !m_parser.isSet(QStringLiteral("folder")))
        throw CliFailure(CliFailure::Usage,
                         tr8("Укажите папку нового диска: --folder PATH (или --disk KEY)."));
    int diskId = 0;
    if (existing) {
        bool ok = false;
        diskId = m_parser.value(QStringLiteral("disk")).toInt(&ok);
        if (!ok || diskId <= 0)
            throw CliFailure(CliFailure::Usage,
                             tr8("--disk ждёт ключ диска (число), а не \"%1\".")
                                 .arg(m_parser.value(QStringLiteral("disk"))));
    }
    if (!QFileInfo(mountPoint).isDir())
        throw CliFailure(CliFailure::Error,
                         tr8("Папки \"%1\" нет: укажите точку монтирования тома.").arg(mountPoint));
    // The client library loaded, then the handlers, then the first attachment: the client
    // chains the handlers it finds.
    readSettings();
    TerminalReadWatch watch(showProgress());
    connect(true);
    Catalogue &data = *m_data;
    QueryDataSet &folders = data.dtFolder();
    QueryDataSet &disks = data.dtDisk();
    folders.open();
    int folderId = 0;
    if (existing) {
        const QList<QVariantList> found = [&] {
            QueryDataSet disk(data.DefDatabase(), QStringLiteral("dtReadDisk"));
            disk.setSelectSql({QStringLiteral(
                "select FFOLDERID, (select count(*) from TCONTENT c where c.FDISKID = d.FDISKID) "
                "FENTRIES from TDISK d where FDISKID = :ID")});
            disk.setParam(QStringLiteral("ID"), diskId);
            disk.open();
            QList<QVariantList> rows;
            for (disk.first(); !disk.eof(); disk.next())
                rows.append({disk.fieldByName(QStringLiteral("FFOLDERID")).value(),
                             disk.fieldByName(QStringLiteral("FENTRIES")).value()});
            disk.close();
            return rows;
        }();
        if (found.isEmpty())
            throw CliFailure(CliFailure::Error,
                             tr8("Диска с ключом %1 нет в каталоге: ключи дисков - kodra-cli "
                                 "disks.")
                                 .arg(diskId));
        folderId = found.first().at(0).toInt();
        if (m_parser.isSet(QStringLiteral("folder")) && folderOption("folder") != folderId)
            throw CliFailure(CliFailure::Error,
                             tr8("Диск %1 лежит не в папке \"%2\".")
                                 .arg(diskId)
                                 .arg(m_parser.value(QStringLiteral("folder"))));
        // As the editor asks before it reads a disk that has contents.
        if (found.first().at(1).toLongLong() > 0 && !replace && !add)
            throw CliFailure(CliFailure::Usage,
                             tr8("Файлы диска %1 уже внесены: укажите --replace, чтобы заменить "
                                 "содержимое, или --add, чтобы добавить к нему.")
                                 .arg(diskId));
    } else {
        folderId = folderOption("folder");
    }
    folders.locate(QStringLiteral("FFOLDERID"), folderId);
    disks.open();
    if (existing) {
        if (!disks.locate(QStringLiteral("FDISKID"), diskId))
            throw CliFailure(CliFailure::Error,
                             tr8("Диск %1 не удалось открыть в его папке.").arg(diskId));
    } else {
        // A new disk as the main window starts one: in the folder, mine, named after the
        // volume's label unless a name is given.
        QString name = m_parser.value(QStringLiteral("name"));
        if (name.isEmpty()) {
            const QString label = VolumeSource::instance().info(mountPoint).label;
            name = label.isEmpty()
                ? QFileInfo(mountPoint).absoluteFilePath().section(QLatin1Char('/'), -1)
                : label;
        }
        if (name.isEmpty())
            name = mountPoint;
        disks.afterInsert = [&](QueryDataSet &ds) {
            ds.fieldByName(QStringLiteral("FFOLDERID")).setInteger(folderId);
            ds.fieldByName(QStringLiteral("FMANID")).setInteger(1);
            ds.fieldByName(QStringLiteral("FNAME")).setString(name);
        };
        disks.insert();
    }
    ContentWriter dtContent(data.DefDatabase(), data.spNextID(), QStringLiteral("dtContent"));
    DiskReader reader(data, dtContent, watch);
    const DiskReader::Mode mode = add ? DiskReader::Mode::Add : DiskReader::Mode::Replace;
    try {
        reader.read(mountPoint, mode);
        data.DefDatabase().transaction().commit();
    } catch (const DbError &e) {
        if (disks.state() == QueryDataSet::State::Insert)
            disks.cancel();
        throw CliFailure(CliFailure::Error, tr8("Чтение \"%1\" не удалось.").arg(mountPoint),
                         e.text());
    }
    const int key = data.currentDisk();
    std::printf("%d\n", key);
    std::fflush(stdout);
    // Told to end: the next search brings the index up to date.
    if (watch.signal() != 0)
        return 128 + watch.signal();
    // As after the editor's read: the index takes the disk in, here before the program ends.
    SearchIndex &index = data.searchIndex();
    index.refreshInBackground();
    if (index.isBuilding()) {
        QEventLoop loop;
        QObject::connect(&index, &SearchIndex::backgroundDone, &loop, &QEventLoop::quit);
        if (index.isBuilding())
            loop.exec();
    }
    const QString incomplete = DiskReader::incompleteText(
        reader.unreadFolders(), reader.unreadEntries(), reader.replacedNames());
    if (!incomplete.isEmpty()) {
        std::fprintf(stderr, "kodra-cli: %s\n", incomplete.toUtf8().constData());
        return CliFailure::Incomplete;
    }
    return 0;
}

int CliProgram::backup()
{
    const QString file = positional(1, "файл резервной копии");
    readSettings();
    const ConnectionSettings &settings = m_session->settings();
    const QString database = settings.databasePath();
    const bool local = Connection::isLocalPath(database);
    if (local && !QFileInfo::exists(database))
        throw CliFailure(CliFailure::Error,
                         tr8("Файл базы не найден: %1. Нечего резервировать.").arg(database));
    if (QFileInfo::exists(file) && !m_parser.isSet(QStringLiteral("force")))
        throw CliFailure(CliFailure::Error,
                         tr8("Файл резервной копии %1 уже есть: добавьте --force, чтобы "
                             "перезаписать его.")
                             .arg(file));
    LocalCatalogueGuard guard;
    if (local)
        guard.take(database);
    TerminalServiceWatch watch(showProgress());
    CatalogueService service(&watch);
    try {
        service.attach(database, settings.userName, settings.userPass);
        service.backup(database, QFileInfo(file).absoluteFilePath());
        service.detachQuietly();
    } catch (const DbError &e) {
        const ConnectFailure failure = ConnectFailure::explain(database, e);
        throw CliFailure(CliFailure::Error,
                         tr8("Резервное копирование не удалось: %1").arg(failure.text), e.text());
    }
    std::printf(
        "%s\n",
        tr8("ОК. Резервное копирование выполнено успешно: %1").arg(file).toUtf8().constData());
    return 0;
}

int CliProgram::restore()
{
    const QString file = positional(1, "файл резервной копии");
    readSettings();
    const ConnectionSettings &settings = m_session->settings();
    const QString database = settings.databasePath();
    const bool local = Connection::isLocalPath(database);
    if (!QFileInfo::exists(file))
        throw CliFailure(
            CliFailure::Error,
            tr8("Файл резервной копии не найден: %1. Неоткуда восстанавливать.").arg(file));
    if (CatalogueService::exists(database, settings.userName, settings.userPass)
        && !m_parser.isSet(QStringLiteral("force")))
        throw CliFailure(CliFailure::Error,
                         tr8("Каталог %1 уже есть: добавьте --force, чтобы заменить его "
                             "восстановленным.")
                             .arg(database));
    LocalCatalogueGuard guard;
    if (local && QFileInfo::exists(database))
        guard.take(database);
    TerminalServiceWatch watch(showProgress());
    CatalogueService service(&watch);
    try {
        service.attach(database, settings.userName, settings.userPass);
        service.restore(QFileInfo(file).absoluteFilePath(), database);
        service.detachQuietly();
    } catch (const DbError &e) {
        throw CliFailure(CliFailure::Error,
                         tr8("Восстановление из резервной копии не удалось; каталог остался "
                             "прежним."),
                         e.text());
    }
    std::printf("%s\n",
                tr8("ОК. Восстановление из резервной копии выполнено успешно: %1")
                    .arg(database)
                    .toUtf8()
                    .constData());
    return 0;
}

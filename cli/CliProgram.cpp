#include "cli/CliProgram.h"

#include "app/ConnectFailure.h"
#include "cli/CliFailure.h"
#include "cli/FolderPath.h"
#include "disk/VolumeRecognition.h"
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
        return which();
    } catch (const CliFailure &f) {
        std::fprintf(stderr, "kodra-cli: %s\n", f.message().toUtf8().constData());
        return f.code();
    } catch (const DbError &e) {
        std::fprintf(stderr, "kodra-cli: %s\n", e.text().toUtf8().constData());
        return CliFailure::Error;
    }
}

void CliProgram::connect()
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
    connect();
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
        "select f.FFOLDERFULL, d.FNN, d.FNAME, d.FLABEL, d.FUNIQUE, d.FFILES, d.FFULLSIZE, "
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
    RowWriter out = writer({{QStringLiteral("folder"), tr8("Папка")},
                            {QStringLiteral("number"), tr8("№")},
                            {QStringLiteral("name"), tr8("Диск")},
                            {QStringLiteral("label"), tr8("Метка")},
                            {QStringLiteral("serial"), tr8("Серийный номер")},
                            {QStringLiteral("files"), tr8("Файлов")},
                            {QStringLiteral("size"), tr8("Объём")},
                            {QStringLiteral("acquired"), tr8("Приобретен")},
                            {QStringLiteral("comment"), tr8("Содержание")}});
    writeRows(rows,
              {QStringLiteral("FFOLDERFULL"), QStringLiteral("FNN"), QStringLiteral("FNAME"),
               QStringLiteral("FLABEL"), QStringLiteral("FUNIQUE"), QStringLiteral("FFILES"),
               QStringLiteral("FFULLSIZE"), QStringLiteral("FGETDATE"), QStringLiteral("FCOMMENT")},
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
    RowWriter out = writer({{QStringLiteral("folder"), tr8("Папка")},
                            {QStringLiteral("disk"), tr8("Диск")},
                            {QStringLiteral("label"), tr8("Метка")},
                            {QStringLiteral("serial"), tr8("Серийный номер")}});
    for (const VolumeRecognition::Disk &disk : volume.disks)
        out.write({disk.folderPath, disk.name, volume.label, volume.serial});
    out.finish();
    if (volume.disks.isEmpty()) {
        std::fprintf(stderr, "kodra-cli: %s: %s\n", mountPoint.toUtf8().constData(),
                     VolumeRecognition::describe(volume).toUtf8().constData());
        return CliFailure::NothingFound;
    }
    return 0;
}

#pragma once

// The large generated catalogue the search benchmarks share: disks of 1,000 entries (a root,
// 50 folders, 949 files) named from a vocabulary of English and Russian words, one rare file
// ("Zanzibar N.doc") on every 1000th disk, and the flat file of the same names grep reads.

#include "store/Connection.h"
#include "store/Statement.h"
#include "tests/support/TestCatalogue.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <iterator>

namespace BenchCatalogue {

inline constexpr int kEntriesPerDisk = 1000;
inline constexpr int kDisksPerBlock = 200;

// Words of file and folder names; each padded to 12 characters so that PSQL picks one by
// position.
inline const char *const kWords[]
    = {"Музыка",  "Фото",    "Отпуск",  "Документы", "Проект",  "Отчёт",  "Лето",    "Зима",
       "Дача",    "Свадьба", "Концерт", "Альбом",    "Песня",   "Фильм",  "Сериал",  "Книга",
       "Письмо",  "Договор", "Счёт",    "Школа",     "Работа",  "Москва", "Питер",   "Море",
       "Горы",    "Семья",   "Дети",    "Кошка",     "Собака",  "Рецепт", "Сканы",   "Архив",
       "Backup",  "Photos",  "Music",   "Holiday",   "Summer",  "Winter", "Project", "Report",
       "Invoice", "Letter",  "Movie",   "Season",    "Episode", "Track",  "Album",   "Live",
       "Remix",   "Setup",   "Install", "Driver",    "Update",  "Manual", "Scan",    "Image",
       "Video",   "Camera",  "Phone",   "Party",     "Wedding", "Travel", "Beach",   "Mountain"};
inline const char *const kExtensions[]
    = {"mp3", "jpg", "txt", "pdf", "avi", "flac", "doc",  "png",
       "mkv", "zip", "xls", "exe", "mp4", "ogg",  "docx", "jpeg"};

inline QString padded(const char *const *words, int count, int width)
{
    QString all;
    for (int i = 0; i < count; ++i)
        all += QString::fromUtf8(words[i]).leftJustified(width, QLatin1Char(' '));
    return all;
}

// Disks [first, first + count): a root entry, 50 folders and 949 files each, the files of a
// folder together as a reading stores them. One file on every 1000th disk (on one disk of a
// smaller catalogue) is the rare one.
inline QString blockSql(int first, int count, int disks)
{
    const int words = int(std::size(kWords));
    const int exts = int(std::size(kExtensions));
    return QStringLiteral(
               "execute block as "
               "declare d integer; declare i integer; declare b integer; "
               "declare x bigint; declare w1 integer; declare w2 integer; declare e integer; "
               "declare v varchar(1000) = '%1'; declare t varchar(100) = '%2'; "
               "declare n varchar(200); "
               "begin d = %3; x = %3 + 7; while (d < %4) do begin "
               "insert into TDISK (FDISKID, FFOLDERID, FMANID, FNAME, FNN, FCOMMENT, FGETDATE) "
               "values (:d, 901 + mod(:d, 50), 1, 'Диск ' || :d, :d, 'Сборник', '2021-01-01'); "
               "b = 100000 + :d * %5; "
               "insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, FCONTENT, "
               "FSIZE, FDATE) values (:b, :d, null, 2, '/media/cdrom: DISK' || :d, 0, "
               "'2021-01-01 00:00:00'); "
               "i = 1; while (i < %5) do begin "
               "x = mod(x * 1103515245 + 12345, 2147483648); "
               "w1 = mod(x / 65536, %6); w2 = mod(x / 16, %6); e = mod(x / 1024, %7); "
               "if (i <= 50) then "
               "insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, FCONTENT, "
               "FSIZE, FDATE) values (:b + :i, :d, :b, 1, "
               "trim(substring(:v from :w1 * 12 + 1 for 12)) || ' ' || (1990 + mod(:x, 35)), "
               "0, '2020-01-01 00:00:00'); "
               "else begin "
               "if (mod(:d, 1000) = %8 and i = 777) then n = 'Zanzibar ' || :d || '.doc'; "
               "else n = trim(substring(:v from :w1 * 12 + 1 for 12)) || '_' || "
               "trim(substring(:v from :w2 * 12 + 1 for 12)) || ' ' || :i || '.' || "
               "trim(substring(:t from :e * 5 + 1 for 5)); "
               "insert into TCONTENT (FCONTENTID, FDISKID, FOWNCONTENTID, FTYPE, FCONTENT, "
               "FSIZE, FDATE) values (:b + :i, :d, :b + 1 + (:i - 51) / 19, 0, :n, "
               "1000 + :i, '2021-02-03 04:05:06'); end "
               "i = i + 1; end d = d + 1; end end")
        .arg(padded(kWords, words, 12), padded(kExtensions, exts, 5))
        .arg(first)
        .arg(first + count)
        .arg(kEntriesPerDisk)
        .arg(words)
        .arg(exts)
        .arg(377 % std::min(disks, 1000));
}

inline void build(const TestCatalogue &cat, int disks)
{
    QStringList folders {QStringLiteral("insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) "
                                        "values (900, 'Архив', 0)")};
    folders << QStringLiteral("execute block as declare f integer = 0; begin while (f < 50) do "
                              "begin insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) "
                              "values (901 + :f, 'Полка ' || :f, 900); f = f + 1; end end");
    cat.exec(folders);
    for (int first = 0; first < disks; first += kDisksPerBlock)
        cat.exec({blockSql(first, std::min(kDisksPerBlock, disks - first), disks)});
    cat.exec({QStringLiteral("alter sequence SQ_MAIN restart with 2000000000")});
}

// Every content name of the catalogue, one a line, into file.
inline bool writeNames(Connection &db, const QString &file)
{
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (!db.transaction().isActive())
        db.transaction().start();
    Statement s(db);
    s.prepare(QStringLiteral("select FCONTENT from TCONTENT"));
    s.execute();
    QByteArray chunk;
    while (s.fetch()) {
        chunk += s.value(0).toString().toUtf8();
        chunk += '\n';
        if (chunk.size() > (1 << 20)) {
            out.write(chunk);
            chunk.clear();
        }
    }
    out.write(chunk);
    return true;
}

} // namespace BenchCatalogue

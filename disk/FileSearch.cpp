#include "disk/FileSearch.h"

#include "store/QueryDataSet.h"

#include <QLocale>

FileSearch::FileSearch(Connection &connection)
    : dtFindFile(std::make_unique<QueryDataSet>(connection, QStringLiteral("dtFindFile")))
{
    dtFindFile->setSelectSql(
        {QStringLiteral("select FCONTENTID from FINDFILE(:VDISKID,:VCONTENT)")});
}

FileSearch::~FileSearch() = default;

std::optional<int> FileSearch::step(int diskId, const QString &text)
{
    QueryDataSet &find = *dtFindFile;
    bool found = false;
    if (find.isOpen() && text == m_previous) {
        find.next();
        found = !find.eof();
    } else {
        find.close();
        find.setParam(QStringLiteral("VDISKID"), diskId);
        find.setParam(QStringLiteral("VCONTENT"), QLocale().toUpper(text));
        find.open();
        found = !find.isEmpty();
    }
    m_previous = text;
    if (!found) {
        find.close();
        return std::nullopt;
    }
    return find.fieldByName(QStringLiteral("FCONTENTID")).asInteger();
}

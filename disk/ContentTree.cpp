#include "disk/ContentTree.h"

#include "app/Catalogue.h"
#include "widgets/ErrorBox.h"
#include "widgets/IconSet.h"

#include <QHeaderView>
#include <QLocale>
#include <QScopeGuard>
#include <QSet>
#include <QStyle>

ContentTree::ContentTree(Catalogue &data, QWidget *parent)
    : QTreeWidget(parent),
      m_data(data),
      dtContentBranch(
          std::make_unique<QueryDataSet>(data.DefDatabase(), QStringLiteral("dtContentBranch"))),
      ibsGetOwner(std::make_unique<SqlStatement>(data.DefDatabase(), QStringLiteral("ibsGetOwner")))
{
    setObjectName(QStringLiteral("tvDisk"));
    setHeaderHidden(true);
    setColumnCount(1);
    setIndentation(19);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    setIconSize(QSize(16, 16));
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);

    m_images[0] = style()->standardIcon(QStyle::SP_FileIcon);
    m_images[1] = IconSet::icon(IconSet::FolderOpen);
    m_images[2] = style()->standardIcon(QStyle::SP_DriveHDIcon);

    dtContentBranch->setSelectSql(
        {QStringLiteral("select FCONTENT, FCONTENTID, FDATE, FSIZE, FTYPE from "
                        "GETCONTENTBRANCH(:FDISKID,:FOWNCONTENTID)")});
    ibsGetOwner->setSql(QStringLiteral("select FCONTENTID, FOWNCONTENTID from TCONTENT where "
                                       "FDISKID=:FDISKID and FCONTENTID=:FCONTENTID"));

    connect(this, &QTreeWidget::itemExpanded, this, &ContentTree::nodeExpanded);
}

ContentTree::~ContentTree() = default;

int ContentTree::keyOf(const QTreeWidgetItem *node)
{
    return node ? node->data(0, KeyRole).toInt() : 0;
}

QString ContentTree::dateText(const QDateTime &date)
{
    if (!date.isValid())
        return {};
    const QLocale locale;
    const QString day = locale.toString(date.date(), QLocale::ShortFormat);
    if (date.time() == QTime(0, 0))
        return day;
    // Qt's long time form ends with the time zone, which a stored local time does not have.
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    format = format.trimmed();
    return day + QLatin1Char(' ') + locale.toString(date.time(), format);
}

QString ContentTree::nodeText(const QString &name, int type, const QDateTime &date, double size)
{
    QString text = name + QStringLiteral("   ") + dateText(date);
    if (type <= 0)
        text += QStringLiteral(", ") + QString::number(qint64(size));
    return text;
}

int ContentTree::currentDisk() const
{
    const QueryDataSet &disk = m_data.dtDisk();
    if (!disk.isOpen() || disk.currentRow() < 0)
        return 0;
    return disk.fieldByName(QStringLiteral("FDISKID")).asInteger();
}

void ContentTree::loadChildren(QTreeWidgetItem *node, int owner)
{
    if (node ? node->data(0, LoadedRole).toBool() || node->childCount() > 0
             : topLevelItemCount() > 0)
        return;
    WaitCursor wait;
    setUpdatesEnabled(false);
    const auto resume = qScopeGuard([this] { setUpdatesEnabled(true); });

    QueryDataSet &branch = *dtContentBranch;
    branch.close();
    branch.setParam(QStringLiteral("FOWNCONTENTID"), owner);
    branch.setParam(QStringLiteral("FDISKID"), currentDisk());
    branch.open();
    const auto closeBranch = qScopeGuard([&branch] { branch.close(); });
    const Field &name = branch.fieldByName(QStringLiteral("FCONTENT"));
    const Field &key = branch.fieldByName(QStringLiteral("FCONTENTID"));
    const Field &date = branch.fieldByName(QStringLiteral("FDATE"));
    const Field &size = branch.fieldByName(QStringLiteral("FSIZE"));
    const Field &type = branch.fieldByName(QStringLiteral("FTYPE"));

    QList<QTreeWidgetItem *> items;
    for (branch.first(); !branch.eof(); branch.next()) {
        const int t = type.asInteger();
        auto *item = new QTreeWidgetItem;
        item->setText(0, nodeText(name.asString(), t, date.asDateTime(), size.asFloat()));
        item->setIcon(0, m_images[qBound(0, t, 2)]);
        item->setData(0, KeyRole, key.asInteger());
        if (t > 0)
            item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        items << item;
    }
    if (node) {
        node->addChildren(items);
        node->setData(0, LoadedRole, true);
        if (items.isEmpty())
            node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
    } else {
        addTopLevelItems(items);
    }
}

void ContentTree::loadTopLevel()
{
    loadChildren(nullptr, 0);
}

void ContentTree::expandFirst()
{
    if (QTreeWidgetItem *first = topLevelItem(0))
        first->setExpanded(true);
}

void ContentTree::nodeExpanded(QTreeWidgetItem *node)
{
    if (node->data(0, LoadedRole).toBool())
        return;
    runCommand(this, [this, node] { loadChildren(node, keyOf(node)); });
}

int ContentTree::ownerOf(int key)
{
    SqlStatement &owner = *ibsGetOwner;
    owner.setParam(QStringLiteral("FDISKID"), currentDisk());
    owner.setParam(QStringLiteral("FCONTENTID"), key);
    owner.execute();
    const auto close = qScopeGuard([&owner] { owner.close(); });
    return owner.hasRow() ? owner.fieldByName(QStringLiteral("FOWNCONTENTID")).toInt() : 0;
}

QTreeWidgetItem *ContentTree::childWithKey(QTreeWidgetItem *node, int key) const
{
    for (int i = 0; i < node->childCount(); ++i) {
        if (keyOf(node->child(i)) == key)
            return node->child(i);
    }
    return nullptr;
}

QTreeWidgetItem *ContentTree::nodeOf(int key)
{
    // The path from the entry up to an entry without an owner, one query per level; an
    // owner chain that runs in a circle leads nowhere.
    QList<int> path {key};
    QSet<int> seen {key};
    for (int owner = ownerOf(key); owner != 0; owner = ownerOf(owner)) {
        if (seen.contains(owner))
            return nullptr;
        seen.insert(owner);
        path.prepend(owner);
    }

    loadTopLevel();
    QTreeWidgetItem *node = nullptr;
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if (keyOf(*it) == path.first()) {
            node = *it;
            break;
        }
    }
    if (!node) {
        // Not a node of the loaded tree: only an entry without owner ends at the first node.
        return path.size() == 1 ? topLevelItem(0) : nullptr;
    }
    for (qsizetype i = 1; i < path.size() && node; ++i) {
        loadChildren(node, keyOf(node));
        node = childWithKey(node, path.at(i));
    }
    return node;
}

void ContentTree::reveal(QTreeWidgetItem *node)
{
    for (QTreeWidgetItem *up = node->parent(); up; up = up->parent())
        up->setExpanded(true);
    scrollToItem(node);
    setCurrentItem(node);
}

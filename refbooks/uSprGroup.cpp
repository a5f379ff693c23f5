#include "refbooks/uSprGroup.h"

#include "refbooks/RefBookDesigns.h"

TfSprGroup::TfSprGroup(Catalogue &data, QWidget *parent)
    : RefBookWindow(data, RefBookDesigns::mediaGroups(), parent), dtSprGroup(dataSet())
{
    setObjectName(QStringLiteral("fSprGroup"));
}

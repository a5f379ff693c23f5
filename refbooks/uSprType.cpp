#include "refbooks/uSprType.h"

#include "refbooks/RefBookDesigns.h"

TfSprType::TfSprType(Catalogue &data, QWidget *parent)
    : RefBookWindow(data, RefBookDesigns::mediaTypes(), parent), dtSprType(dataSet())
{
    setObjectName(QStringLiteral("fSprType"));
}

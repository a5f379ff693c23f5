#include "refbooks/uSprType.h"

#include "refbooks/RefBookDesigns.h"

TfSprType::TfSprType(MainData &data, QWidget *parent)
    : RefBookWindow(data, RefBookDesigns::mediaTypes(), parent), dtSprType(dataSet())
{
    setObjectName(QStringLiteral("fSprType"));
}

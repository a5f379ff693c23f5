#include "refbooks/uSprMan.h"

#include "refbooks/RefBookDesigns.h"

TfSprMan::TfSprMan(Catalogue &data, QWidget *parent)
    : RefBookWindow(data, RefBookDesigns::people(), parent), dtSprMan(dataSet())
{
    setObjectName(QStringLiteral("fSprMan"));
}

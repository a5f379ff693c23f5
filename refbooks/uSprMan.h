#pragma once

#include "refbooks/RefBookWindow.h"

// The people who own and borrow disks.
class TfSprMan : public RefBookWindow
{
    Q_OBJECT

public:
    explicit TfSprMan(Catalogue &data, QWidget *parent = nullptr);

    TableDataSet &dtSprMan;
};

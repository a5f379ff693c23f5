#pragma once

#include "refbooks/RefBookWindow.h"

// The media groups.
class TfSprGroup : public RefBookWindow
{
    Q_OBJECT

public:
    explicit TfSprGroup(Catalogue &data, QWidget *parent = nullptr);

    TableDataSet &dtSprGroup;
};

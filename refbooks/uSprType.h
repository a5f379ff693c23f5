#pragma once

#include "refbooks/RefBookWindow.h"

// The media types.
class TfSprType : public RefBookWindow
{
    Q_OBJECT

public:
    explicit TfSprType(Catalogue &data, QWidget *parent = nullptr);

    TableDataSet &dtSprType;
};

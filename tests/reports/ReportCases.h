#pragma once

#include "reportengine/ReportTemplate.h"

#include <QTest>
#include <vector>

// Templates and cases the report tests share, over a catalogue or over rows in memory.

inline ReportBand band(BandKind kind, double height, std::vector<ReportObject> objects,
                       const QString &source = QString())
{
    ReportBand b;
    b.kind = kind;
    b.height = height;
    b.dataSource = source;
    b.objects = std::move(objects);
    return b;
}

// One page of these bands.
inline ReportTemplate onePage(std::vector<ReportBand> bands)
{
    ReportPage page;
    page.bands = std::move(bands);
    ReportTemplate t;
    t.pages.push_back(std::move(page));
    return t;
}

// The expressions of a footer box after a run over five disks ("Диск 1" to "Диск 5", numbered
// 1 to 5, ten files per number) on 09.03.2024 14:05:07, whatever the rows are read from: the
// columns text, format and expected, and the rows every source must pass.
inline void addExpressionCases()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("expected");
    QTest::newRow("field") << "[FNAME]" << 0 << "Диск 5";
    QTest::newRow("source and quoted field") << "[frDisks.\"FNAME\"]" << 0 << "Диск 5";
    QTest::newRow("mixed with text") << "Диск № [FNN]: [FNAME]!" << 0 << "Диск № 5: Диск 5!";
    QTest::newRow("formatted alone") << "[FFILES]" << int(ValueFormat::GroupedDecimals) << "50";
    QTest::newRow("date and time") << "[DATE] [TIME]" << 0 << "09.03.2024 14:05:07";
    QTest::newRow("sum") << "[SUM([frDisks.\"FFILES\"])]" << 0 << "150";
    QTest::newRow("sum of a bare field") << "[SUM([FFILES])]" << 0 << "150";
    QTest::newRow("pages") << "[PAGE#]/[TOTALPAGES]" << 0 << "1/1";
    QTest::newRow("unclosed bracket") << "a [FNAME" << 0 << "a [FNAME";
    QTest::newRow("lower case") << "[date]" << 0 << "09.03.2024";
}

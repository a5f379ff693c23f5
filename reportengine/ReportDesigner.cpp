#include "reportengine/ReportDesigner.h"

// Stand-in until the designer lands: it holds the template, with one blank page when it has
// none, and gives it back unchanged.
namespace {
ReportTemplate g_held;
} // namespace

ReportDesigner::ReportDesigner(const ReportTemplate &report, const QString &documentName,
                               const ReportDataSource *, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(documentName);
    g_held = report;
    if (g_held.pages.empty())
        g_held.pages.emplace_back();
}

ReportDesigner::~ReportDesigner() = default;

const ReportTemplate &ReportDesigner::result() const
{
    return g_held;
}

#pragma once

#include "reportengine/BuiltReport.h"
#include "reportengine/ReportExpression.h"
#include "reportengine/ReportTemplate.h"
#include "reportengine/UserMessage.h"

#include <QDateTime>
#include <QFont>
#include <QLocale>
#include <QVariant>
#include <map>
#include <vector>

class ReportRowSource;

// Lays a template out into pages over its row sources. The first source is the main one: a
// master data band that names no source runs over it. A master data band reads its source
// from the first row to the last; where the source is left afterwards is the source's own
// business. Failures throw ReportBuilder::Error, whose text is for the user.
class ReportBuilder
{
public:
    class Error : public UserMessage
    {
    public:
        using UserMessage::UserMessage;
    };

    // The template is read, not copied: it must outlive the builder.
    ReportBuilder(const ReportTemplate &report, std::vector<ReportRowSource *> sources);

    // The date and time [DATE] and [TIME] show; by default the moment build() starts.
    void setStartTime(const QDateTime &time) { m_start = time; }
    void setLocale(const QLocale &locale) { m_locale = locale; }

    BuiltReport build(const QString &title = QString());

private:
    struct Binding
    {
        ReportRowSource *source = nullptr;
        int field = -1;
    };
    struct Compiled
    {
        const ReportObject *object = nullptr;
        std::vector<ReportExpression::Term> terms;
        std::vector<Binding> bindings; // one per term
        QFont font;
    };
    struct CompiledBand
    {
        const ReportBand *band = nullptr;
        ReportRowSource *source = nullptr; // master data only
        std::vector<Compiled> objects;
    };
    struct Sum
    {
        Binding binding;
        bool any = false;
        bool integral = true;
        qint64 whole = 0;
        double real = 0;
        QVariant value() const;
    };

    ReportRowSource *findSource(const QString &name) const;
    Binding bind(const ReportExpression::Term &term, ReportRowSource *bandSource);
    CompiledBand compile(const ReportBand &band);
    QVariant valueOf(const ReportExpression::Term &term, const Binding &binding) const;
    QString textOf(const Compiled &c) const;
    ReportObject resolve(const Compiled &c, double top, double &bottom) const;

    void buildPage(const ReportPage &page);
    void startPage();
    void finishPage();
    void place(const CompiledBand &band);

    const ReportTemplate &m_template;
    std::vector<ReportRowSource *> m_sources;
    QDateTime m_start;
    QLocale m_locale;

    BuiltReport m_built;
    const ReportPage *m_page = nullptr;
    std::vector<CompiledBand> m_titles; // until the first page is started
    std::vector<CompiledBand> m_pageHeaders;
    std::vector<CompiledBand> m_pageFooters;
    BuiltPage *m_current = nullptr;
    double m_y = 0;
    double m_bottom = 0;
    bool m_firstOnPage = true;
    // The row each source is read at while its data band runs; -1: its current row.
    std::map<ReportRowSource *, int> m_rows;
    std::vector<Sum> m_sums;
};

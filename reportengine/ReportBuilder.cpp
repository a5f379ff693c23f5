#include "reportengine/ReportBuilder.h"

#include "reportengine/HeapReserve.h"
#include "reportengine/ObjectPainter.h"
#include "reportengine/ReportFormatter.h"
#include "reportengine/ReportRowSource.h"

#include <QFontMetricsF>
#include <algorithm>

namespace {

using Term = ReportExpression::Term;

// [TOTALPAGES] is written once the pages are counted.
const QChar TotalPagesMark(0xE000);

// A source's run from its first row: finished at its last row when it went to the end, broken
// off when the build failed on the way.
class Run
{
public:
    explicit Run(ReportRowSource &source) : m_source(source) { }
    ~Run() { m_source.finishRun(m_last); }
    Run(const Run &) = delete;
    Run &operator=(const Run &) = delete;
    void completed(int lastRow) { m_last = lastRow; }

private:
    ReportRowSource &m_source;
    int m_last = -1;
};

} // namespace

QVariant ReportBuilder::Sum::value() const
{
    if (!any)
        return {};
    if (integral)
        return QVariant(qlonglong(whole));
    return QVariant(real);
}

ReportBuilder::ReportBuilder(const ReportTemplate &report, std::vector<ReportRowSource *> sources)
    : m_template(report), m_sources(std::move(sources))
{ }

ReportRowSource *ReportBuilder::findSource(const QString &name) const
{
    if (name.isEmpty())
        return m_sources.empty() ? nullptr : m_sources.front();
    for (ReportRowSource *s : m_sources) {
        if (s->answersTo(name))
            return s;
    }
    return nullptr;
}

ReportBuilder::Binding ReportBuilder::bind(const Term &term, ReportRowSource *bandSource)
{
    Binding b;
    if (term.kind != Term::Kind::Field && term.kind != Term::Kind::Sum)
        return b;
    b.source = term.source.isEmpty() && bandSource ? bandSource : findSource(term.source);
    if (!b.source) {
        throw Error(term.source.isEmpty()
                        ? QStringLiteral("Нет источника данных для поля \"%1\"").arg(term.field)
                        : QStringLiteral("Неизвестный источник данных \"%1\" в выражении %2")
                              .arg(term.source, term.text));
    }
    b.field = b.source->fieldIndex(term.field);
    if (b.field < 0) {
        throw Error(
            QStringLiteral("Неизвестное поле \"%1\" в выражении %2").arg(term.field, term.text));
    }
    if (term.kind == Term::Kind::Sum) {
        const auto known = std::find_if(m_sums.begin(), m_sums.end(), [&](const Sum &s) {
            return s.binding.source == b.source && s.binding.field == b.field;
        });
        if (known == m_sums.end()) {
            Sum sum;
            sum.binding = b;
            m_sums.push_back(sum);
        }
    }
    return b;
}

ReportBuilder::CompiledBand ReportBuilder::compile(const ReportBand &band)
{
    CompiledBand c;
    c.band = &band;
    if (band.kind == BandKind::MasterData) {
        c.source = findSource(band.dataSource);
        if (!c.source) {
            throw Error(QStringLiteral("Неизвестный источник данных \"%1\"").arg(band.dataSource));
        }
    }
    for (const ReportObject &o : band.objects) {
        Compiled object;
        object.object = &o;
        if (o.kind == ObjectKind::Text || o.kind == ObjectKind::RichText
            || o.kind == ObjectKind::CheckBox) {
            object.terms = ReportExpression::parse(o.text);
            // A check box holds an expression even without brackets; a number or true/false
            // stands for itself.
            const QString bare = o.text.trimmed();
            bool number = false;
            bare.toDouble(&number);
            const bool constant = number
                || bare.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
                || bare.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0;
            if (o.kind == ObjectKind::CheckBox && !bare.isEmpty() && !constant
                && !ReportExpression::hasExpressions(o.text))
                object.terms
                    = ReportExpression::parse(QLatin1Char('[') + o.text + QLatin1Char(']'));
            for (const Term &t : object.terms)
                object.bindings.push_back(bind(t, c.source));
        }
        if (o.kind == ObjectKind::Text)
            object.font = ObjectPainter::font(o);
        c.objects.push_back(std::move(object));
    }
    return c;
}

QVariant ReportBuilder::valueOf(const Term &term, const Binding &b) const
{
    switch (term.kind) {
    case Term::Kind::Literal:
        return term.text;
    case Term::Kind::Date:
        return m_start.date();
    case Term::Kind::Time:
        return m_start.time();
    case Term::Kind::Page:
        return qlonglong(m_built.pages.size());
    case Term::Kind::TotalPages:
        return QString(TotalPagesMark);
    case Term::Kind::Sum:
        for (const Sum &s : m_sums) {
            if (s.binding.source == b.source && s.binding.field == b.field)
                return s.value();
        }
        return {};
    case Term::Kind::Field: {
        const auto at = m_rows.find(b.source);
        const int row = at != m_rows.end() ? at->second : b.source->currentRow();
        if (row < 0)
            return {};
        return b.source->value(row, b.field);
    }
    }
    return {};
}

QString ReportBuilder::textOf(const Compiled &c) const
{
    const ReportObject &o = *c.object;
    // A box that is one expression shows it in its own format; mixed with text, plainly.
    if (c.terms.size() == 1 && c.terms.front().kind != Term::Kind::Literal)
        return ReportFormatter::format(valueOf(c.terms.front(), c.bindings.front()), o.format,
                                       m_locale);
    QString text;
    for (size_t i = 0; i < c.terms.size(); ++i) {
        const Term &t = c.terms[i];
        if (t.kind == Term::Kind::Literal) {
            text += t.text;
            continue;
        }
        QString value
            = ReportFormatter::format(valueOf(t, c.bindings[i]), ValueFormat::Plain, m_locale);
        if (o.kind == ObjectKind::RichText)
            value = value.toHtmlEscaped();
        text += value;
    }
    return text;
}

ReportObject ReportBuilder::resolve(const Compiled &c, double top, double &bottom) const
{
    ReportObject o = *c.object;
    o.geometry.moveTop(top + o.geometry.top());
    if (o.kind == ObjectKind::Text || o.kind == ObjectKind::RichText) {
        o.text = textOf(c);
        if (o.stretch && !o.text.isEmpty()) {
            const double needed = o.kind == ObjectKind::Text ? ObjectPainter::textHeight(o, c.font)
                                                             : ObjectPainter::richTextHeight(o);
            // Grows by whole lines only: a line that nearly fits is not worth a taller band.
            const double line = o.kind == ObjectKind::Text
                ? QFontMetricsF(c.font).lineSpacing() / ObjectPainter::UnitsPerMm
                : 0;
            if (needed > o.geometry.height() + line / 2)
                o.geometry.setHeight(needed);
        }
    } else if (o.kind == ObjectKind::CheckBox) {
        const QVariant v
            = c.terms.empty() ? QVariant() : valueOf(c.terms.front(), c.bindings.front());
        bool checked = false;
        if (v.typeId() == QMetaType::QString) {
            const QString s = v.toString().trimmed();
            checked = !s.isEmpty() && s != QLatin1String("0")
                && s.compare(QLatin1String("false"), Qt::CaseInsensitive) != 0;
        } else if (v.isValid() && !v.isNull()) {
            checked = v.typeId() == QMetaType::Bool ? v.toBool() : v.toDouble() != 0;
        }
        o.text = checked ? QStringLiteral("1") : QStringLiteral("0");
    }
    bottom = std::max(bottom, o.geometry.bottom());
    return o;
}

void ReportBuilder::startPage()
{
    m_built.pages.emplace_back();
    m_current = &m_built.pages.back();
    m_current->size = m_page->size;
    m_y = m_page->margins.top();
    double footers = 0;
    for (const CompiledBand &b : m_pageFooters)
        footers += b.band->height;
    m_bottom = m_page->size.height() - m_page->margins.bottom() - footers;
    m_firstOnPage = true;
    // The report title opens the first page, above its page header.
    std::vector<CompiledBand> titles;
    titles.swap(m_titles);
    for (const CompiledBand &b : titles)
        place(b);
    for (const CompiledBand &b : m_pageHeaders)
        place(b);
    m_firstOnPage = true;
}

void ReportBuilder::finishPage()
{
    if (!m_current)
        return;
    double y = m_bottom;
    for (const CompiledBand &b : m_pageFooters) {
        double bottom = y + b.band->height;
        for (const Compiled &c : b.objects)
            m_current->objects.push_back(resolve(c, y, bottom));
        y += b.band->height;
    }
    m_current = nullptr;
}

void ReportBuilder::place(const CompiledBand &band)
{
    if (!m_current)
        startPage();
    const double height = band.band->height;
    auto layOut = [&](std::vector<ReportObject> &out) {
        double bottom = m_y + height;
        for (const Compiled &c : band.objects)
            out.push_back(resolve(c, m_y, bottom));
        // Boxes that grew push the band down by as much as they grew.
        double grown = height;
        for (size_t i = 0; i < out.size(); ++i) {
            const ReportObject &tpl = *band.objects[i].object;
            grown = std::max(grown,
                             tpl.geometry.top() + out[i].geometry.height()
                                 + (height - tpl.geometry.bottom()));
        }
        return grown;
    };
    std::vector<ReportObject> objects;
    double grown = layOut(objects);
    const bool pageHeader = band.band->kind == BandKind::PageHeader;
    if (!pageHeader && !m_firstOnPage && m_y + grown > m_bottom + 1e-9) {
        finishPage();
        startPage();
        objects.clear();
        grown = layOut(objects);
    }
    for (ReportObject &o : objects)
        m_current->objects.push_back(std::move(o));
    m_y += grown;
    m_firstOnPage = false;
}

void ReportBuilder::buildPage(const ReportPage &page)
{
    m_page = &page;
    m_pageHeaders.clear();
    m_pageFooters.clear();
    std::vector<CompiledBand> titles, data, footers;
    for (const ReportBand &band : page.bands) {
        CompiledBand c = compile(band);
        switch (band.kind) {
        case BandKind::ReportTitle:
            titles.push_back(std::move(c));
            break;
        case BandKind::PageHeader:
            m_pageHeaders.push_back(std::move(c));
            break;
        case BandKind::MasterData:
            data.push_back(std::move(c));
            break;
        case BandKind::MasterFooter:
            footers.push_back(std::move(c));
            break;
        case BandKind::PageFooter:
            m_pageFooters.push_back(std::move(c));
            break;
        }
    }
    if (!titles.empty()) {
        m_titles = std::move(titles);
        startPage();
    }
    for (const CompiledBand &b : data) {
        ReportRowSource &rows = *b.source;
        if (!rows.startRun())
            continue;
        Run run(rows);
        int last = -1;
        for (int row = 0; rows.hasRow(row); ++row) {
            m_rows[b.source] = row;
            for (Sum &s : m_sums) {
                if (s.binding.source != b.source)
                    continue;
                const QVariant v = rows.value(row, s.binding.field);
                if (!v.isValid() || v.isNull())
                    continue;
                s.any = true;
                if (ReportFormatter::isInteger(v) && s.integral) {
                    s.whole += v.toLongLong();
                } else {
                    if (s.integral)
                        s.real = double(s.whole);
                    s.integral = false;
                    s.real += v.toDouble();
                }
            }
            place(b);
            last = row;
        }
        m_rows.erase(b.source);
        run.completed(last);
    }
    for (const CompiledBand &b : footers)
        place(b);
    finishPage();
}

BuiltReport ReportBuilder::build(const QString &title)
{
    const HeapReserve reserve;
    if (!m_start.isValid())
        m_start = QDateTime::currentDateTime();
    m_built = BuiltReport();
    m_built.title = title;
    m_sums.clear();
    m_rows.clear();
    for (const ReportPage &page : m_template.pages)
        buildPage(page);
    const QString total = QString::number(m_built.pages.size());
    for (BuiltPage &page : m_built.pages) {
        for (ReportObject &o : page.objects) {
            if (o.text.contains(TotalPagesMark))
                o.text.replace(TotalPagesMark, total);
        }
    }
    return std::move(m_built);
}

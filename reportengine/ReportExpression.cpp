#include "reportengine/ReportExpression.h"

std::vector<ReportExpression::Term> ReportExpression::parse(const QString &text)
{
    std::vector<Term> terms;
    QString literal;
    auto flush = [&] {
        if (!literal.isEmpty()) {
            Term t;
            t.text = literal;
            terms.push_back(std::move(t));
            literal.clear();
        }
    };
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != QLatin1Char('[')) {
            literal += text[i++];
            continue;
        }
        // The matching bracket, counting nested ones and skipping quoted names.
        int depth = 0;
        bool quoted = false;
        qsizetype end = -1;
        for (qsizetype j = i; j < text.size(); ++j) {
            const QChar c = text[j];
            if (c == QLatin1Char('"'))
                quoted = !quoted;
            else if (!quoted && c == QLatin1Char('['))
                ++depth;
            else if (!quoted && c == QLatin1Char(']') && --depth == 0) {
                end = j;
                break;
            }
        }
        if (end < 0) {
            literal += text.mid(i);
            break;
        }
        flush();
        terms.push_back(parseInner(text.mid(i + 1, end - i - 1)));
        terms.back().text = text.mid(i, end - i + 1);
        i = end + 1;
    }
    flush();
    return terms;
}

bool ReportExpression::hasExpressions(const QString &text)
{
    for (const Term &t : parse(text)) {
        if (t.kind != Term::Kind::Literal)
            return true;
    }
    return false;
}

bool ReportExpression::parseField(const QString &text, Term &term)
{
    QString s = text.trimmed();
    if (s.startsWith(QLatin1Char('[')) && s.endsWith(QLatin1Char(']')))
        s = s.mid(1, s.size() - 2).trimmed();
    if (s.isEmpty())
        return false;
    QString source;
    QString field = s;
    const qsizetype dot = s.indexOf(QLatin1Char('.'));
    if (dot > 0 && !s.startsWith(QLatin1Char('"'))) {
        source = s.left(dot).trimmed();
        field = s.mid(dot + 1).trimmed();
    }
    if (field.size() >= 2 && field.startsWith(QLatin1Char('"')) && field.endsWith(QLatin1Char('"')))
        field = field.mid(1, field.size() - 2);
    if (field.isEmpty())
        return false;
    term.source = source;
    term.field = field;
    return true;
}

ReportExpression::Term ReportExpression::parseInner(const QString &inner)
{
    Term term;
    const QString s = inner.trimmed();
    const QString upper = s.toUpper();
    if (upper == QLatin1String("DATE")) {
        term.kind = Term::Kind::Date;
    } else if (upper == QLatin1String("TIME")) {
        term.kind = Term::Kind::Time;
    } else if (upper == QLatin1String("PAGE#")) {
        term.kind = Term::Kind::Page;
    } else if (upper == QLatin1String("TOTALPAGES")) {
        term.kind = Term::Kind::TotalPages;
    } else if (upper.startsWith(QLatin1String("SUM")) && s.endsWith(QLatin1Char(')'))
               && s.mid(3).trimmed().startsWith(QLatin1Char('('))) {
        const qsizetype open = s.indexOf(QLatin1Char('('));
        term.kind = Term::Kind::Sum;
        if (!parseField(s.mid(open + 1, s.size() - open - 2), term))
            term.field = s; // reported as an unknown field when the report is built
    } else {
        term.kind = Term::Kind::Field;
        if (!parseField(s, term))
            term.field = s;
    }
    return term;
}

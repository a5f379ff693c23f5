#pragma once

#include <QString>
#include <vector>

// The text of a box split into literal text and [expressions]:
//   [source."FIELD"], [source.FIELD], [FIELD], [SUM([source."FIELD"])], [SUM([FIELD])],
//   [DATE], [TIME], [PAGE#], [TOTALPAGES].
// A "[" without its "]" is literal text.
class ReportExpression
{
public:
    struct Term
    {
        enum class Kind { Literal, Field, Sum, Date, Time, Page, TotalPages };
        Kind kind = Kind::Literal;
        QString text; // the literal, or the expression as written
        QString source; // empty: the band's source, else the main one
        QString field;
    };

    static std::vector<Term> parse(const QString &text);
    // True when the text holds at least one expression.
    static bool hasExpressions(const QString &text);

private:
    static Term parseInner(const QString &inner);
    static bool parseField(const QString &text, Term &term);
};

#include "tests/support/Typing.h"

#include <QTest>

void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char('\n')) {
            QTest::keyClick(widget, Qt::Key_Return);
            continue;
        }
        const Qt::Key key = c.unicode() < 0x80 ? QTest::asciiToKey(char(c.unicode()))
                                               : Qt::Key(c.toUpper().unicode());
        QTest::sendKeyEvent(QTest::Click, widget, key, QString(c), Qt::NoModifier);
    }
}

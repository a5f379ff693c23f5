#pragma once

#include <QString>

class QWidget;

// Types text into a widget key by key, letters beyond ASCII too (QTest::keyClicks takes ASCII
// only); a line break is the Return key.
void typeText(QWidget *widget, const QString &text);

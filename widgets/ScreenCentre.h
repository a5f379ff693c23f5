#pragma once

class QWidget;

// Puts a window in the middle of its screen's free area (the primary screen before it has one).
void moveToScreenCentre(QWidget &window);

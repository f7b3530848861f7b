#include "console/ConsoleWindow.h"

ConsoleWindow::ConsoleWindow(QWidget* parent) : QWidget(parent) { setWindowTitle("ZentariMix"); }

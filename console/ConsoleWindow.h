#pragma once

#include <QWidget>

// frmMain of the console program.
class ConsoleWindow : public QWidget {
    Q_OBJECT
public:
    explicit ConsoleWindow(QWidget* parent = nullptr);
};

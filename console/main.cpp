#include "console/ConsoleWindow.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ConsoleWindow window;
    window.show();
    return app.exec();
}

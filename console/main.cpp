#include "common/DesktopPlatform.h"
#include "common/InheritedDescriptors.h"
#include "console/ConsoleHost.h"
#include "console/ConsoleWindow.h"

#include <QApplication>

int main(int argc, char** argv) {
    zen::closeInheritedDescriptors();
    zen::choosePlatform(argc, argv);
    QApplication app(argc, argv);
    SystemConsoleHost host;
    ConsoleWindow window(host, zen::console::createKeyPress(), zen::console::createCpuMeter());
    if (!window.startUp()) return 0;
    window.show();
    return app.exec();
}

#include "deck/DeckWindow.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    DeckWindow window(args.size() > 1 ? args.at(1) : QString());
    window.show();
    return app.exec();
}

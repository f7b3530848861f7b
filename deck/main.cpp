#include "common/DesktopPlatform.h"
#include "common/InheritedDescriptors.h"
#include "deck/DeckHost.h"
#include "deck/DeckWindow.h"
#include "deck/audio/AudioEngine.h"

#include <QApplication>

int main(int argc, char** argv) {
    zen::closeInheritedDescriptors();
    zen::choosePlatform(argc, argv);
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    SystemDeckHost host;
    const std::unique_ptr<zen::audio::AudioEngine> engine = zen::audio::createAudioEngine();
    DeckWindow window(*engine, host);
    // The console starts the decks; the DJ's focus stays where it was.
    window.setAttribute(Qt::WA_ShowWithoutActivating);
    if (!window.startUp(args.size() > 1 ? args.at(1) : QString())) return 0;
    window.show();
    return app.exec();
}

#include "console/ConsoleHost.h"

#include "common/AtomicFile.h"
#include "common/ConfigRecord.h"
#include "common/midi/MIDIInput.h"
#include "common/midi/MIDIOutput.h"
#include "console/DetachedDeck.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QThread>
#include <cstdio>
#include <cstdlib>

void SystemConsoleHost::showMessage(const QString& text, const QString& title, Icon icon) {
    QMessageBox box(icon == Icon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon,
                    title.isEmpty() ? QCoreApplication::applicationName() : title, text,
                    QMessageBox::Ok);
    // The texts carry file and folder names: shown as they are, never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool SystemConsoleHost::askYesNo(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}

void SystemConsoleHost::endProcess() {
    // Immediate: no window event or port thread may run after the exit routine.
    std::fflush(nullptr);
    std::_Exit(0);
}

QString SystemConsoleHost::programFolder() const {
    return QCoreApplication::applicationDirPath();
}

QString SystemConsoleHost::settingsFolder() const {
    return zen::config::settingsFolder(programFolder());
}

zen::sound::OutputList SystemConsoleHost::soundDevices() const {
    return zen::sound::listOutputs();
}

QStringList SystemConsoleHost::midiInputs() const {
    QStringList names;
    const qint16 count = zen::MIDIInput::deviceCount();
    for (qint16 device = 0; device < count; ++device)
        names.append(zen::MIDIInput::deviceName(device));
    return names;
}

QStringList SystemConsoleHost::midiOutputs() const {
    QStringList names;
    const qint16 count = zen::MIDIOutput::deviceCount();
    for (qint16 device = 0; device < count; ++device)
        names.append(zen::MIDIOutput::deviceName(device));
    return names;
}

QSize SystemConsoleHost::screenSize() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize();
}

zen::console::MemoryStatus SystemConsoleHost::memoryStatus() const {
    return zen::console::readMemoryStatus();
}

std::unique_ptr<DeckProcess> SystemConsoleHost::startDeck(const QString& program,
                                                          const QString& folder,
                                                          const QString& deckNumber,
                                                          qint64 resumeFrom, QString& error) {
    return DetachedDeck::start(program, folder, deckNumber, resumeFrom, error);
}

std::unique_ptr<DeckProcess> SystemConsoleHost::findDeck(const QString& deckNumber, qint16 device) {
    return DetachedDeck::find(deckNumber, device);
}

void SystemConsoleHost::sleep(int ms) {
    QThread::msleep(static_cast<unsigned long>(ms));
}

bool SystemConsoleHost::copyFile(const QString& from, const QString& to, QString& error) {
    const QString name = QFileInfo(from).fileName();
    // Only a regular file: a pipe or device under the name must not hang the window thread.
    if (!QFileInfo(from).isFile()) {
        error = name + QStringLiteral(" is not a file that can be read");
        return false;
    }
    QFile source(from);
    const QByteArray bytes = source.open(QIODevice::ReadOnly) ? source.readAll() : QByteArray();
    if (source.error() != QFileDevice::NoError) {
        error = name + QStringLiteral(": ") + source.errorString();
        return false;
    }
    return zen::config::replaceFile(to, bytes, error);
}

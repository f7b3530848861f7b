#include "ConsoleTestSupport.h"

#include "common/DeckCommands.h"
#include "common/FirstRunConfig.h"
#include "common/midi/CableFolder.h"
#include "console/KeyPress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFocusEvent>

namespace {

// The keyboard and the meter of the test window report what the test sets, and count.
class Scripted : public zen::console::KeyPress, public zen::console::CpuMeter {
public:
    explicit Scripted(TestHost& host) : host_(host) {}
    void start(QWidget&, Changed, Note) override { ++host_.keyStarts; }
    void poll() override {}
    int keyCode() const override { return host_.heldKey; }
    void stop() override { ++host_.keyStops; }
    QString reading() const override { return "Keys: scripted"; }
    void offerShortcuts(const std::vector<zen::console::KeyShortcut>& shortcuts) override {
        host_.shortcuts = shortcuts;
    }
    void Initialize() override { ++host_.meterStarts; }
    std::int32_t Query() override { return host_.cpuLoad; }
    void Terminate() override {}

private:
    TestHost& host_;
};

} // namespace

FakeDeck::FakeDeck(QString argument_, qint64 resumeFrom_)
    : argument(std::move(argument_)), resumeFrom(resumeFrom_) {
    static qint64 processes = 1000;
    pid_ = ++processes;
    // Deck N listens on cable N, the port the sample configuration names for it.
    const qint16 device = static_cast<qint16>(argument.toInt() - 1);
    connect(&input_, &zen::MIDIInput::messageReceived, this, [this] {
        commands.push_back(input_.data1());
        if (input_.data1() == zen::cmd::kQuit && quits) end();
    });
    input_.action(device, zen::MidiAction::Open);
    input_.action(device, zen::MidiAction::Start);
}

void FakeDeck::terminate() {
    ++terms;
    if (endsOnTerm) end();
}

void FakeDeck::kill() {
    ++kills;
    end();
}

void FakeDeck::crash() {
    crashed_ = true;
    end();
}

void FakeDeck::end() {
    if (ended_) return;
    ended_ = true;
    input_.action(input_.openDevice(), zen::MidiAction::Close);
    emit ended();
}

zen::sound::OutputList TestHost::soundDevices() const {
    zen::sound::OutputList list;
    for (const std::string& name : sound)
        list.outputs.emplace_back().description = name;
    list.problem = soundProblem;
    return list;
}

bool TestHost::askYesNo(const QString& text, const QString&) {
    questions.push_back(text);
    if (answers.empty()) return true;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
}

void TestHost::sleep(int ms) {
    sleeps.push_back(ms);
    pump();
}

std::unique_ptr<DeckProcess> TestHost::startDeck(const QString& program, const QString&,
                                                 const QString& deckNumber, qint64 resumeFrom,
                                                 QString& error) {
    startedPrograms.append(program + " " + deckNumber);
    if (!startError.isEmpty()) {
        error = startError;
        return nullptr;
    }
    auto deck = std::make_unique<FakeDeck>(deckNumber, resumeFrom);
    decks.push_back(deck.get());
    return deck;
}

std::unique_ptr<DeckProcess> TestHost::findDeck(const QString& deckNumber, qint16) {
    const auto found = leftRunning.find(deckNumber);
    if (found == leftRunning.end()) return nullptr;
    std::unique_ptr<DeckProcess> deck = std::move(found->second);
    leftRunning.erase(found);
    return deck;
}

ConsoleTest::ConsoleTest() {
    host.folder = programDir.path();
    for (int cable = 1; cable <= zen::midi::kCableCount; ++cable)
        host.inputs.append(QString::fromStdString(zen::midi::cableName(cable)));
    host.outputs = host.inputs;
    host.inputs << "Pad Controller"
                << "Knob Box";
    host.outputs << "Synth Out"
                 << "MIDI Yokel";
}

zen::config::ConfigRecord ConsoleTest::sampleRecord() const {
    zen::config::ConfigRecord r = zen::config::firstRunConfig(programDir.path());
    r.soundDevice1 = "1";
    r.mapping.fill("none");
    r.mapping[16] = "57";
    return r;
}

void ConsoleTest::writeConfig(const zen::config::ConfigRecord& record) {
    ASSERT_TRUE(record.save(zen::config::configFilePath(programDir.path())));
}

QByteArray ConsoleTest::bytesOf(const QString& name) const {
    QFile file(programDir.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool ConsoleTest::startConsole() {
    window = std::make_unique<ConsoleWindow>(host, std::make_unique<Scripted>(host),
                                             std::make_unique<Scripted>(host));
    return window->startUp();
}

bool ConsoleTest::portsOpen() {
    ConsolePorts& ports = window->ports();
    return ports.MIDIOutput(1).isOpen() && ports.MIDIOutput(2).isOpen();
}

void pump(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void focus(QWidget* widget, QEvent::Type type) {
    QFocusEvent event(type, Qt::MouseFocusReason);
    QApplication::sendEvent(widget, &event);
}

#include "deck/DeckRecorder.h"

#include "common/DeckRecord.h"
#include "deck/DeckHost.h"
#include "deck/DeckUi.h"
#include "deck/Equalizer.h"
#include "deck/Loop.h"
#include "deck/Pitch.h"
#include "deck/TrackLoader.h"
#include "deck/Transport.h"
#include "deck/displays/SpectrumView.h"

#include <chrono>

namespace runtime = zen::runtime;

namespace {

qint64 nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool sameButTime(DeckSnapshot a, const DeckSnapshot& b) {
    a.positionAtMs = b.positionAtMs;
    return a == b;
}

} // namespace

DeckRecorder::DeckRecorder(DeckHost& host, const Parts& parts) : host_(host), parts_(parts) {
    look_.setInterval(kLookMs);
    look_.callOnTimeout([this] { look(); });
}

void DeckRecorder::begin(const QString& deckArgument) {
    // Without a folder the cables say why; the deck plays on, only without a record.
    const QString folder = runtime::runtimeFolder();
    if (folder.isEmpty()) return;
    const QString path = runtime::deckRecordPath(folder, deckArgument);
    const qint64 died = host_.resumeFrom();
    runtime::DeckRecord record;
    if (died > 0 && runtime::readDeckRecord(path, record) && record.process.pid == died)
        resumeFrom_ = DeckSnapshot::fromState(record.state);
    identity_ = runtime::currentProcess();
    writer_ = std::make_unique<RecordWriter>(path);
    // Should this deck die too before it has resumed, the next one still resumes the same.
    write(resumeFrom_ ? *resumeFrom_ : snapshot());
}

void DeckRecorder::resume() {
    if (resumeFrom_) {
        const DeckSnapshot& s = *resumeFrom_;
        // The load resets the pitch, the transport and the loop's channel: they follow it.
        parts_.loader.restore(s);
        parts_.equalizer.restore(s);
        parts_.pitch.restore(s);
        parts_.loop.restore(s);
        zen::deck::SpectrumView& spectrum = *parts_.ui.pctSpectrum;
        if (spectrum.display().scrolling() != s.scrolling) spectrum.switchMode();
        // Last: the track's time ran on while this deck started and loaded it.
        parts_.transport.resume(s, static_cast<double>(nowMs() - s.positionAtMs) / 1000.0,
                                parts_.pitch.speed());
        resumeFrom_.reset();
    }
    if (!writer_) return;
    look();
    look_.start();
}

void DeckRecorder::end() {
    look_.stop();
    if (writer_) writer_->remove();
    writer_.reset();
}

DeckSnapshot DeckRecorder::snapshot() const {
    DeckSnapshot s;
    parts_.loader.save(s);
    parts_.transport.save(s);
    parts_.loop.save(s);
    parts_.pitch.save(s);
    parts_.equalizer.save(s);
    s.scrolling = parts_.ui.pctSpectrum->display().scrolling();
    s.positionAtMs = nowMs();
    return s;
}

void DeckRecorder::writeNow() {
    if (!writer_) return;
    write(snapshot());
    writer_->flush();
}

void DeckRecorder::look() {
    const DeckSnapshot now = snapshot();
    if (written_ && sameButTime(now, *written_)) return;
    if (now.playing && written_ && nowMs() - writtenAtMs_ < kPlayingWriteMs) return;
    write(now);
}

void DeckRecorder::write(const DeckSnapshot& snapshot) {
    writer_->write(runtime::encodeDeckRecord({identity_, snapshot.toState()}));
    written_ = snapshot;
    writtenAtMs_ = nowMs();
}

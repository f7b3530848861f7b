#include "deck/RecordWriter.h"

#include "common/AtomicFile.h"

#include <QFile>

RecordWriter::RecordWriter(QString path) : path_(std::move(path)) {
    thread_ = std::thread([this] { run(); });
}

RecordWriter::~RecordWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void RecordWriter::write(QByteArray bytes) {
    {
        std::lock_guard lock(mutex_);
        waiting_ = std::move(bytes);
    }
    wake_.notify_one();
}

void RecordWriter::flush() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !waiting_ && !writing_; });
}

void RecordWriter::remove() {
    std::unique_lock lock(mutex_);
    waiting_.reset();
    idle_.wait(lock, [this] { return !writing_; });
    QFile::remove(path_);
}

void RecordWriter::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return waiting_ || stopping_; });
        if (!waiting_) return;
        const QByteArray bytes = std::move(*waiting_);
        waiting_.reset();
        writing_ = true;
        lock.unlock();
        // A record that cannot be written costs only the resume; the deck plays on.
        QString error;
        zen::config::replaceFile(path_, bytes, error);
        lock.lock();
        writing_ = false;
        idle_.notify_all();
    }
}

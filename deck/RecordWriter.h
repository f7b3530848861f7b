#pragma once

#include <QByteArray>
#include <QString>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

// Writes the deck's record on a thread of its own, so the window thread never waits on the disk:
// each write replaces the file whole, and a write handed over while another is still on its way
// replaces the one waiting, so only the newest state is written.
class RecordWriter {
public:
    explicit RecordWriter(QString path);
    // Waits for the write on its way, then stops.
    ~RecordWriter();
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    void write(QByteArray bytes);
    // Waits until what was handed over is on disk.
    void flush();
    // Waits for the write on its way, drops any waiting, and removes the file, so that nothing
    // written late brings it back.
    void remove();

private:
    void run();

    const QString path_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::optional<QByteArray> waiting_;
    bool writing_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

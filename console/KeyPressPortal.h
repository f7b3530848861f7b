#pragma once

#include "console/KeyReading.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QVariantMap>
#include <atomic>
#include <memory>

namespace zen::console {

// The desktop's GlobalShortcuts portal (org.freedesktop.portal.GlobalShortcuts, KDE Plasma 5.27
// and later, GNOME 48 and later): the mapped keys, offered at START, become shortcuts of every
// window, native Wayland ones included, until STOP hands them back. The desktop may ask the user
// to confirm them, or let the user choose other keys; an activated shortcut counts as its key
// held until it is deactivated. A desktop without the portal leaves this source silent.
class PortalKeySource final : public KeySource {
public:
    PortalKeySource();
    ~PortalKeySource() override;

    void start(QWidget& window, KeyThread& thread, Report report, Note note) override;
    void stop(KeyThread& thread) override;
    QString reading() const override;
    void offerShortcuts(KeyThread& thread, const std::vector<KeyShortcut>& shortcuts) override;

    enum class State { Absent, Idle, Asking, Bound };

    class Session;

private:
    std::unique_ptr<Session> session_; // on the key thread
    std::atomic<State> state_{State::Absent};
    // The console window, which the desktop's confirmation is shown over.
    QWidget* window_ = nullptr;
};

// One conversation with the portal, on the key thread. Each request's answer comes as a
// Response signal on a path made of this connection's name and a token of ours, so it is
// listened for before the request goes out.
class PortalKeySource::Session : public QObject {
    Q_OBJECT
public:
    Session(KeySource::Report report, KeySource::Note note, std::atomic<State>& state);
    ~Session() override;

    void offer(const std::vector<KeyShortcut>& shortcuts, const QString& parentWindow);

private slots:
    void response(uint code, const QVariantMap& results, const QDBusMessage& message);
    void activated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                   const QVariantMap& options);
    void deactivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                     const QVariantMap& options);

private:
    // Sends a request whose answer is a Response; `token` names it.
    void request(const QString& method, const QList<QVariant>& arguments, const QString& token);
    void bind();
    void close();
    void release();
    bool isBound(int code) const;

    KeySource::Report report_;
    KeySource::Note note_;
    std::atomic<State>& state_;
    std::vector<KeyShortcut> wanted_;
    KeySet bound_;
    QString parentWindow_;
    QString requestPath_;
    QString sessionPath_;
    KeySet held_;
    unsigned tokens_ = 0;
};

} // namespace zen::console

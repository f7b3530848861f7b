#include "console/KeyPressPortal.h"

#include "console/PortalShortcut.h"
#include "console/ScanCodes.h"

#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QWidget>

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kIdPrefix = QStringLiteral("key-");
// The desktop file the package installs, by which a desktop knows whose shortcuts they are.
const QString kAppId = QStringLiteral("zentari-dj");

} // namespace

namespace zen::console {

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

namespace {

QDBusConnection bus() {
    return QDBusConnection::sessionBus();
}

QDBusMessage portalCall(const QString& interface, const QString& method) {
    return QDBusMessage::createMethodCall(kService, kPath, interface, method);
}

// The code behind a shortcut id of ours, 0 for any other id.
int codeOf(const QString& id) {
    if (!id.startsWith(kIdPrefix)) return 0;
    bool ok = false;
    const int code = id.mid(kIdPrefix.size()).toInt(&ok);
    return ok && code > 0 && code < 256 ? code : 0;
}

} // namespace

PortalKeySource::Session::Session(KeySource::Report report, KeySource::Note note,
                                  std::atomic<State>& state)
    : report_(std::move(report)), note_(std::move(note)), state_(state) {
    // The signals' slots are matched by their types' names, known only once registered.
    qRegisterMetaType<QDBusObjectPath>();
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    QDBusConnection connection = bus();
    if (!connection.isConnected()) return;
    for (const auto& [name, slot] :
         {std::pair{"Activated",
                    SLOT(activated(QDBusObjectPath, QString, qulonglong, QVariantMap))},
          {"Deactivated", SLOT(deactivated(QDBusObjectPath, QString, qulonglong, QVariantMap))}})
        connection.connect(kService, kPath, kInterface, QString::fromLatin1(name), this, slot);
    // A program outside a sandbox names itself first, where the portal knows how to be told.
    QDBusMessage registration = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.host.portal.Registry"),
        QStringLiteral("Register"));
    registration << kAppId << QVariantMap();
    connection.asyncCall(registration);
    // The portal is there when it can tell its version.
    QDBusMessage version =
        portalCall(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    version << kInterface << QStringLiteral("version");
    auto* watcher = new QDBusPendingCallWatcher(connection.asyncCall(version), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (w->isError()) return;
        state_ = State::Idle;
        if (!wanted_.empty()) offer(wanted_, parentWindow_);
    });
}

PortalKeySource::Session::~Session() {
    report_ = nullptr;
    close();
}

void PortalKeySource::Session::offer(const std::vector<KeyShortcut>& shortcuts,
                                     const QString& parentWindow) {
    wanted_ = shortcuts;
    parentWindow_ = parentWindow;
    if (state_ == State::Absent) return;
    close();
    if (wanted_.empty()) return;
    state_ = State::Asking;
    const QString token = QStringLiteral("zentari_session%1").arg(++tokens_);
    QVariantMap options{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("session_handle_token"), token}};
    request(QStringLiteral("CreateSession"), {options}, token);
}

void PortalKeySource::Session::bind() {
    QList<PortalShortcut> shortcuts;
    for (const KeyShortcut& key : wanted_) {
        QVariantMap properties{{QStringLiteral("description"), key.description}};
        if (const QString name = keyName(key.code); !name.isEmpty())
            properties.insert(QStringLiteral("preferred_trigger"), name);
        shortcuts.append({kIdPrefix + QString::number(key.code), properties});
    }
    const QString token = QStringLiteral("zentari_bind%1").arg(++tokens_);
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(sessionPath_)), QVariant::fromValue(shortcuts),
             parentWindow_, QVariantMap{{QStringLiteral("handle_token"), token}}},
            token);
}

void PortalKeySource::Session::request(const QString& method, const QList<QVariant>& arguments,
                                       const QString& token) {
    QDBusConnection connection = bus();
    QString sender = connection.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    if (!requestPath_.isEmpty())
        connection.disconnect(kService, requestPath_, kRequestInterface, QStringLiteral("Response"),
                              this, SLOT(response(uint, QVariantMap, QDBusMessage)));
    requestPath_ = kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    connection.connect(kService, requestPath_, kRequestInterface, QStringLiteral("Response"), this,
                       SLOT(response(uint, QVariantMap, QDBusMessage)));
    QDBusMessage call = portalCall(kInterface, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(connection.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, path = requestPath_](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (path != requestPath_ || !w->isError()) return;
                state_ = State::Idle;
                if (note_)
                    note_(QStringLiteral("Keys: desktop shortcuts failed: ") +
                          w->error().message());
            });
}

void PortalKeySource::Session::response(uint code, const QVariantMap& results,
                                        const QDBusMessage& message) {
    if (message.path() != requestPath_ || state_ != State::Asking) return;
    if (code != 0) {
        state_ = State::Idle;
        if (note_) note_(QStringLiteral("Keys: desktop shortcuts refused"));
        return;
    }
    if (sessionPath_.isEmpty()) {
        // The session handle, a string by an old mistake of the protocol; a path is taken too.
        const QVariant handle = results.value(QStringLiteral("session_handle"));
        sessionPath_ = handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                                            : handle.toString();
        bind();
        return;
    }
    QList<PortalShortcut> given;
    const QVariant shortcuts = results.value(QStringLiteral("shortcuts"));
    if (shortcuts.canConvert<QDBusArgument>()) shortcuts.value<QDBusArgument>() >> given;
    bound_.reset();
    for (const PortalShortcut& shortcut : given)
        if (const int code = codeOf(shortcut.id)) bound_.set(static_cast<std::size_t>(code));
    state_ = bound_.none() ? State::Idle : State::Bound;
    if (note_)
        note_(bound_.none()
                  ? QStringLiteral("Keys: desktop shortcuts refused")
                  : QStringLiteral("Keys: desktop shortcuts for %1 of %2 keys, every window")
                        .arg(bound_.count())
                        .arg(wanted_.size()));
}

void PortalKeySource::Session::activated(const QDBusObjectPath& session, const QString& id,
                                         qulonglong, const QVariantMap&) {
    const int code = codeOf(id);
    if (session.path() != sessionPath_ || !isBound(code) || held_[code]) return;
    held_.set(static_cast<std::size_t>(code));
    if (report_) report_(held_);
}

void PortalKeySource::Session::deactivated(const QDBusObjectPath& session, const QString& id,
                                           qulonglong, const QVariantMap&) {
    const int code = codeOf(id);
    if (session.path() != sessionPath_ || code == 0 || !held_[code]) return;
    held_.reset(static_cast<std::size_t>(code));
    if (report_) report_(held_);
}

bool PortalKeySource::Session::isBound(int code) const {
    return code > 0 && bound_[static_cast<std::size_t>(code)];
}

void PortalKeySource::Session::release() {
    if (held_.none()) return;
    held_.reset();
    if (report_) report_(held_);
}

void PortalKeySource::Session::close() {
    release();
    if (!sessionPath_.isEmpty())
        bus().asyncCall(QDBusMessage::createMethodCall(
            kService, sessionPath_, QStringLiteral("org.freedesktop.portal.Session"),
            QStringLiteral("Close")));
    sessionPath_.clear();
    bound_.reset();
    if (state_ != State::Absent) state_ = State::Idle;
}

PortalKeySource::PortalKeySource() = default;

PortalKeySource::~PortalKeySource() = default;

void PortalKeySource::start(QWidget& window, KeyThread& thread, Report report, Note note) {
    window_ = &window;
    // Connecting to the session bus is the key thread's business: nothing waits for it here.
    thread.post([this, report = std::move(report), note = std::move(note)] {
        session_ = std::make_unique<Session>(report, note, state_);
    });
}

void PortalKeySource::stop(KeyThread& thread) {
    thread.runHere([this] { session_.reset(); });
}

QString PortalKeySource::reading() const {
    switch (state_.load()) {
    case State::Bound:
        return QStringLiteral("desktop shortcuts, every window");
    case State::Asking:
        return QStringLiteral("desktop shortcuts asked for");
    case State::Absent:
    case State::Idle:
        break;
    }
    return {};
}

void PortalKeySource::offerShortcuts(KeyThread& thread, const std::vector<KeyShortcut>& shortcuts) {
    // The desktop shows its confirmation over the console window.
    QString parent;
    if (window_ && QGuiApplication::platformName() == QLatin1String("xcb"))
        parent = QStringLiteral("x11:") + QString::number(window_->winId(), 16);
    thread.post([this, shortcuts, parent] {
        if (session_) session_->offer(shortcuts, parent);
    });
}

} // namespace zen::console

#include "KeyChanges.h"
#include "console/KeyPressPortal.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

#include <mutex>

using zen::console::KeyReading;
using zen::console::KeyShortcut;

namespace {

const QString kPortal = "org.freedesktop.portal.Desktop";
const QString kPath = "/org/freedesktop/portal/desktop";
const QString kShortcuts = "org.freedesktop.portal.GlobalShortcuts";

struct Shortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const Shortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, Shortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(Shortcut)

namespace {

// A session bus of the test's own, so the desktop's real portal never answers.
class PrivateBus {
public:
    PrivateBus() {
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1",
                                      "--address=unix:path=" + folder_.filePath("bus")});
        if (daemon_.waitForReadyRead(5000)) address = daemon_.readLine().trimmed();
    }
    ~PrivateBus() {
        daemon_.terminate();
        daemon_.waitForFinished();
    }
    QString address;

private:
    QTemporaryDir folder_;
    QProcess daemon_;
};

// The portal as a desktop offers it: it makes sessions, binds what the user lets it (here: the
// shortcuts whose id the test names), answers each request by a Response on the request's path,
// and raises Activated and Deactivated when the test says so.
class FakePortal : public QDBusVirtualObject {
public:
    explicit FakePortal(const QString& address)
        : bus_(QDBusConnection::connectToBus(address, "fake portal")) {
        qDBusRegisterMetaType<Shortcut>();
        qDBusRegisterMetaType<QList<Shortcut>>();
        bus_.registerVirtualObject(kPath, this, QDBusConnection::SubPath);
        registered = bus_.registerService(kPortal);
    }
    ~FakePortal() override { QDBusConnection::disconnectFromBus("fake portal"); }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override {
        const QString method = message.member();
        const QList<QVariant> in = message.arguments();
        if (method == "Get") {
            bus_.send(message.createReply(QVariant::fromValue(QDBusVariant(1u))));
        } else if (method == "CreateSession") {
            const auto options = qdbus_cast<QVariantMap>(in[0]);
            session = kPath + "/session/" + senderPath(message) + "/" +
                      options["session_handle_token"].toString();
            respond(message, options["handle_token"].toString(), {{"session_handle", session}});
        } else if (method == "BindShortcuts") {
            QList<Shortcut> asked;
            in[1].value<QDBusArgument>() >> asked;
            offered.clear();
            QList<Shortcut> bound;
            for (const Shortcut& shortcut : asked) {
                offered.append(shortcut.id + " " +
                               shortcut.properties["preferred_trigger"].toString() + " " +
                               shortcut.properties["description"].toString());
                if (allowed.contains(shortcut.id)) bound.append({shortcut.id, {}});
            }
            respond(message, qdbus_cast<QVariantMap>(in[3])["handle_token"].toString(),
                    {{"shortcuts", QVariant::fromValue(bound)}}, refuse ? 1u : 0u);
        } else if (method == "Close") {
            closed.append(message.path());
            bus_.send(message.createReply());
        } else {
            return false;
        }
        return true;
    }

    // The shortcut goes down (or up) in a session.
    void press(const QString& sessionPath, const QString& id, bool down) {
        QDBusMessage signal =
            QDBusMessage::createSignal(kPath, kShortcuts, down ? "Activated" : "Deactivated");
        signal << QVariant::fromValue(QDBusObjectPath(sessionPath)) << id << qulonglong(0)
               << QVariantMap();
        bus_.send(signal);
    }

    bool registered = false;
    QStringList allowed;
    bool refuse = false;
    QString session;
    QStringList offered; // id, preferred trigger and description of each shortcut asked for
    QStringList closed;

private:
    static QString senderPath(const QDBusMessage& message) {
        return message.service().mid(1).replace('.', '_');
    }
    void respond(const QDBusMessage& message, const QString& token, const QVariantMap& results,
                 uint code = 0) {
        const QString request = kPath + "/request/" + senderPath(message) + "/" + token;
        bus_.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage response =
            QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response");
        response << code << results;
        bus_.send(response);
    }

    QDBusConnection bus_;
};

} // namespace

// At START the mapped keys are offered to the desktop; those it binds count as held while their
// shortcut is active, in every window; STOP closes the session, and a refusal is said.
TEST(KeyPortalTest, MappedKeysBecomeShortcutsOfEveryWindowUntilTakenBack) {
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon did not start";
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address.toUtf8());
    FakePortal portal(bus.address);
    ASSERT_TRUE(portal.registered);
    portal.allowed = {"key-30"};

    std::vector<std::unique_ptr<zen::console::KeySource>> sources;
    sources.push_back(std::make_unique<zen::console::PortalKeySource>());
    KeyReading keys(std::move(sources));
    zen::test::KeyChanges changes(keys);
    std::mutex mutex;
    QStringList notes;
    QWidget window;
    keys.start(
        window, [&] { changes.changed(); },
        [&](const QString& line) {
            std::lock_guard lock(mutex);
            notes.append(line);
        });
    const auto notesSoFar = [&](qsizetype count) {
        (void)QTest::qWaitFor(
            [&] {
                std::lock_guard lock(mutex);
                return notes.size() >= count;
            },
            5000);
        std::lock_guard lock(mutex);
        return notes;
    };
    EXPECT_EQ(keys.reading().toStdString(), "Keys: none read") << "nothing offered yet";

    keys.offerShortcuts({{30, "D1 PLAY/PAUSE"}, {65, "D1 CUE, D2 PLAY/PAUSE"}});
    EXPECT_EQ(notesSoFar(1), QStringList{"Keys: desktop shortcuts for 1 of 2 keys, every window"});
    EXPECT_EQ(portal.offered,
              (QStringList{"key-30 a D1 PLAY/PAUSE", "key-65 F7 D1 CUE, D2 PLAY/PAUSE"}));
    EXPECT_EQ(keys.reading().toStdString(), "Keys: desktop shortcuts, every window");

    const QString session = portal.session;
    portal.press(session, "key-65", true);      // not bound
    portal.press("/elsewhere", "key-30", true); // another session
    portal.press(session, "key-30", true);
    portal.press(session, "key-30", false);
    EXPECT_EQ(changes.after(2), (std::vector<int>{30, 0}));

    portal.press(session, "key-30", true);
    ASSERT_EQ(changes.after(3).size(), 3u);
    keys.offerShortcuts({});
    EXPECT_EQ(changes.after(4), (std::vector<int>{30, 0, 30, 0})) << "held when taken back";
    EXPECT_TRUE(QTest::qWaitFor([&] { return portal.closed == QStringList{session}; }));
    portal.press(session, "key-30", true);

    portal.refuse = true;
    keys.offerShortcuts({{30, "D1 PLAY/PAUSE"}});
    EXPECT_EQ(notesSoFar(2).value(1).toStdString(), "Keys: desktop shortcuts refused");
    EXPECT_EQ(keys.reading().toStdString(), "Keys: none read");
    keys.stop();
    EXPECT_EQ(changes.after(5, 0).size(), 4u) << "a shortcut of a closed session counted";
}

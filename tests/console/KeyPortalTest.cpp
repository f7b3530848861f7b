#include "KeyChanges.h"
#include "console/KeyPressPortal.h"
#include "console/PortalShortcut.h"

#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using zen::console::PortalShortcut;

namespace {

const QString kPath = "/org/freedesktop/portal/desktop";

// The portal as a desktop offers it: it makes sessions, binds what the user lets it (the ids in
// `allowed`), answers each request by a Response on the request's path, and raises Activated
// and Deactivated when the test says so.
class FakePortal : public QDBusVirtualObject {
public:
    explicit FakePortal(const QString& address)
        : bus_(QDBusConnection::connectToBus(address, "fake portal")) {
        bus_.registerVirtualObject(kPath, this, QDBusConnection::SubPath);
        registered = bus_.registerService("org.freedesktop.portal.Desktop");
    }
    ~FakePortal() override { QDBusConnection::disconnectFromBus("fake portal"); }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override {
        const QList<QVariant> in = message.arguments();
        const QString sender = message.service().mid(1).replace('.', '_');
        const auto respond = [&](const QVariantMap& options, const QVariantMap& results) {
            const QString request =
                kPath + "/request/" + sender + "/" + options["handle_token"].toString();
            bus_.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
            QDBusMessage response =
                QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response");
            bus_.send(response << (refuse ? 1u : 0u) << results);
        };
        if (message.member() == "Get") {
            bus_.send(message.createReply(QVariant::fromValue(QDBusVariant(1u))));
        } else if (message.member() == "CreateSession") {
            const auto options = qdbus_cast<QVariantMap>(in[0]);
            session =
                kPath + "/session/" + sender + "/" + options["session_handle_token"].toString();
            respond(options, {{"session_handle", session}});
        } else if (message.member() == "BindShortcuts") {
            QList<PortalShortcut> asked, bound;
            in[1].value<QDBusArgument>() >> asked;
            offered.clear();
            for (const PortalShortcut& s : asked) {
                offered << s.id + " " + s.properties["preferred_trigger"].toString() + " " +
                               s.properties["description"].toString();
                if (allowed.contains(s.id)) bound.append({s.id, {}});
            }
            respond(qdbus_cast<QVariantMap>(in[3]), {{"shortcuts", QVariant::fromValue(bound)}});
        } else if (message.member() == "Close") {
            closed.append(message.path());
            bus_.send(message.createReply());
        } else {
            return false;
        }
        return true;
    }
    // The shortcut goes down (or up) in a session.
    void press(const QString& sessionPath, const QString& id, bool down) {
        QDBusMessage signal = QDBusMessage::createSignal(
            kPath, "org.freedesktop.portal.GlobalShortcuts", down ? "Activated" : "Deactivated");
        bus_.send(signal << QVariant::fromValue(QDBusObjectPath(sessionPath)) << id << qulonglong(0)
                         << QVariantMap());
    }

    bool registered = false;
    QStringList allowed;
    bool refuse = false;
    QString session;
    QStringList offered; // id, preferred trigger and description of each shortcut asked for
    QStringList closed;

private:
    QDBusConnection bus_;
};

} // namespace

// At START the mapped keys are offered to the desktop; those it binds count as held while their
// shortcut is active, in every window; STOP closes the session, and a refusal is said.
TEST(KeyPortalTest, MappedKeysBecomeShortcutsOfEveryWindowUntilTakenBack) {
    // A session bus of the test's own, so the desktop's real portal never answers.
    QTemporaryDir folder;
    QProcess bus;
    bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1",
                              "--address=unix:path=" + folder.filePath("bus")});
    const QString address = bus.waitForReadyRead(5000) ? bus.readLine().trimmed() : QString();
    ASSERT_FALSE(address.isEmpty()) << "dbus-daemon (scripts/setup) did not start";
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    FakePortal portal(address);
    ASSERT_TRUE(portal.registered);
    portal.allowed = {"key-30"};
    std::vector<std::unique_ptr<zen::console::KeySource>> sources;
    sources.push_back(std::make_unique<zen::console::PortalKeySource>());
    zen::console::KeyReading keys(std::move(sources));
    zen::test::KeyChanges changes(keys);

    keys.offerShortcuts({{30, "D1 PLAY/PAUSE"}, {65, "D1 CUE, D2 PLAY/PAUSE"}});
    EXPECT_EQ(changes.notes(1),
              QStringList{"Keys: desktop shortcuts for 1 of 2 keys, every window"});
    EXPECT_EQ(portal.offered,
              (QStringList{"key-30 a D1 PLAY/PAUSE", "key-65 F7 D1 CUE, D2 PLAY/PAUSE"}));
    EXPECT_EQ(keys.reading().toStdString(), "Keys: desktop shortcuts, every window");

    const QString session = portal.session;
    portal.press(session, "key-65", true);      // not bound
    portal.press("/elsewhere", "key-30", true); // another session
    portal.press(session, "key-30", true);
    portal.press(session, "key-30", false);
    portal.press(session, "key-30", true);
    ASSERT_EQ(changes.after(3), (std::vector<int>{30, 0, 30}));
    keys.offerShortcuts({});
    EXPECT_EQ(changes.after(4).back(), 0) << "held when taken back";
    EXPECT_TRUE(QTest::qWaitFor([&] { return portal.closed == QStringList{session}; }));
    portal.press(session, "key-30", true);

    portal.refuse = true;
    keys.offerShortcuts({{30, "D1 PLAY/PAUSE"}});
    EXPECT_EQ(changes.notes(2).value(1).toStdString(), "Keys: desktop shortcuts refused");
    EXPECT_EQ(keys.reading().toStdString(), "Keys: none read");
    keys.stop();
    EXPECT_EQ(changes.after(5, 0).size(), 4u) << "a shortcut of a closed session counted";
}

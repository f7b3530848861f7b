#include "SystemTestSupport.h"

#include "Desktop.h"
#include "Tracks.h"
#include "common/FirstRunConfig.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <pwd.h>
#include <unistd.h>

// The Debian package's own files, unpacked into a folder of their own (nothing is installed) and
// started through the packaged launcher by a user who cannot write the program folder, as on a
// DJ's machine: the first start writes the settings into that user's own folder, and a key plays.

using namespace zen::system;

namespace {

// Every file and folder below `folder`, with its size, time and mode.
QString listing(const QString& folder) {
    QProcess find;
    find.start("find", {folder, "-printf", "%p %s %T@ %m\\n"});
    find.waitForFinished(10000);
    return QString::fromLocal8Bit(find.readAllStandardOutput());
}

class PackageEndToEndTest : public SystemTest {
protected:
    void SetUp() override {
        SystemTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_TRUE(root.isValid() && home.isValid() && QDir(home.path()).mkdir("Music"));
        ASSERT_TRUE(run("dpkg-deb", {"-x", ZENTARI_PACKAGE_FILE, root.path()}))
            << "cannot unpack " << ZENTARI_PACKAGE_FILE;
        ASSERT_TRUE(
            zen::bench::writeSineWav(home.filePath("Music/sine.wav").toStdString(), 1000, 30));
        if (geteuid() != 0) {
            ASSERT_TRUE(run("chmod", {"-R", "a-w", root.filePath("usr")}));
            return;
        }
        // Root writes a read-only folder all the same: the programs run as another user.
        const passwd* user = getpwnam(qgetenv("ZENTARI_TEST_USER").constData());
        ASSERT_NE(user, nullptr) << "as root, the test runs the programs as the unprivileged user "
                                    "that scripts/services names in ZENTARI_TEST_USER";
        uid = user->pw_uid;
        gid = user->pw_gid;
        ASSERT_TRUE(run("chown", {"-R", QString("%1:%2").arg(uid).arg(gid), home.path(),
                                  console.runtimeFolder()}));
        ASSERT_TRUE(run("chmod", {"755", root.path()}));
    }

    void TearDown() override { run("chmod", {"-R", "u+w", root.path()}); }

    QTemporaryDir root, home;
    uid_t uid = getuid();
    gid_t gid = getgid();
};

TEST_F(PackageEndToEndTest, TheInstalledProgramsStartWithTheUsersOwnSettingsAndPlay) {
    const QString programs = listing(root.filePath("usr"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.remove("XDG_CONFIG_HOME");
    const QString launcher = root.filePath("usr/bin/zentari-dj");
    QStringList command{launcher};
    if (geteuid() == 0)
        command = QStringList{
            "setpriv",        "--reuid", QString::number(uid), "--regid", QString::number(gid),
            "--clear-groups", launcher};
    QString error;
    ASSERT_TRUE(console.launch(command.takeFirst(), command, environment, error))
        << error.toStdString();

    const QString settings = home.filePath(".config/zentari-dj");
    const QFileInfo folder(settings);
    EXPECT_TRUE(folder.ownerId() == uid && (folder.permissions() & 0x0077) == 0)
        << "the first start made no private settings folder for the user";
    const QString defaults = work.filePath("defaults.ini");
    ASSERT_TRUE(zen::config::firstRunConfig(home.filePath("Music")).save(defaults));
    EXPECT_EQ(fileBytes(settings + "/ZentariDJ.ini"), fileBytes(defaults))
        << "the first start did not write the default settings into the user's folder";

    const QStringList decks = startEngine(settings);
    ASSERT_EQ(decks.size(), 2);
    zen::desktop::doubleClickIn(decks[0], zen::desktop::kDeckFirstFile);
    tap(zen::bench::kKeysymA); // deck 1's play key of a new user
    // The deck detects the track's tempo as it loads; the key waits its turn.
    double heard = 0;
    for (int i = 0; i < 8 && heard < 0.02; ++i)
        heard = zen::e2e::toneAmplitude(listen(), 1000);
    EXPECT_GT(heard, 0.02) << "deck 1's play key did not play the track it loaded";
    stopEngine();
    EXPECT_EQ(listing(root.filePath("usr")), programs) << "the program folder changed";
}

} // namespace

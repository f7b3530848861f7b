#include "SystemTestSupport.h"

#include "Desktop.h"
#include "Tracks.h"
#include "common/FirstRunConfig.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QThread>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

// The Debian package's own files, unpacked into a folder of their own (nothing is installed) and
// started through the packaged launcher by a user who cannot write the program folder, as on a
// DJ's machine: the first start writes the settings into that user's own folder, and the keys
// play.

using namespace zen::system;
using namespace zen::desktop;

namespace {

// Every file and folder below `folder`, with its size, time and permissions.
QStringList snapshot(const QString& folder) {
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo file(it.next());
        entries << QString("%1 %2 %3 %4")
                       .arg(file.filePath())
                       .arg(file.size())
                       .arg(file.lastModified().toMSecsSinceEpoch())
                       .arg(static_cast<int>(file.permissions()));
    }
    entries.sort();
    return entries;
}

class PackageEndToEndTest : public SystemTest {
protected:
    void SetUp() override {
        SystemTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_TRUE(root.isValid() && home.isValid());
        ASSERT_TRUE(zen::e2e::run("dpkg-deb", {"-x", ZENTARI_PACKAGE_FILE, root.path()}))
            << "cannot unpack " << ZENTARI_PACKAGE_FILE;
        ASSERT_TRUE(QDir(home.path()).mkpath("Music"));
        ASSERT_TRUE(zen::bench::writeSineWav(music().toStdString() + "/sine.wav", 1000, 30));
        uid = getuid();
        gid = getgid();
        if (geteuid() == 0) {
            // Root writes a read-only folder all the same: the user must not be root.
            const passwd* user = getpwnam(qgetenv("ZENTARI_TEST_USER").constData());
            ASSERT_NE(user, nullptr) << "as root, the test runs the program as the unprivileged "
                                        "user that scripts/services names in ZENTARI_TEST_USER";
            uid = user->pw_uid;
            gid = user->pw_gid;
            for (const QString& path : {home.path(), home.filePath("Music"), music() + "/sine.wav",
                                        console.runtimeFolder()})
                ASSERT_EQ(::chown(path.toLocal8Bit().constData(), uid, gid), 0);
            ASSERT_EQ(::chmod(root.path().toLocal8Bit().constData(), 0755), 0);
        } else {
            ASSERT_TRUE(zen::e2e::run("chmod", {"-R", "a-w", root.filePath("usr")}));
        }
    }

    void TearDown() override {
        zen::e2e::run("chmod", {"-R", "u+w", root.path()});
        SystemTest::TearDown();
    }

    QString music() const { return home.filePath("Music"); }

    QTemporaryDir root, home;
    uid_t uid = 0;
    gid_t gid = 0;
};

TEST_F(PackageEndToEndTest, TheInstalledProgramsStartWithTheUsersOwnSettingsAndPlay) {
    const QStringList before = snapshot(root.filePath("usr"));
    ASSERT_GT(before.size(), 10) << "the package holds too few files";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.remove("XDG_CONFIG_HOME");
    const QString launcher = root.filePath("usr/bin/zentari-dj");
    QString error;
    if (geteuid() == 0)
        ASSERT_TRUE(console.launch("setpriv",
                                   {"--reuid", QString::number(uid), "--regid",
                                    QString::number(gid), "--clear-groups", launcher},
                                   environment, error))
            << error.toStdString();
    else
        ASSERT_TRUE(console.launch(launcher, {}, environment, error)) << error.toStdString();

    const QString settings = home.filePath(".config/zentari-dj");
    EXPECT_EQ(QFileInfo(settings).ownerId(), uid) << "the settings folder is not the user's";
    EXPECT_EQ(QFileInfo(settings).permissions(), QFile::ReadOwner | QFile::WriteOwner |
                                                     QFile::ExeOwner | QFile::ReadUser |
                                                     QFile::WriteUser | QFile::ExeUser)
        << "the first start made no private settings folder in the user's home";
    const QString defaults = work.filePath("defaults.ini");
    ASSERT_TRUE(zen::config::firstRunConfig(music()).save(defaults));
    EXPECT_EQ(fileBytes(settings + "/ZentariDJ.ini"), fileBytes(defaults))
        << "the first start did not write the default settings into the user's folder";

    const QStringList decks = startEngine(settings);
    ASSERT_EQ(decks.size(), 2u);
    doubleClickIn(decks[0], kDeckFirstFile);
    tap(zen::bench::kKeysymA); // deck 1's play key of a new user
    // The deck detects the track's tempo as it loads; the key waits its turn.
    zen::e2e::Tone heard;
    for (int i = 0; i < 8 && heard.amplitude < 0.02; ++i)
        heard = zen::e2e::strongestTone(listen(), 900, 1100);
    EXPECT_GT(heard.amplitude, 0.02) << "deck 1's play key did not play the track it loaded";
    stopEngine();

    EXPECT_EQ(snapshot(root.filePath("usr")), before) << "the program folder changed";
}

} // namespace

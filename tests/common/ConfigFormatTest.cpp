#include "common/ConfigFormat.h"
#include "common/AtomicFile.h"
#include "common/ConfigRecord.h"
#include "common/StyleTable.h"
#include "tests/common/fuzz/ReaderPromises.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <optional>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zen::config;

namespace {

QStringList readAll(QByteArrayView bytes, int count) {
    FieldReader reader(bytes);
    QStringList fields;
    for (int i = 0; i < count; ++i)
        fields << reader.next();
    return fields;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

ConfigRecord sampleRecord() {
    ConfigRecord r = ConfigRecord::fromFields(
        {"ON", "OFF", "OFF", "ON", "<", "0", "1", "MIDI Yoke 1", "<none>"});
    for (int i = 0; i < ConfigRecord::kMappingCount; ++i)
        r.mapping[i] = i % 3 ? QString::number(i + 7) : QStringLiteral("none");
    r.musicFolder = "/home/dj/Música, vol. 1 ";
    r.joystick1 = "4";
    r.joystick2 = "3";
    return r;
}

} // namespace

TEST(FieldReader, ReadsFieldsFromAnyBytes) {
    const QByteArray nul("a\0b,\"\0\"\r\n", 9);
    const struct {
        QByteArray bytes;
        QStringList fields;
    } cases[] = {
        // Quoted fields keep their spaces and commas; unquoted ones are trimmed.
        {"\"ON\"\r\n  \"  padded \"\r\n\"a,b\"\r\n", {"ON", "  padded ", "a,b", ""}},
        {"  12 ,\tx y\t,\r\nlast", {"12", "x y", "", "last"}},
        {"\"a\"junk,\"b\" junk\r\nc", {"a", "b", "c"}}, // text after a closing quote is skipped
        {"a\nb\rc\r\n\r\nd", {"a", "b", "c", "", "d"}},
        {"\"one\r\ntwo\"\r\nthree", {"one\r\ntwo", "three"}}, // to the next quote, across lines
        {"\"never closed\r\nrest", {"never closed\r\nrest", ""}},
        {"\"", {"", ""}},
        {",,\",\",", {"", "", ",", ""}},
        {"\xEF\xBB\xBF\"ON\"\r\n\"M\xC3\xBAsica\"", {"ON", "Música"}}, // UTF-8 after a BOM
        {nul, {QString::fromUtf8("a\0b", 3), QString(QChar(0)), ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readAll(c.bytes, int(c.fields.size())), c.fields) << c.bytes.toHex().constData();
    // A byte that is not UTF-8 reads as a stand-in that writes back as that very byte.
    const auto byte = [](char16_t b) { return QChar(0xDC00 + b); };
    const QString notUtf8 =
        QString(byte(0xFF)) + byte(0xFE) + "\"" + byte(0xC3) + "\"" + byte(0x80);
    EXPECT_EQ(readAll("\xFF\xFE\"\xC3\"\x80,\"", 1)[0], notUtf8);
    EXPECT_EQ(encodeFields({"\xC3\xA9t\xC3\xA9 " + QString(byte(0xE9)) + "t" + byte(0xE9)}),
              "\"\xC3\xA9t\xC3\xA9 \xE9t\xE9\"\r\n");
    EXPECT_FALSE(isRepresentable(QString(QChar(0xD800)) + "x")) << "a lone surrogate no byte made";
    // Only the file's own mark goes: a value that begins with U+FEFF keeps it (found by fuzzing).
    EXPECT_EQ(readAll(",\xEF\xBB\xBF\xEF\xBB\xBF\xBF", 2)[1],
              QString(2, QChar(0xFEFF)) + byte(0xBF));
    const QByteArray longLine(10 * 1024 * 1024, 'x');
    const QStringList fields = readAll(longLine, 38);
    EXPECT_EQ(fields[0].size(), longLine.size());
    EXPECT_EQ(fields[37], "");

    // Inputs kept from fuzzing runs.
    const QByteArray kept[] = {
        QByteArray::fromHex("2cefbbbfefbbbfbf"), QByteArray::fromHex("22224fee220d"),
        QByteArray::fromHex("4e2c0d0d00"),       QByteArray::fromHex("2b4d0d2b20"),
        QByteArray::fromHex("2e2c2e3030"),       QByteArray::fromHex("2222000d"),
        QByteArray::fromHex("0a220a20202d"),     longLine + "\",\"" + QByteArray(3, '\0')};
    for (const QByteArray& input : kept)
        EXPECT_TRUE(test::keepsReaderPromises(input)) << input.left(16).toHex().constData();
}

TEST(ConfigFiles, ReadGivesExactlyTheAskedCountAndFailsOnlyWhenUnopenable) {
    QTemporaryDir dir;
    const QString path = dir.filePath("ZentariDJ.ini");
    QStringList out{"stale"};
    EXPECT_FALSE(readFields(path, 38, out));
    EXPECT_EQ(out, QStringList(38, QString()));
    EXPECT_FALSE(readFields(dir.path(), 3, out)); // a folder
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
    EXPECT_FALSE(readFields(dir.filePath("fifo"), 3, out)); // must not wait for a writer
    EXPECT_EQ(out, QStringList(3, QString()));

    ASSERT_TRUE(writeFields(path, {"ON", "OFF"}));
    EXPECT_TRUE(readFields(path, 38, out));
    ASSERT_EQ(out.size(), 38);
    EXPECT_EQ(out.mid(0, 3), QStringList({"ON", "OFF", ""}));
}

TEST(ConfigRecord, RoundTripsAsOneQuotedCrlfLinePerFieldAndEachDeckTakesItsOwn) {
    QTemporaryDir dir;
    const QString path = dir.filePath("ZentariDJ.ini");
    const ConfigRecord r = sampleRecord();
    ASSERT_TRUE(r.save(path));
    QByteArray expected;
    for (const QString& field : r.toFields())
        expected += "\"" + field.toUtf8() + "\"\r\n";
    EXPECT_EQ(fileBytes(path), expected);
    EXPECT_TRUE(expected.startsWith("\"ON\"\r\n\"OFF\"\r\n\"OFF\"\r\n\"ON\"\r\n\"<\"\r\n\"0\"\r\n"
                                    "\"1\"\r\n\"MIDI Yoke 1\"\r\n\"<none>\"\r\n\"none\"\r\n\"8\""));
    EXPECT_TRUE(expected.endsWith("\"/home/dj/M\xC3\xBAsica, vol. 1 \"\r\n\"4\"\r\n\"3\"\r\n"));
    ConfigRecord loaded;
    EXPECT_TRUE(loaded.load(path));
    EXPECT_EQ(loaded, r);
    // Deck 1 takes its own fields; every other argument the second deck's.
    const auto deck = [&](const char* arg) {
        const DeckSettings d = r.deckSettings(arg);
        return QStringList{d.soundDevice, d.midiPort, d.joystick};
    };
    EXPECT_EQ(deck("1"), QStringList({"0", "MIDI Yoke 1", "4"}));
    for (const char* arg : {"2", "x", "01", " 1", ""})
        EXPECT_EQ(deck(arg), QStringList({"1", "<none>", "3"})) << arg;
    for (const char* notOn : {"on", " ON", "", "OFF"})
        EXPECT_FALSE(ConfigRecord::isOn(notOn)) << notOn;
    EXPECT_TRUE(ConfigRecord::isOn(r.toFields()[0]));

    // A short file leaves the later fields empty; a missing one empties every field.
    ASSERT_TRUE(writeFields(path, r.toFields().mid(0, 10)));
    EXPECT_TRUE(loaded.load(path));
    EXPECT_EQ(loaded.mapping[0], "none");
    EXPECT_EQ(loaded.mapping[1], "");
    EXPECT_FALSE(loaded.load(dir.filePath("none.ini")));
    EXPECT_EQ(loaded, ConfigRecord());
}

TEST(ConfigRecord, SaveThatCannotWriteFaithfullyKeepsTheOldFileAndNoTemporaryFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("ZentariDJ.ini");
    ASSERT_TRUE(sampleRecord().save(path));
    const QByteArray before = fileBytes(path);
    for (const char* folder : {"/music/\"best\"", "/music/a\nb", "/music/a\rb"}) {
        ConfigRecord r = sampleRecord();
        r.musicFolder = folder;
        EXPECT_FALSE(r.save(path)) << folder;
    }
    EXPECT_FALSE(sampleRecord().save(dir.filePath("missing/ZentariDJ.ini")));

    // A file size limit makes the write itself fail, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = sampleRecord().save(path);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written) << "a full disk";

    EXPECT_EQ(fileBytes(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"ZentariDJ.ini"}));
}

// Runs `scenario` in a child process on a tmpfs of 16 KiB mounted at `folder` in a mount
// namespace of its own (as root, or in a user namespace otherwise), and hands back its report;
// nullopt when this system lets no test mount one.
std::optional<QByteArray> onSmallFilesystem(const QString& folder,
                                            const std::function<QByteArray()>& scenario) {
    int report[2];
    if (::pipe(report) != 0) return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        const auto put = [](const char* file, const std::string& text) {
            const int fd = ::open(file, O_WRONLY);
            const bool ok =
                fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
            if (fd >= 0) ::close(fd);
            return ok;
        };
        const bool own =
            ::unshare(CLONE_NEWNS) == 0 ||
            (::unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 && put("/proc/self/setgroups", "deny") &&
             put("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") &&
             put("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"));
        if (!own || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=16k") != 0)
            ::_exit(77);
        const QByteArray text = scenario();
        ::_exit(::write(report[1], text.data(), text.size()) == text.size() ? 0 : 1);
    }
    ::close(report[1]);
    QByteArray text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(report[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, n);
    ::close(report[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) return std::nullopt;
    return text;
}

// A copy or a save is written whole or not at all, and says why not; a link planted where a
// copy goes is replaced, while the user's own settings file that is a link keeps its target
// written. What a failure leaves is the old file, and no temporary file beside it.
TEST(AtomicFile, ReplacesWholeOrNotAtAllAndSaysWhy) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("small"), copy = folder + "/deck1.ini";
    ASSERT_TRUE(QDir().mkdir(folder));
    const QByteArray old = "\"old\"\r\n";
    const auto outcome = [&](QByteArrayView bytes) {
        QString error;
        const bool ok = replaceFile(copy, bytes, error);
        return (ok ? QByteArray("ok") : error.toUtf8()) + " | " + fileBytes(copy) + " | " +
               QDir(folder)
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot | QDir::Hidden)
                   .join(',')
                   .toUtf8();
    };
    const struct {
        const char* fault;
        std::function<void()> plant;
        QByteArray bytes;
        QByteArray outcome;
    } faults[] = {
        {"full disk", [] {}, QByteArray(64 * 1024, 'x'),
         "No space left on device | \"old\"\r\n | deck1.ini"},
        {"read-only disk",
         [&] {
             // A failed remount shows as a write that succeeds.
             ::mount(nullptr, QFile::encodeName(folder).constData(), nullptr,
                     MS_REMOUNT | MS_RDONLY, nullptr);
         },
         "new", "Read-only file system | \"old\"\r\n | deck1.ini"},
    };
    for (const auto& f : faults) {
        const std::optional<QByteArray> report = onSmallFilesystem(folder, [&] {
            QFile file(copy);
            if (!file.open(QIODevice::WriteOnly) || file.write(old) != old.size())
                return QByteArray("setup failed");
            file.close();
            f.plant();
            return outcome(f.bytes);
        });
        if (!report) GTEST_SKIP() << "this system lets no test mount a small filesystem";
        EXPECT_EQ(*report, f.outcome) << f.fault;
    }

    // In place of a copy: a link into the user's files, and a folder.
    QFile target(dir.filePath("mine.txt"));
    ASSERT_TRUE(target.open(QIODevice::WriteOnly) && target.write("mine") == 4);
    target.close();
    ASSERT_TRUE(QFile::link(target.fileName(), copy));
    EXPECT_EQ(outcome("new"), "ok | new | deck1.ini");
    EXPECT_FALSE(QFileInfo(copy).isSymLink());
    EXPECT_EQ(fileBytes(target.fileName()), "mine") << "written through the planted link";
    ASSERT_TRUE(QFile::remove(copy) && QDir().mkpath(copy + "/sub"));
    EXPECT_EQ(outcome("new"), "Is a directory | <missing> | deck1.ini");

    // The user's settings file, a link into a dotfiles folder: the target takes the save.
    const QString settings = folder + "/ZentariDJ.ini";
    ASSERT_TRUE(QFile::setPermissions(target.fileName(), QFile::ReadOwner | QFile::WriteOwner));
    ASSERT_TRUE(QFile::link(target.fileName(), settings));
    ASSERT_TRUE(sampleRecord().save(settings));
    EXPECT_TRUE(QFileInfo(settings).isSymLink());
    EXPECT_EQ(fileBytes(target.fileName()), encodeFields(sampleRecord().toFields()));
    EXPECT_EQ(QFile::permissions(target.fileName()),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
}

TEST(SettingsFolder, IsTheProgramFolderWhenWritableElseAPrivateFolderOfTheUser) {
    QTemporaryDir root;
    const QString program = root.filePath("program"), home = root.filePath("home");
    const QString configHome = root.filePath("config");
    const auto mode = [](const QString& folder) {
        struct stat st {};
        return ::stat(QFile::encodeName(folder).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
    };

    EXPECT_EQ(settingsFolder(program, {true, configHome, home}), program);
    EXPECT_FALSE(QDir(configHome).exists());
    // Read-only, as an installed package: $XDG_CONFIG_HOME/zentari-dj, or ~/.config/zentari-dj
    // when the variable is unset or not an absolute path; made private, with its parents.
    EXPECT_EQ(settingsFolder(program, {false, configHome, home}), configHome + "/zentari-dj");
    EXPECT_EQ(mode(configHome + "/zentari-dj"), 0700u);
    for (const QString& unset : {QString(), QStringLiteral("relative/config")}) {
        EXPECT_EQ(settingsFolder(program, {false, unset, home}), home + "/.config/zentari-dj");
        EXPECT_EQ(mode(home + "/.config/zentari-dj"), 0700u);
    }
    EXPECT_TRUE(settingsPlace(root.path()).programFolderWritable);
    EXPECT_FALSE(settingsPlace(root.filePath("missing")).programFolderWritable);
}

TEST(LeadingNumber, ReadsTheLeadingDecimalNumberLikeVal) {
    const std::pair<const char*, double> cases[] = {
        {"12abc", 12}, {"<none>", 0}, {"", 0},    {"-.5", -0.5},  {"1.2.3", 1.2},
        {"--1", 0},    {"+4", 4},     {"1e3", 1}, {"\t 42 ", 42}, {"٣", 0}};
    for (const auto& [text, value] : cases)
        EXPECT_DOUBLE_EQ(leadingNumber(QString::fromUtf8(text)), value) << text;
    EXPECT_EQ(leadingNumber(QString(400, '9')), std::numeric_limits<double>::max());
    EXPECT_EQ(leadingNumber("-" + QString(400, '9')), -std::numeric_limits<double>::max());
    EXPECT_EQ(leadingNumber("0." + QString(400, '0') + "1"), 0.0);
}

TEST(StyleTable, ShippedFileHoldsTheGenreNames) {
    const QStringList styles = readStyles(ZENTARI_SOURCE_DIR "/data/styles.ini");
    ASSERT_EQ(styles.size(), kStyleCount);
    EXPECT_EQ(styles[0], "Blues");
    EXPECT_EQ(styles[127], "Drum & Bass");
    EXPECT_EQ(styles[255], "");
    EXPECT_EQ(readStyles("/nonexistent/styles.ini"), QStringList(kStyleCount, QString()));
}

#include "common/ConfigFormat.h"
#include "common/ConfigRecord.h"
#include "common/StyleTable.h"
#include "tests/common/fuzz/ReaderPromises.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <limits>
#include <sys/resource.h>
#include <sys/stat.h>

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
    EXPECT_EQ(readAll("\xFF\xFE\"\xC3\"\x80,\"", 1)[0], QString::fromUtf8("\xFF\xFE\"\xC3\"\x80"));
    // Only the file's own mark goes: a value that begins with U+FEFF keeps it (found by fuzzing).
    EXPECT_EQ(readAll(",\xEF\xBB\xBF\xEF\xBB\xBF\xBF", 2)[1],
              QString(2, QChar(0xFEFF)) + QChar(0xFFFD));
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

#include "common/ConfigFormat.h"
#include "common/ConfigRecord.h"
#include "common/StyleTable.h"
#include "tests/common/fuzz/ReaderPromises.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
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

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

ConfigRecord sampleRecord() {
    ConfigRecord r;
    r.bpmDetection = "ON";
    r.scrollFileName = "OFF";
    r.djControl = "OFF";
    r.trackingMode = "ON";
    r.externalMidi = "<";
    r.soundDevice1 = "0";
    r.soundDevice2 = "1";
    r.midiPort1 = "MIDI Yoke 1";
    r.midiPort2 = "<none>";
    for (int i = 0; i < ConfigRecord::kMappingCount; ++i)
        r.mapping[i] = i % 3 ? QString::number(i + 7) : QStringLiteral("none");
    r.musicFolder = "/home/dj/Música, vol. 1 ";
    r.joystick1 = "4";
    r.joystick2 = "3";
    return r;
}

} // namespace

TEST(FieldReader, SplitsAtLineEndsAndCommasAndTrimsUnquotedFields) {
    EXPECT_EQ(readAll("\"ON\"\r\n  \"  padded \"\r\n\"a,b\"\r\n", 4),
              QStringList({"ON", "  padded ", "a,b", ""}));
    EXPECT_EQ(readAll("  12 ,\tx y\t,\r\nlast", 4), QStringList({"12", "x y", "", "last"}));
    // Text after a closing quote is skipped up to the next comma or line end.
    EXPECT_EQ(readAll("\"a\"junk,\"b\" junk\r\nc", 3), QStringList({"a", "b", "c"}));
    EXPECT_EQ(readAll("\r\n\r\nx\r\n", 4), QStringList({"", "", "x", ""}));
    EXPECT_EQ(readAll("a\nb\rc\r\n\r\nd", 5), QStringList({"a", "b", "c", "", "d"}));
}

TEST(FieldReader, QuotedFieldRunsToTheNextQuoteAcrossLines) {
    EXPECT_EQ(readAll("\"one\r\ntwo\"\r\nthree", 2), QStringList({"one\r\ntwo", "three"}));
    EXPECT_EQ(readAll("\"never closed\r\nrest", 2), QStringList({"never closed\r\nrest", ""}));
    EXPECT_EQ(readAll("\"", 2), QStringList({"", ""}));
}

TEST(FieldReader, DecodesUtf8AndSkipsAByteOrderMark) {
    EXPECT_EQ(readAll("\xEF\xBB\xBF\"ON\"\r\n\"M\xC3\xBAsica\"", 2), QStringList({"ON", "Música"}));
    // Only the file's own mark goes: a value that begins with U+FEFF keeps it (found by fuzzing).
    const QStringList fields = readAll(",\xEF\xBB\xBF\xEF\xBB\xBF\xBF", 2);
    EXPECT_EQ(fields[1], QString(2, QChar(0xFEFF)) + QChar(0xFFFD));
    EXPECT_EQ(readAll(encodeFields(fields), 2), fields);
}

TEST(FieldReader, AnyBytesGiveFields) {
    const QByteArray nul("a\0b,\"\0\"\r\n", 9);
    EXPECT_EQ(readAll(nul, 3), QStringList({QString::fromUtf8("a\0b", 3), QString(QChar(0)), ""}));
    EXPECT_EQ(readAll("\xFF\xFE\"\xC3\"\x80,\"", 3)[0], QString::fromUtf8("\xFF\xFE\"\xC3\"\x80"));
    EXPECT_EQ(readAll(",,\",\",", 4), QStringList({"", "", ",", ""}));
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

    writeBytes(path, "\"ON\"\r\n\"OFF\"\r\n");
    EXPECT_TRUE(readFields(path, 38, out));
    ASSERT_EQ(out.size(), 38);
    EXPECT_EQ(out.mid(0, 3), QStringList({"ON", "OFF", ""}));
}

TEST(ConfigFiles, WriterWritesOneQuotedCrlfLinePerField) {
    QTemporaryDir dir;
    const QString path = dir.filePath("ZentariDJ.ini");
    ASSERT_TRUE(sampleRecord().save(path));
    const QByteArray bytes = fileBytes(path);
    const QList<QByteArray> lines = bytes.split('\n');
    ASSERT_EQ(lines.size(), 39);
    EXPECT_TRUE(lines.last().isEmpty());
    for (int i = 0; i < 38; ++i)
        EXPECT_TRUE(lines[i].startsWith('"') && lines[i].endsWith("\"\r")) << i;
    EXPECT_EQ(lines[4], "\"<\"\r");
    EXPECT_EQ(lines[35], "\"/home/dj/M\xC3\xBAsica, vol. 1 \"\r");

    // The same values without quotes read the same, commas apart.
    QByteArray unquoted = bytes;
    unquoted.replace('"', "");
    unquoted.replace(", vol. 1 ", "");
    writeBytes(path, unquoted);
    ConfigRecord expected = sampleRecord();
    expected.musicFolder = "/home/dj/Música";
    ConfigRecord loaded;
    EXPECT_TRUE(loaded.load(path));
    EXPECT_EQ(loaded, expected);
}

TEST(ConfigFiles, SaveRefusesValuesItCannotHoldAndKeepsTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("ZentariDJ.ini");
    ASSERT_TRUE(sampleRecord().save(path));
    const QByteArray before = fileBytes(path);
    for (const char* folder : {"/music/\"best\"", "/music/a\nb", "/music/a\rb"}) {
        ConfigRecord r = sampleRecord();
        r.musicFolder = folder;
        EXPECT_FALSE(r.save(path));
        EXPECT_EQ(fileBytes(path), before);
    }
    EXPECT_FALSE(sampleRecord().save(dir.filePath("missing/ZentariDJ.ini")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"ZentariDJ.ini"}));
}

TEST(ConfigFiles, FailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("ZentariDJ.ini");
    ASSERT_TRUE(writeFields(path, {"old"}));
    const QByteArray before = fileBytes(path);

    // A file size limit makes the write itself fail, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved_ok = sampleRecord().save(path);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"ZentariDJ.ini"}));
}

TEST(ConfigRecord, RoundTripsAndMapsFieldsInFileOrder) {
    QTemporaryDir dir;
    const QString path = dir.filePath("ZentariDJ.ini");
    const ConfigRecord r = sampleRecord();
    ASSERT_TRUE(r.save(path));
    ConfigRecord loaded;
    EXPECT_TRUE(loaded.load(path));
    EXPECT_EQ(loaded, r);

    const QStringList fields = r.toFields();
    ASSERT_EQ(fields.size(), ConfigRecord::kFieldCount);

    // A short file leaves the later fields empty; a missing one empties every field.
    ASSERT_TRUE(writeFields(path, fields.mid(0, 10)));
    EXPECT_TRUE(loaded.load(path));
    EXPECT_EQ(loaded.mapping[0], "none");
    EXPECT_EQ(loaded.mapping[1], "");
    EXPECT_EQ(loaded.joystick2, "");
    EXPECT_FALSE(loaded.load(dir.filePath("none.ini")));
    EXPECT_EQ(loaded, ConfigRecord());
}

TEST(ConfigRecord, DeckOneTakesItsOwnFieldsAndEveryOtherArgumentTheSecondDecks) {
    const ConfigRecord r = ConfigRecord::fromFields(
        {"ON", "ON", "ON", "ON", "2", "5", "6", "MIDI Yoke 1", "MIDI Yoke 2"});
    const DeckSettings one = r.deckSettings("1");
    EXPECT_EQ(one.soundDevice, "5");
    EXPECT_EQ(one.midiPort, "MIDI Yoke 1");
    for (const char* arg : {"2", "3", "x", "01", " 1", ""}) {
        EXPECT_EQ(r.deckSettings(arg).soundDevice, "6") << arg;
        EXPECT_EQ(r.deckSettings(arg).midiPort, "MIDI Yoke 2");
    }
    EXPECT_TRUE(ConfigRecord::isOn("ON"));
    EXPECT_FALSE(ConfigRecord::isOn("on"));
    EXPECT_FALSE(ConfigRecord::isOn(" ON"));
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
        {"12abc", 12}, {" 7", 7},     {"<none>", 0},  {"", 0},        {"-3", -3}, {"2.5x", 2.5},
        {"+4", 4},     {"-.5", -0.5}, {"1.2.3", 1.2}, {"--1", 0},     {"- 1", 0}, {".", 0},
        {"007", 7},    {"1e3", 1},    {"none", 0},    {"\t 42 ", 42}, {"1,5", 1}, {"٣", 0}};
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
    EXPECT_EQ(styles[17], "Rock");
    EXPECT_EQ(styles[79], "Hard Rock");
    EXPECT_EQ(styles[80], "Folk");
    EXPECT_EQ(styles[127], "Drum & Bass");
    EXPECT_EQ(styles[255], "");
    EXPECT_EQ(readStyles("/nonexistent/styles.ini"), QStringList(kStyleCount, QString()));
}

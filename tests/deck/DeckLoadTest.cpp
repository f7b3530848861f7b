#include "DeckTestSupport.h"

#include "common/ConfigFormat.h"
#include "common/ZenButton.h"
#include "deck/Browser.h"
#include "deck/DeckSlider.h"
#include "deck/SongPanel.h"
#include "deck/TagReader.h"
#include "deck/TrackLoader.h"

#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <atomic>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray field(const QByteArray& text, int width) {
    QByteArray bytes = text.left(width);
    bytes.append(QByteArray(width - bytes.size(), ' '));
    return bytes;
}

QByteArray tagBytes(const QByteArray& title, std::uint8_t genre) {
    QByteArray tag = "TAG" + field(title, 30) + field("Artist", 30) + field("Album", 30) +
                     field("1999", 4) + field("Comment", 30);
    tag.append(static_cast<char>(genre));
    return tag;
}

void appendBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(bytes);
}

// Whether `show` opened `fifo` for reading: a writer's non-blocking open succeeds only then, and
// frees the reader blocked in its open, every time, so a label that reads it cannot hang the test.
bool openedWhile(const QByteArray& fifo, const std::function<void()>& show) {
    std::atomic<bool> done{false}, opened{false};
    std::thread writer([&] {
        for (; !done; std::this_thread::sleep_for(std::chrono::milliseconds(2))) {
            const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
            if (fd < 0) continue;
            opened = true;
            ::close(fd);
        }
    });
    show();
    done = true;
    writer.join();
    return opened;
}

} // namespace

TEST_F(DeckTest, LoadShowsTheTrackStoppedAtItsStart) {
    startDeck();
    load(makeSine("Tone Track.wav", 440, 2));
    ASSERT_NE(channel(), 0u);
    EXPECT_EQ(ui().lblFileName->text(), "Tone Track");
    EXPECT_EQ(ui().lblQuality->text(), "44100 Hz");
    EXPECT_EQ(ui().lblLength->text(), "00:02,000");
    EXPECT_EQ(ui().trkPosition->maximum(), 2 * 44100 * 4);
    EXPECT_EQ(ui().trkPosition->value(), 0);
    EXPECT_EQ(window->pitch().origRate(), 44100);
    EXPECT_TRUE(ui().cmdPause->isHidden());
    EXPECT_TRUE(transport().stopped());
    EXPECT_EQ(ui().lblinfo[0]->text(), " ID3 info unavalaible or not exists.");
    // Detection ran: both tempo labels hold a number.
    bool isNumber = false;
    ui().lblBPMs->text().toDouble(&isNumber);
    EXPECT_TRUE(isNumber) << ui().lblBPMs->text().toStdString();
    EXPECT_EQ(ui().lblOrigBPM->text(), ui().lblBPMs->text());
    // The equalizer chain is in place: the low band and its copy.
    zen::audio::ParamEq low;
    ASSERT_TRUE(engine->fxGetParameters(window->equalizer().effect(3), low));
    EXPECT_FLOAT_EQ(low.centerHz, 80.0f);
}

TEST_F(DeckTest, LoadingWhilePlayingFreesTheOldTrackAndOnePressPlaysTheNew) {
    startDeck();
    load(makeSine("one.wav", 440, 3));
    const zen::audio::Handle first = channel();
    const zen::audio::Handle firstDetection = window->bpmReadout().detectionChannel();
    window->Zen_Pause();
    engine->render(44100);
    ASSERT_FALSE(ui().cmdPause->isHidden());

    load(makeSine("two.wav", 660, 3));
    EXPECT_EQ(engine->channelGetPosition(first), -1);
    EXPECT_EQ(engine->streamGetLength(firstDetection), -1);
    EXPECT_TRUE(ui().cmdPause->isHidden());
    EXPECT_TRUE(transport().stopped());
    EXPECT_EQ(engine->channelGetPosition(channel()), 0);

    window->Zen_Pause();
    engine->render(4410);
    EXPECT_EQ(engine->channelGetPosition(channel()), 4410 * 4);
    EXPECT_FALSE(ui().cmdPause->isHidden());
}

TEST_F(DeckTest, TagLinesAndFileNamesShowAsStoredAndOpenNothing) {
    QStringList styles;
    for (int i = 0; i < 256; ++i)
        styles << QStringLiteral("Style %1").arg(i);
    ASSERT_TRUE(zen::config::writeFields(programDir.filePath("styles.ini"), styles));
    // A short folder: the whole image tag must fit the title's 30 bytes.
    QTemporaryDir shortDir(QStringLiteral("/tmp/zXXXXXX"));
    const QByteArray fifo = shortDir.filePath("f").toLocal8Bit();
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    const QByteArray title = "<img src=\"" + fifo + "\">";
    startDeck();
    const QString name = makeSine("<i>tag.ged.wav", 440, 1);
    appendBytes(musicDir.filePath(name), tagBytes(title, 255));
    EXPECT_FALSE(openedWhile(fifo, [&] {
        load(name);
        ui().lblinfo[0]->grab();
    }));
    EXPECT_EQ(ui().lblinfo[0]->text(), " " + QString::fromLatin1(title).leftJustified(30, ' '));
    EXPECT_EQ(ui().lblinfo[3]->text(), " 1999");
    EXPECT_EQ(ui().lblinfo[5]->text(), " Style 255");
    EXPECT_EQ(ui().lblinfo[4]->text().trimmed(), "Comment");
    EXPECT_EQ(ui().lblFileName->text(), "<i>tag.ged") << "the extension goes from the last dot";
    EXPECT_EQ(ui().lblFileName->textFormat(), Qt::PlainText);
}

TEST(TagReaderTest, ExactlyTheLast128BytesMakeTheTag) {
    QTemporaryDir dir;
    const QString exact = dir.filePath("exact.mp3");
    appendBytes(exact, tagBytes("Just a tag", 3));
    TagRecord tag;
    EXPECT_TRUE(ReadTag(exact, tag));
    EXPECT_EQ(tag.genre, 3);
    EXPECT_EQ(tagText(tag.title).trimmed(), "Just a tag");

    const QString shorter = dir.filePath("short.mp3");
    appendBytes(shorter, tagBytes("Just a tag", 3).left(127));
    EXPECT_FALSE(ReadTag(shorter, tag));
    EXPECT_FALSE(ReadTag(dir.path(), tag));
    EXPECT_FALSE(ReadTag(dir.filePath("missing.mp3"), tag));
}

TEST_F(DeckTest, DamagedFileLoadsAsNothingWithoutAWord) {
    startDeck();
    load(makeSine("good.wav", 440, 1));
    const zen::audio::Handle good = channel();
    QFile junk(musicDir.filePath("junk.mp3"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    for (int i = 0; i < 4096; ++i)
        junk.putChar(static_cast<char>((i * 7919) % 251));
    junk.close();

    load("junk.mp3");
    EXPECT_EQ(channel(), 0u);
    EXPECT_EQ(engine->channelGetPosition(good), -1);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(ui().lblFileName->text(), "junk");
    EXPECT_EQ(ui().lblQuality->text(), "- - - - - Hz");
    EXPECT_EQ(ui().lblLength->text(), "- - : - - , - -");
    EXPECT_EQ(ui().lblBPMs->text(), "0");
    window->Zen_Pause();
    transport().positionTick();
    EXPECT_EQ(ui().lblPosition->text(), "- - : - - , - - -");

    // A pipe under an audio name would block any reader: it is refused, not read.
    ASSERT_EQ(mkfifo(musicDir.filePath("pipe.wav").toLocal8Bit().constData(), 0600), 0);
    load("pipe.wav");
    EXPECT_EQ(channel(), 0u);
    EXPECT_EQ(ui().lblinfo[0]->text(), " ID3 info unavalaible or not exists.");
}

TEST_F(DeckTest, FileListShowsAudioFilesOfAnyCaseAndLoadsOnADoubleClickOnly) {
    for (const char* name : {"a.WAV", "b.Mp3", "c.xm", "d.flac", "e.txt", "f"}) {
        QFile file(musicDir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    makeSine("g.wav", 440, 1);
    startDeck();
    QStringList shown;
    for (int i = 0; i < ui().filFile->count(); ++i)
        shown << ui().filFile->item(i)->text();
    EXPECT_EQ(shown, QStringList({"a.WAV", "b.Mp3", "c.xm", "d.flac", "g.wav"}));

    // Return (or a key the console maps) on the current entry loads nothing, nor does a
    // right-button double-click; a left one does.
    FileList* files = ui().filFile;
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    files->setCurrentRow(4);
    QTest::keyClick(files, Qt::Key_Return);
    // Through the window, as the platform delivers a double-click.
    const QPoint at =
        files->viewport()->mapTo(window.get(), files->visualItemRect(files->item(4)).center());
    QTest::mouseDClick(window->windowHandle(), Qt::RightButton, {}, at);
    EXPECT_EQ(channel(), 0u);
    QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {}, at);
    EXPECT_EQ(ui().lblFileName->text(), "g");
    EXPECT_NE(channel(), 0u);

    // A file copied into the folder during the set shows up by itself.
    makeSine("h.ogg.wav", 440, 0.1);
    EXPECT_TRUE(QTest::qWaitFor([this] { return ui().filFile->count() == 6; }, 3000));
}

TEST_F(DeckTest, ListsFollowLinksToFilesAndFoldersButNotToDevicesOrPipes) {
    ASSERT_TRUE(QDir(musicDir.path()).mkdir("Crate"));
    makeSine("Crate/deep.wav", 440, 0.1);
    ASSERT_TRUE(QFile::link(musicDir.filePath("Crate/deep.wav"), musicDir.filePath("linked.wav")));
    ASSERT_TRUE(QFile::link(musicDir.filePath("Crate"), musicDir.filePath("Linked Crate")));
    ASSERT_TRUE(QFile::link("/dev/zero", musicDir.filePath("zero.wav")));
    ASSERT_TRUE(QFile::link("/dev/zero", musicDir.filePath("zero")));
    ASSERT_EQ(mkfifo(musicDir.filePath("pipe.wav").toLocal8Bit().constData(), 0600), 0);
    startDeck();
    FolderList* folders = ui().dirFile;
    QStringList subfolders;
    for (int i = folders->currentRow() + 1; i < folders->count(); ++i)
        subfolders << folders->item(i)->text().trimmed();
    EXPECT_EQ(subfolders, QStringList({"Crate", "Linked Crate"}));
    ASSERT_EQ(ui().filFile->count(), 1);
    EXPECT_EQ(ui().filFile->item(0)->text(), "linked.wav");

    emit folders->itemActivated(folders->item(folders->currentRow() + 1));
    EXPECT_EQ(ui().filFile->path(), QDir(musicDir.filePath("Crate")).canonicalPath());
    ASSERT_EQ(ui().filFile->count(), 1);
    EXPECT_EQ(ui().filFile->item(0)->text(), "deep.wav");
    // The parent stays listed above, so the way back is one activation.
    emit folders->itemActivated(folders->item(folders->currentRow() - 1));
    EXPECT_EQ(ui().filFile->path(), QDir(musicDir.path()).canonicalPath());
}

TEST_F(DeckTest, MonoOpensTheNextTrackWithOneChannel) {
    startDeck();
    ui().chkMono->setChecked(true);
    load(makeSine("tone.wav", 440, 1));
    EXPECT_EQ(ui().trkPosition->maximum(), 44100 * 2);
}

TEST_F(DeckTest, LongNamesScrollAndDraggedFilesShowTheirName) {
    startDeck();
    load(makeSine(QString(80, 'n') + ".wav", 440, 0.5));
    EXPECT_EQ(ui().lblFileName->x(), 386);
    EXPECT_TRUE(ui().pctSongInfo->scroller().scrolling());
    load(makeSine("short.wav", 440, 0.5));
    EXPECT_EQ(ui().lblFileName->x(), 8);
    EXPECT_FALSE(ui().pctSongInfo->scroller().scrolling());

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/music/dropped track.mp3")});
    QDragEnterEvent enter(QPoint(10, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(ui().pctSongInfo, &enter);
    EXPECT_EQ(ui().lblFileName->text(), "dropped track.mp3");
}

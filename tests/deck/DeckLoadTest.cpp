#include "DeckTestSupport.h"

#include "common/ConfigFormat.h"
#include "common/ZenButton.h"
#include "deck/Browser.h"
#include "deck/DeckSlider.h"
#include "deck/SongPanel.h"
#include "deck/TagReader.h"

#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <sys/stat.h>

namespace {

// Title, then blank artist and album, the year, a blank comment and the genre.
QByteArray tagBytes(const QByteArray& title, std::uint8_t genre) {
    return "TAG" + title.leftJustified(30, ' ', true) + QByteArray(60, ' ') + "1999" +
           QByteArray(30, ' ') + static_cast<char>(genre);
}

void writeFile(const QString& path, const QByteArray& bytes, QIODevice::OpenMode mode) {
    QFile file(path);
    ASSERT_TRUE(file.open(mode)) << path.toStdString();
    file.write(bytes);
}

} // namespace

// The lists show audio files of any case and follow links to files and folders, but not to
// devices or pipes; only a left double-click loads. Each load replaces the track and shows its
// tag; a damaged file or a pipe loads as nothing.
TEST_F(DeckTest, ListsShowWhatPlaysAndEachLoadReplacesTheTrackOrLoadsNothingFromBadFiles) {
    for (const char* name : {"a.WAV", "b.Mp3", "c.xm", "d.flac", "e.txt", "f"})
        writeFile(musicDir.filePath(name), {}, QIODevice::WriteOnly);
    makeSine("g.wav", 440, 1);
    ASSERT_TRUE(QDir(musicDir.path()).mkdir("Crate"));
    makeSine("Crate/deep.wav", 440, 0.1);
    ASSERT_TRUE(QFile::link(musicDir.filePath("Crate/deep.wav"), musicDir.filePath("linked.wav")));
    ASSERT_TRUE(QFile::link(musicDir.filePath("Crate"), musicDir.filePath("Linked Crate")));
    ASSERT_TRUE(QFile::link("/dev/zero", musicDir.filePath("zero.wav")));
    ASSERT_EQ(mkfifo(musicDir.filePath("pipe.wav").toLocal8Bit().constData(), 0600), 0);
    QStringList styles;
    for (int i = 0; i < 256; ++i)
        styles << QStringLiteral("Style %1").arg(i);
    ASSERT_TRUE(zen::config::writeFields(programDir.filePath("styles.ini"), styles));
    startDeck();
    FileList* files = ui().filFile;
    FolderList* folders = ui().dirFile;
    QStringList shown, subfolders;
    for (int i = 0; i < files->count(); ++i)
        shown << files->item(i)->text();
    EXPECT_EQ(shown, QStringList({"a.WAV", "b.Mp3", "c.xm", "d.flac", "g.wav", "linked.wav"}));
    for (int i = folders->currentRow() + 1; i < folders->count(); ++i)
        subfolders << folders->item(i)->text().trimmed();
    EXPECT_EQ(subfolders, QStringList({"Crate", "Linked Crate"}));

    // Return (or a key the console maps) on the current entry loads nothing, nor does a
    // right-button double-click, delivered through the window as the platform does.
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    files->setCurrentRow(4);
    QTest::keyClick(files, Qt::Key_Return);
    const QPoint at =
        files->viewport()->mapTo(window.get(), files->visualItemRect(files->item(4)).center());
    QTest::mouseDClick(window->windowHandle(), Qt::RightButton, {}, at);
    EXPECT_EQ(channel(), 0u);
    QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {}, at);
    EXPECT_EQ(ui().lblFileName->text(), "g");
    EXPECT_NE(channel(), 0u);

    // A file copied into the folder during the set shows up by itself.
    makeSine("h.ogg.wav", 440, 0.1);
    EXPECT_TRUE(QTest::qWaitFor([files] { return files->count() == 7; }, 3000));

    // Into a folder and back up: the parent stays listed above.
    emit folders->itemActivated(folders->item(folders->currentRow() + 1));
    EXPECT_EQ(files->path(), QDir(musicDir.path()).canonicalPath() + "/Crate");
    emit folders->itemActivated(folders->item(folders->currentRow() - 1));
    EXPECT_EQ(files->path(), QDir(musicDir.path()).canonicalPath());

    // A name wider than the panel scrolls; the next track replaces the one before.
    const QString longName(80, 'n');
    load(makeSine(longName + ".wav", 440, 2));
    EXPECT_EQ(ui().lblFileName->text(), longName);
    EXPECT_EQ(ui().lblQuality->text(), "44100 Hz");
    EXPECT_EQ(ui().lblLength->text(), "00:02,000");
    EXPECT_EQ(ui().lblinfo[0]->text(), " ID3 info unavalaible or not exists.");
    zen::deck::FileNameScroller& scroller = ui().pctSongInfo->scroller();
    EXPECT_TRUE(scroller.scrolling()) << "a name wider than the panel";
    const int left = ui().lblFileName->x();
    scroller.step();
    EXPECT_LT(ui().lblFileName->x(), left) << "the name scrolls to the left";
    for (int i = 0; i < 1000; ++i)
        scroller.step();
    EXPECT_GE(ui().lblFileName->x(), -ui().lblFileName->width()) << "and comes back on the right";
    bool isNumber = false;
    ui().lblBPMs->text().toDouble(&isNumber);
    EXPECT_TRUE(isNumber) << "tempo detected: " << ui().lblBPMs->text().toStdString();

    const zen::audio::Handle first = channel();
    const zen::audio::Handle firstDetection = window->bpmReadout().detectionChannel();
    window->Zen_Pause();
    engine->render(44100);
    ASSERT_FALSE(ui().cmdPause->isHidden());
    // Mono applies to the next track: 2 bytes a frame.
    ui().chkMono->setChecked(true);
    load(makeSine("two.wav", 660, 3));
    EXPECT_FALSE(scroller.scrolling());
    EXPECT_EQ(engine->channelGetPosition(first), -1);
    EXPECT_EQ(engine->streamGetLength(firstDetection), -1);
    EXPECT_TRUE(ui().cmdPause->isHidden()) << "the new track waits, stopped";
    EXPECT_EQ(ui().trkPosition->maximum(), 3 * 44100 * 2);
    window->Zen_Pause();
    engine->render(4410);
    EXPECT_EQ(engine->channelGetPosition(channel()), 4410 * 2) << "one press plays the new track";

    // A tag is the last 128 bytes of a regular file; its lines show as plain text, never rendered.
    const QByteArray title = "<img src=\"/dev/zero\">";
    const QString name = makeSine("<i>tag.ged.wav", 440, 1);
    writeFile(musicDir.filePath(name), tagBytes(title, 255), QIODevice::Append);
    load(name);
    EXPECT_EQ(ui().lblinfo[0]->text(), " " + QString::fromLatin1(title).leftJustified(30, ' '));
    EXPECT_EQ(ui().lblinfo[5]->text(), " Style 255");
    EXPECT_EQ(ui().lblFileName->text(), "<i>tag.ged") << "the extension goes from the last dot";
    for (const QLabel* label : {ui().lblinfo[0], ui().lblFileName})
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();

    const QByteArray tagOnly = tagBytes("Just a tag", 3);
    writeFile(musicDir.filePath("exact.mp3"), tagOnly, QIODevice::WriteOnly);
    writeFile(musicDir.filePath("short.mp3"), tagOnly.left(127), QIODevice::WriteOnly);
    TagRecord tag;
    EXPECT_TRUE(ReadTag(musicDir.filePath("exact.mp3"), tag)) << "a file that is only a tag";
    for (const QString& damaged :
         {musicDir.filePath("short.mp3"), musicDir.path(), musicDir.filePath("none")})
        EXPECT_FALSE(ReadTag(damaged, tag)) << damaged.toStdString();

    // Junk under an audio name: the loaded track goes, nothing loads, and nobody is asked.
    const zen::audio::Handle second = channel();
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(static_cast<char>((i * 7919) % 251));
    writeFile(musicDir.filePath("junk.mp3"), junk, QIODevice::WriteOnly);
    load("junk.mp3");
    EXPECT_EQ(channel(), 0u);
    EXPECT_EQ(engine->channelGetPosition(second), -1);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(ui().lblQuality->text(), "- - - - - Hz");
    EXPECT_EQ(ui().lblLength->text(), "- - : - - , - -");
    EXPECT_EQ(ui().lblBPMs->text(), "0");
    window->Zen_Pause();
    transport().positionTick();
    EXPECT_EQ(ui().lblPosition->text(), "- - : - - , - - -");
    // A pipe under an audio name would block any reader: it is refused, not read.
    load("pipe.wav");
    EXPECT_EQ(channel(), 0u);

    QMimeData dragged;
    dragged.setUrls({QUrl::fromLocalFile("/music/dropped track.mp3")});
    QDragEnterEvent enter(QPoint(10, 5), Qt::CopyAction, &dragged, Qt::LeftButton, {});
    QApplication::sendEvent(ui().pctSongInfo, &enter);
    EXPECT_EQ(ui().lblFileName->text(), "dropped track.mp3") << "a dragged file shows its name";
}

#pragma once

#include "deck/ChannelSource.h"

#include <QString>
#include <QStringList>
#include <array>

class BpmReadout;
struct DeckSnapshot;
class DriveList;
class Equalizer;
class FileList;
class FolderList;
class Pitch;
class QCheckBox;
class QLabel;
class SongPanel;
class Touch;
class Transport;

// The file browser and loading a track from it: the previous track is released, a channel with
// the equalizer chain is opened and the song panel, tag, length, rate and tempo are shown. The
// deck is left stopped at the start. A step that fails is skipped without a word; a file that
// opens as nothing leaves the deck with no channel.
class TrackLoader {
public:
    struct Controls {
        SongPanel* pctSongInfo = nullptr;
        std::array<QLabel*, 6> tagLines{}; // lblinfo(0..5)
        QLabel* lblQuality = nullptr;
        QLabel* lblLength = nullptr;
        QCheckBox* chkMono = nullptr;
        DriveList* drvFile = nullptr;
        FolderList* dirFile = nullptr;
        FileList* filFile = nullptr;
    };
    // The concerns a load resets for the new track.
    struct Parts {
        Transport& transport;
        Touch& touch;
        Pitch& pitch;
        Equalizer& equalizer;
        BpmReadout& bpmReadout;
    };

    TrackLoader(zen::audio::AudioEngine& engine, const Controls& controls, const Parts& parts);

    void load(const QString& folder, const QString& fileName);
    // The file list's double-click: the named file of the current folder.
    void loadFile(const QString& fileName);

    // Points the browser at the music folder: file list, folder list, then the volume that holds
    // it. An empty or unreadable folder opens the user's home folder.
    void openMusicFolder(const QString& folder);
    // The genre names the tag's genre byte is shown by.
    void setGenres(const QStringList& genres) { genres_ = genres; }
    // The shutdown stops the file name's scrolling.
    void stopScrolling();
    // The activity light went off: the tag's comment line is emptied.
    void clearCommentLine();

    // The deck's record: the browser's folder, the loaded track and the mono switch; a relaunched
    // deck opens the folder and loads the track again.
    void save(DeckSnapshot& snapshot) const;
    void restore(const DeckSnapshot& snapshot);

    // The loaded track's channel, 0 while none is.
    zen::audio::Handle channel() const { return channel_; }

    // The name shown for a loaded file: without its extension (from the last dot).
    static QString displayName(const QString& fileName);

private:
    void releaseTrack();
    void openChannel(const std::string& path);
    // lblQuality; the channel's own rate, 0 when nothing opened.
    int showRate();
    // lblLength; the length in bytes the position slider spans.
    zen::audio::BytePosition showLength();

    zen::audio::AudioEngine& engine_;
    Controls controls_;
    Parts parts_;
    zen::audio::Handle channel_ = 0;
    QString loadedPath_;
    QStringList genres_;
};

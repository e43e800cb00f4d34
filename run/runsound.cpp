#include "run/runsound.h"

#include <QRandomGenerator>
#include <algorithm>

#include "run/actions.h"
#include "widgets/file_text.h"

namespace ringmere::run {

RunSound::RunSound(RunSession& session, const Services& services, PlayerPanel filePanel,
                   PlayerPanel cdPanel)
    : session_(session),
      services_(services),
      filePanel_(filePanel),
      cdPanel_(cdPanel),
      filePlayer_(services.sound.NewFilePlayer()),
      loopPlayer_(services.sound.NewLoopPlayer()),
      cdPlayer_(services.sound.NewCdPlayer()),
      wavTimer_(services.waiting, [this] { WavTimerTick(); }) {
    EnableOnly(filePanel_, true);
    EnableOnly(cdPanel_, true);
}

RunSound::~RunSound() {
    // Only the devices: the window's buttons may already be gone.
    wavTimer_.Stop();
    loopPlayer_->Stop();
    filePlayer_->Stop();
    cdPlayer_->Stop();
}

void RunSound::EnableOnly(const PlayerPanel& p, bool play) {
    if (p.play) p.play->setEnabled(play);
    if (p.stop) p.stop->setEnabled(!play);
}

void RunSound::Start(const MusicType& music, bool step) {
    switch (music.MuType) {
        case kMusicMp3:
            session_.Report("Playing " + music.Mp3.mp3file + ".");
            // mp3ptype 0 meant a player inside the program; there is none.
            if (music.Mp3.mp3ptype != kInternalPlayer)
                ShellOpenFile(services_.desktop, services_.dialogs,
                              widgets::FromFileText(music.Mp3.mp3file), session_.Window());
            break;
        case kMusicWave:
            session_.Report("Playing " + music.Wav.wavfile + ".");
            services_.waiting.ProcessEvents();
            wav_ = music.Wav;
            PlayFile();
            break;
        case kMusicCd: {
            const std::string& letter = music.Cd.cddrive;
            if (letter.empty()) {
                session_.Report(step ? std::string("Script CD drive letter blank.")
                                     : std::string("CD drive letter blank.  Re-enter alarm if "
                                                   "drive letters changed or contact ") +
                                           kSupportAddress + ".");
                session_.Report("No audio CD detected.");
                break;
            }
            const QString first = widgets::FromFileText(letter.substr(0, 1));
            if (!AudioCDPresent(services_.sound.Drives(), first)) {
                session_.Report("No audio CD detected.");
                break;
            }
            if (cdPanel_.panel) cdPanel_.panel->setVisible(true);
            step ? session_.Report("Playing CD.") : session_.Show("Playing CD.");
            cd_ = music.Cd;
            cdDevice_ = CdDevicePath(first);
            PlayCd();
            break;
        }
        default:  // kMusicSilent
            break;
    }
}

void RunSound::PlayFile() {
    const QString path = widgets::FromFileText(wav_.wavfile);
    switch (wav_.wavtype) {
        case kWavOnce:
            EnableOnly(filePanel_, false);
            if (!filePlayer_->Play(path, [this] { FileEnded(); })) {
                CouldNotPlay(filePlayer_->ErrorText());
                FileEnded();
            }
            break;
        case kWavUntilStopped:
            EnableOnly(filePanel_, false);
            looping_ = true;
            if (!loopPlayer_->Loop(path)) CouldNotPlay(loopPlayer_->ErrorText());
            break;
        case kWavForSeconds: {
            const qint64 ms = std::clamp<qint64>(qint64(wav_.reptimes) * 1000, 0, 0x7fffffff);
            wavTimer_.SetInterval(int(ms));
            EnableOnly(filePanel_, false);
            if (!loopPlayer_->Loop(path)) CouldNotPlay(loopPlayer_->ErrorText());
            wavTimer_.Start();
            break;
        }
        default:
            break;
    }
}

void RunSound::CouldNotPlay(const QString& why) {
    session_.Report("Could not play " + wav_.wavfile + ": " +
                    (why.isEmpty() ? std::string("the file cannot be played") : why.toStdString()) +
                    ".");
}

void RunSound::StopFile() {
    if (wav_.wavtype != kWavOnce) {
        loopPlayer_->Stop();
        wavTimer_.Stop();
    } else {
        filePlayer_->Stop();
    }
    FileEnded();
}

void RunSound::FileEnded() {
    EnableOnly(filePanel_, true);
    if (filePanel_.panel) filePanel_.panel->setVisible(false);
}

void RunSound::WavTimerTick() {
    wavTimer_.Stop();
    loopPlayer_->Stop();
    EnableOnly(filePanel_, true);
}

void RunSound::PlayCd() {
    const std::optional<int> tracks = services_.sound.Drives().AudioTracks(cdDevice_);
    if (!tracks) {
        session_.Report("No audio CD detected.");
        return;
    }
    const int track = cd_.tracktype != kCdListedTrack
                          ? int(QRandomGenerator::global()->bounded(1, *tracks + 1))
                          : cd_.cdtrack;
    // A track the disc does not have plays nothing, as a failed seek would.
    if (track < 1 || track > *tracks) return;
    if (!cdPlayer_->Play(cdDevice_, track)) {
        session_.Report("No audio CD detected.");
        return;
    }
    EnableOnly(cdPanel_, false);
}

void RunSound::StopAll() {
    loopPlayer_->Stop();
    if (filePlayer_->IsPlaying()) filePlayer_->Stop();
    if (cdPlayer_->IsPlaying()) cdPlayer_->Stop();
    wavTimer_.Stop();
    EnableOnly(filePanel_, true);
    EnableOnly(cdPanel_, true);
}

}  // namespace ringmere::run

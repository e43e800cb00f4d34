#include "run/runsound.h"

#include <QRandomGenerator>
#include <algorithm>

#include "core/settings.h"
#include "run/actions.h"
#include "widgets/file_text.h"

namespace ringmere::run {

double FadeLevel(qint64 elapsedMs, qint64 fadeMs) {
    if (fadeMs <= 0 || elapsedMs >= fadeMs) return 1.0;
    return 0.1 + 0.9 * double(std::max<qint64>(elapsedMs, 0)) / double(fadeMs);
}

FadeIn::FadeIn(Waiting& waiting, std::function<void(double)> apply)
    : apply_(std::move(apply)), timer_(waiting, [this] { Step(); }) {
    timer_.SetInterval(kStepMs);
}

void FadeIn::Start(int seconds) {
    timer_.Stop();
    elapsedMs_ = 0;
    fadeMs_ = qint64(std::max(seconds, 0)) * 1000;
    apply_(FadeLevel(0, fadeMs_));
    if (fadeMs_ > 0) timer_.Start();
}

void FadeIn::Step() {
    // Counted in ticks: a busy event loop stretches the fade, never jumps it.
    elapsedMs_ += kStepMs;
    if (elapsedMs_ >= fadeMs_) timer_.Stop();
    apply_(FadeLevel(elapsedMs_, fadeMs_));
}

RunSound::RunSound(RunSession& session, const Services& services, PlayerPanel filePanel,
                   PlayerPanel cdPanel)
    : session_(session),
      services_(services),
      filePanel_(filePanel),
      cdPanel_(cdPanel),
      filePlayer_(services.sound.NewFilePlayer()),
      loopPlayer_(services.sound.NewLoopPlayer()),
      cdPlayer_(services.sound.NewCdPlayer()),
      wavTimer_(services.waiting, [this] { WavTimerTick(); }),
      fade_(services.waiting, [this](double level) {
          filePlayer_->SetVolume(level);
          loopPlayer_->SetVolume(level);
          cdPlayer_->SetVolume(level);
      }) {
    filePlayer_->OnFailure([this](const QString& why) { Failed(why, false); });
    loopPlayer_->OnFailure([this](const QString& why) { Failed(why, false); });
    cdPlayer_->OnFailure([this](const QString& why) { Failed(why, true); });
    EnableOnly(filePanel_, true);
    EnableOnly(cdPanel_, true);
}

RunSound::~RunSound() {
    // Only the devices: the window's buttons may already be gone.
    fade_.Stop();
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
                FallBack(true);
                break;
            }
            const QString first = widgets::FromFileText(letter.substr(0, 1));
            if (!AudioCDPresent(services_.sound.Drives(), first)) {
                session_.Report("No audio CD detected.");
                FallBack(true);
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
    tone_ = false;
    const QString path = widgets::FromFileText(wav_.wavfile);
    switch (wav_.wavtype) {
        case kWavOnce:
            EnableOnly(filePanel_, false);
            if (filePlayer_->Play(path, [this] { FileEnded(); })) {
                StartFade();
            } else {
                CouldNotPlay(filePlayer_->ErrorText());
                FileEnded();
                FallBack(false);
            }
            break;
        case kWavUntilStopped:
            EnableOnly(filePanel_, false);
            looping_ = true;
            if (loopPlayer_->Loop(path)) {
                StartFade();
            } else {
                CouldNotPlay(loopPlayer_->ErrorText());
                FallBack(false);
            }
            break;
        case kWavForSeconds: {
            const qint64 ms = std::clamp<qint64>(qint64(wav_.reptimes) * 1000, 0, 0x7fffffff);
            wavTimer_.SetInterval(int(ms));
            EnableOnly(filePanel_, false);
            if (loopPlayer_->Loop(path)) {
                StartFade();
            } else {
                CouldNotPlay(loopPlayer_->ErrorText());
                FallBack(false);  // the tone loops for the seconds instead
            }
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

void RunSound::Failed(const QString& why, bool fromCd) {
    if (fromCd) {
        EnableOnly(cdPanel_, true);
        session_.Report("Could not play the CD: " + why.toStdString() + ".");
    } else if (tone_) {
        ToneFailed(why);
        return;
    } else {
        CouldNotPlay(why);
    }
    FallBack(fromCd);
}

void RunSound::FallBack(bool fromCd) {
    QString why;
    const QString tone = services_.sound.TonePath(why);
    if (tone.isEmpty()) {
        ToneFailed(why);
        return;
    }
    // The tone takes the sound's own way: once, or looped until stopped
    // or for the sound's seconds. A CD's tone plays once.
    tone_ = true;
    bool started;
    if (!fromCd && wav_.wavtype != kWavOnce) {
        started = loopPlayer_->Loop(tone);
        why = loopPlayer_->ErrorText();
    } else {
        EnableOnly(filePanel_, false);
        started = filePlayer_->Play(tone, [this] { FileEnded(); });
        why = filePlayer_->ErrorText();
        if (!started) FileEnded();
    }
    if (!started) {
        tone_ = false;
        ToneFailed(why);
        return;
    }
    session_.Report("Playing the built-in tone instead.");
    StartFade();
}

void RunSound::ToneFailed(const QString& why) {
    tone_ = false;
    session_.Report("Could not play the built-in tone: " +
                    (why.isEmpty() ? std::string("the sound system refused it") : why.toStdString()) +
                    ".");
    services_.sound.Beep();
    session_.Flash();
}

void RunSound::StartFade() {
    // Read at each start: the option applies from the next sound on.
    fade_.Start(ReadFadeInSeconds(services_.settings));
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
        FallBack(true);
        return;
    }
    const int track = cd_.tracktype != kCdListedTrack
                          ? int(QRandomGenerator::global()->bounded(1, *tracks + 1))
                          : cd_.cdtrack;
    if (track < 1 || track > *tracks) {
        session_.Report("Could not play the CD: it has no track " + std::to_string(track) + ".");
        FallBack(true);
        return;
    }
    if (!cdPlayer_->Play(cdDevice_, track)) {
        session_.Report("No audio CD detected.");
        FallBack(true);
        return;
    }
    EnableOnly(cdPanel_, false);
    StartFade();
}

void RunSound::StopAll() {
    tone_ = false;
    fade_.Stop();
    loopPlayer_->Stop();
    if (filePlayer_->IsPlaying()) filePlayer_->Stop();
    if (cdPlayer_->IsPlaying()) cdPlayer_->Stop();
    wavTimer_.Stop();
    EnableOnly(filePanel_, true);
    EnableOnly(cdPanel_, true);
}

}  // namespace ringmere::run

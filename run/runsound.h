// The sound of one run window: its file player (mediaplayer1), its loop
// player, the timer that ends timed playback (wavTimer), and its CD player
// (MediaPlayer2), with the Play and Stop buttons of the two players.
#pragma once

#include <QAbstractButton>
#include <QWidget>
#include <functional>
#include <memory>

#include "core/records.h"
#include "run/desktop.h"
#include "run/services.h"
#include "run/sound.h"
#include "run/waiting.h"

namespace ringmere::run {

class RunSession;

inline constexpr const char* kSupportAddress = "support@ringmere.example.org";

// The volume of a gentle start after `elapsedMs` of `fadeMs`: from a tenth
// up to the full level, in a straight line.
double FadeLevel(qint64 elapsedMs, qint64 fadeMs);

// Steps a volume along FadeLevel on the waiting service's ticks.
class FadeIn {
public:
    static constexpr int kStepMs = 250;

    FadeIn(Waiting& waiting, std::function<void(double)> apply);
    // Applies the first level at once; 0 seconds or less: the full level.
    void Start(int seconds);
    // Leaves the volume where it is.
    void Stop() { timer_.Stop(); }
    bool Active() const { return timer_.IsActive(); }

private:
    void Step();

    std::function<void(double)> apply_;
    WaitTimer timer_;
    qint64 elapsedMs_ = 0;
    qint64 fadeMs_ = 0;
};

struct PlayerPanel {
    QWidget* panel = nullptr;
    QAbstractButton* play = nullptr;
    QAbstractButton* stop = nullptr;
};

class RunSound {
public:
    RunSound(RunSession& session, const Services& services, PlayerPanel filePanel,
             PlayerPanel cdPanel);
    ~RunSound();

    // Starts the sound of the alarm or of a music step and returns at once.
    void Start(const MusicType& music, bool step);

    // Play and Stop of the file player, for the settings last started.
    void PlayFile();
    void StopFile();
    void PlayCd();

    // Snooze and closing: everything this window plays stops.
    void StopAll();

    bool FilePlaying() const { return filePlayer_->IsPlaying(); }
    bool WavTimerRunning() const { return wavTimer_.IsActive(); }
    bool LoopingSound() const { return looping_; }
    void ClearLoopingSound() { looping_ = false; }
    bool LoopPlaying() const { return loopPlayer_->IsPlaying(); }
    bool CdPlaying() const { return cdPlayer_->IsPlaying(); }
    bool Fading() const { return fade_.Active(); }

private:
    void FileEnded();
    void CouldNotPlay(const QString& why);
    // After a sound that cannot play: the program's tone in its place, or
    // the bell and a flashing window when not even that plays.
    void FallBack(bool fromCd);
    void ToneFailed(const QString& why);
    void Failed(const QString& why, bool fromCd);
    void StartFade();
    void WavTimerTick();
    static void EnableOnly(const PlayerPanel& p, bool play);

    RunSession& session_;
    Services services_;
    PlayerPanel filePanel_;
    PlayerPanel cdPanel_;
    std::unique_ptr<FilePlayer> filePlayer_;
    std::unique_ptr<LoopPlayer> loopPlayer_;
    std::unique_ptr<CdPlayer> cdPlayer_;
    WaitTimer wavTimer_;
    FadeIn fade_;
    bool looping_ = false;
    bool tone_ = false;  // the file or loop player plays the tone
    WavRec wav_;  // the wave file the file player's buttons act on
    CDRec cd_;    // the CD settings of MediaPlayer2
    QString cdDevice_;
};

}  // namespace ringmere::run

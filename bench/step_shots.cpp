// Pictures of every page of the step editor and of the script step list:
//   xvfb-run -a build/bench/step_shots docs/editor
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <functional>

#include "core/step_form.h"
#include "tests/run/fake_services.h"
#include "ui/AddEvent.h"
#include "ui/alarmset.h"

using namespace ringmere;

namespace {

AlEventList Example() {
    std::vector<AlEvent> steps(4);
    steps[0].evtype = kStepFileOp;
    *steps[0].FileOp = {kFopCopy, "/home/user/Documents/*.odt", "/media/backup", ""};
    steps[1].evtype = kStepSleep;
    steps[1].sseconds = 10;
    steps[2].evtype = kStepSound;
    steps[2].Music->MuType = kMusicWave;
    steps[2].Music->Wav.wavfile = "/usr/share/sounds/alsa/Front_Center.wav";
    steps[3].evtype = kStepRepeat;
    steps[3].Repeat = {2, kRepeatTimes, 3};
    for (AlEvent& e : steps) e.evname = StepDescription(e);
    return {Integer(steps.size()), steps};
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    QTemporaryDir dir;
    Globals g;
    g.ProgramDir = QDir(dir.path()).absolutePath().toStdString() + "/";
    SetDefaultSettings(g);
    g.Settings.ReplyTo = "me@example.org";
    g.AlarmCount = 1;
    g.ResetAlarmTable(1);
    g.AlarmTable[1].AlName = "Nightly backup";
    g.AlarmTable[1].mtype = kScriptedAlarm;
    g.AlarmTable[1].Events = Example();
    run::testing::FakeServices fakes(g, EncodeDate(2026, 12, 9) + EncodeTime(8, 0, 0));
    int written = 0;
    auto save = [&](QWidget& w, const QString& name) {
        QApplication::processEvents();
        if (w.grab().save(out + QLatin1Char('/') + name + QStringLiteral(".png"))) ++written;
    };

    {
        ui::TfrmAddAlarm editor(g, fakes.Handed(), {AlarmEditRequest::Mode::Edit, 1}, nullptr);
        editor.resize(editor.sizeHint().expandedTo(QSize(640, 540)));
        editor.show();
        auto* tabs = editor.findChild<QTabWidget*>(QStringLiteral("pcScripted"));
        tabs->setCurrentIndex(0);
        editor.findChild<QListWidget*>(QStringLiteral("clEvents"))->setCurrentRow(3);
        save(editor, QStringLiteral("scripted-alarm-script-steps"));
    }

    ui::TfrmAddEvent editor(g, fakes.Handed(), {Example(), 4, true}, nullptr);
    editor.show();
    auto click = [&](const char* name) {
        editor.findChild<QAbstractButton*>(QString::fromLatin1(name))->click();
    };
    auto tab = [&](const char* tabs, int index) {
        editor.findChild<QTabWidget*>(QString::fromLatin1(tabs))->setCurrentIndex(index);
    };
    const std::pair<const char*, std::function<void()>> shots[] = {
        {"step-music-mp3", [&] { click("rbMusic"), click("rbMp3"); }},
        {"step-music-wave", [&] { click("rbWav"); }},
        {"step-music-cd", [&] { click("rbCD"); }},
        {"step-dialup", [&] { click("rbDialup"); }},
        {"step-launch-file", [&] { click("rbLaunchFile"); }},
        {"step-launch-website", [&] { click("rbLaunchWeb"); }},
        {"step-mail-configuration", [&] { click("rbEmail"), tab("pcPage", 0); }},
        {"step-mail-message", [&] { tab("pcPage", 1); }},
        {"step-mail-attachment", [&] { tab("pcPage", 2); }},
        {"step-sleep", [&] { click("rbSleep"); }},
        {"step-synchronize-time", [&] { click("rbSynch"); }},
        {"step-ftp-transfer-options", [&] { click("rbFTP"), tab("pcFTP", 0); }},
        {"step-ftp-retry-options", [&] { tab("pcFTP", 1); }},
        {"step-repeat",
         [&] {
             click("rbRepeat");
             editor.findChild<QListWidget*>(QStringLiteral("lstSteps"))->setCurrentRow(1);
         }},
        {"step-file-copy", [&] { click("rbFileOp"), click("rbFileCopy"); }},
        {"step-file-move", [&] { click("rbFileMove"); }},
        {"step-file-delete", [&] { click("rbFileDelete"); }},
    };
    for (const auto& [name, show] : shots) {
        show();
        save(editor, QString::fromLatin1(name));
    }
    return written > 0 ? 0 : 1;
}

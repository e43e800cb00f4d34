// Pictures of the main window and a run window under a dark palette, for
// docs/dark/: xvfb-run -a build/bench/dark_shots docs/dark
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QStyleFactory>
#include <QTableView>
#include <QTemporaryDir>

#include "run/activealarm.h"
#include "tests/run/fake_services.h"
#include "ui/alarm.h"

using namespace ringmere;

namespace {

QPalette Dark() {
    QPalette p;
    const QColor window(45, 45, 48), base(30, 30, 32), text(225, 225, 225);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(110, 170, 255));
    const QColor grey(127, 127, 127);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, grey);
    return p;
}

AlRec Daily(const char* name, int hour, Byte music) {
    AlRec a;
    a.AlName = name;
    a.AlMessage = "Time to stretch your legs.";
    a.enabled = true;
    a.Music->MuType = music;
    a.Music->Wav.wavfile = "/usr/share/sounds/alsa/Front_Center.wav";
    a.Schedule.AlType = kEveryXDays;
    a.Schedule.AlXDays = 1;
    a.Schedule.AlEndType = kEndNever;
    a.Schedule.AlStartDate = EncodeDate(2026, 12, 1);
    a.Schedule.AlTime = EncodeTime(hour, 30, 0);
    return a;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(Dark());
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    QTemporaryDir dir;
    Globals g;
    g.ProgramDir = QDir(dir.path()).absolutePath().toStdString() + "/";
    SetDefaultSettings(g);
    g.AlarmCount = 3;
    g.ResetAlarmTable(3);
    g.AlarmTable[1] = Daily("Morning walk", 7, kMusicWave);
    g.AlarmTable[2] = Daily("Lunch", 12, kMusicCd);
    g.AlarmTable[2].Schedule.AlEndType = kEndOnce;
    // Every kind of action, for the strip of small icons.
    AlRec& backup = g.AlarmTable[3] = Daily("Nightly backup", 23, kMusicSilent);
    backup.Schedule.AlEndType = kEndAtDate;
    backup.Schedule.AlEndDate = EncodeDate(2027, 6, 30);
    backup.Dial->usedialup = true;
    backup.Launch->app1 = "/usr/bin/rsync";
    backup.Web->url1 = "https://example.org/";
    backup.Mail->sendmessage = true;
    backup.Synch->dosynch = true;
    backup.Ftp->ftpenabled = true;
    backup.FileOp->fop = kFopCopy;
    run::testing::FakeServices fakes(g, EncodeDate(2026, 12, 9) + EncodeTime(8, 0, 0));
    int written = 0;
    {
        ui::MainWindowHooks hooks;
        hooks.trayAvailable = [] { return true; };
        hooks.openEditor = [](QWidget*, const AlarmEditRequest&) { return std::nullopt; };
        ui::TfrmAlMain window(g, fakes.Handed(), hooks);
        window.resize(560, 400);
        window.show();
        // A selected row shows the icons on the highlight too.
        window.findChild<QTableView*>(QStringLiteral("grAlarms"))->selectRow(0);
        QApplication::processEvents();
        if (window.grab().save(out + QStringLiteral("/mainwindow.png"))) ++written;
    }
    auto* run = new run::TfrmActiveAlarm(g, 1, fakes.Handed());
    run->SetTitle(QStringLiteral("Alarm, Morning walk, Activated."));
    run->show();
    QApplication::processEvents();
    if (run->grab().save(out + QStringLiteral("/runwindow.png"))) ++written;
    delete run;
    return written == 2 ? 0 : 1;
}

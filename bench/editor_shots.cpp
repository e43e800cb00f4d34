// Pictures of every tab of the alarm editor, both sets, for docs/editor/:
//   xvfb-run -a build/bench/editor_shots docs/editor
#include <QApplication>
#include <QDir>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>

#include "tests/run/fake_services.h"
#include "ui/AddException.h"
#include "ui/alarmset.h"
#include "ui/gexcept.h"
#include "ui/alarmtime.h"

using namespace ringmere;

namespace {

AlRec Example() {
    AlRec a;
    a.AlName = "Morning walk";
    a.AlMessage = "Shoes by the door.\r\nTake the long way round.";
    a.AlSnooze = true;
    a.snoozeming = 10;
    a.Music->MuType = kMusicWave;
    a.Music->Wav.wavfile = "/usr/share/sounds/alsa/Front_Center.wav";
    a.Schedule.AlType = kWeekly;
    a.Schedule.AlXWeeks = 1;
    a.Schedule.AlWeekdays = {2, 4, 6};
    a.Schedule.AlWeekdaynum = 3;
    a.Schedule.AlEndType = kEndNever;
    a.Schedule.AlStartDate = EncodeDate(2026, 12, 1);
    a.Schedule.AlTime = EncodeTime(7, 15, 0);
    a.Exceptions.Count = 1;
    a.Exceptions.Items.resize(1);
    a.Exceptions.Items[0].ExType = kExDates;
    a.Exceptions.Items[0].ExDays = {EncodeDate(2026, 12, 25)};
    a.Exceptions.Items[0].ExDayCnt = 1;
    a.enabled = true;
    return a;
}

QString Slug(const QString& title) {
    QString s = title.toLower();
    s.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-"));
    while (s.endsWith(QLatin1Char('-'))) s.chop(1);
    return s;
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
    g.AlarmCount = 1;
    g.ResetAlarmTable(1);
    g.AlarmTable[1] = Example();
    run::testing::FakeServices fakes(g, EncodeDate(2026, 12, 9) + EncodeTime(8, 0, 0));
    int written = 0;
    for (const bool scripted : {false, true}) {
        g.AlarmTable[1].mtype = scripted ? kScriptedAlarm : kSimpleAlarm;
        g.RepeatNoteShown = true;
        ui::TfrmAddAlarm editor(g, fakes.Handed(), {AlarmEditRequest::Mode::Edit, 1}, nullptr);
        editor.resize(editor.sizeHint().expandedTo(QSize(640, 540)));
        editor.show();
        auto* tabs = editor.findChild<QTabWidget*>(scripted ? "pcScripted" : "pcSimple");
        const QString set = scripted ? QStringLiteral("scripted") : QStringLiteral("simple");
        for (int t = 0; t < tabs->count(); ++t) {
            tabs->setCurrentIndex(t);
            auto* time = qobject_cast<ui::AlarmTimePage*>(tabs->widget(t));
            const int inner = time ? time->InnerTabs()->count() : 1;
            for (int i = 0; i < inner; ++i) {
                QString name = set + QLatin1Char('-') + Slug(tabs->tabText(t));
                if (time) {
                    time->InnerTabs()->setCurrentIndex(i);
                    name += QLatin1Char('-') + Slug(time->InnerTabs()->tabText(i));
                }
                QApplication::processEvents();
                if (editor.grab().save(out + QLatin1Char('/') + name + QStringLiteral(".png")))
                    ++written;
            }
        }
    }
    // The exception windows: the global list and a rule of the alarm.
    g.GlobalExceptions = g.AlarmTable[1].Exceptions;
    {
        ui::Tfrmgexcept list(g, fakes.Handed(), nullptr);
        list.show();
        QApplication::processEvents();
        if (list.grab().save(out + QStringLiteral("/global-exceptions.png"))) ++written;
    }
    ui::TfrmExceptions rule(g, fakes.Handed(), {g.AlarmTable[1].Exceptions, 1, false}, nullptr);
    rule.show();
    QApplication::processEvents();
    if (rule.grab().save(out + QStringLiteral("/exception-rule.png"))) ++written;
    return written > 0 ? 0 : 1;
}

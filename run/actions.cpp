#include "run/actions.h"

#include "core/fileops.h"
#include "run/dialup.h"
#include "run/runsound.h"
#include "widgets/file_text.h"

namespace ringmere::run {

void StandardActions::StartSound(RunSession& s, const MusicType& music, bool step) {
    s.Sound().Start(music, step);
}

void StandardActions::LaunchPrograms(RunSession&, const FileLaunch& launch) {
    const std::pair<const std::string*, const std::string*> programs[] = {
        {&launch.app1, &launch.param1},
        {&launch.app2, &launch.param2},
        {&launch.app3, &launch.param3},
    };
    for (const auto& [app, param] : programs) {
        if (app->empty()) continue;
        Execute(services_.desktop, PlanLaunch(services_.desktop, widgets::FromFileText(*app),
                                              widgets::FromFileText(*param)));
    }
}

void StandardActions::LaunchProgram(RunSession& s, const SFileLaunch& launch) {
    if (launch.app1.empty()) return;
    s.Report("Launching " + launch.app1);
    Execute(services_.desktop, PlanLaunch(services_.desktop, widgets::FromFileText(launch.app1),
                                          widgets::FromFileText(launch.param1)));
}

void StandardActions::OpenWebPage(RunSession& s, const WebLaunch& web, bool step) {
    if (web.url1.empty()) return;
    const std::string line = "Launching " + web.url1;
    step ? s.Report(line) : s.Show(line);
    Execute(services_.desktop,
            PlanWebPage(services_.desktop, widgets::FromFileText(web.url1), web.opennew));
    s.Waiter().ProcessEvents();
}

void StandardActions::FileOperation(RunSession& s, const FileOps& op) {
    RunFileOperation(op, s.Time().Now(), [&](const std::string& line) { s.Report(line); });
}

void StandardActions::StopAll(RunSession& s) {
    if (dialer_) dialer_->Stop();
    CancelFtp(s);
}

}  // namespace ringmere::run

#include "run/actions.h"

#include "core/fileops.h"
#include "run/dialup.h"
#include "run/runsound.h"
#include "widgets/file_text.h"

namespace ringmere::run {

void StandardActions::StartSound(RunSession& s, const MusicType& music, bool step) {
    s.Sound().Start(music, step);
}

namespace {

// The line of a launch that failed. During the action the step counts as
// failed; a handler that gives up later (xdg-open found no browser) still
// gets its line, but the run has moved on.
class FailureLine {
public:
    FailureLine(RunSession& s, std::weak_ptr<char> alive, std::string what)
        : sink_([&s, alive, during = during_, what = std::move(what)](const QString& why) {
              if (alive.expired()) return;
              s.Report(what + ": " + widgets::ToFileText(why));
              if (*during) s.MarkFailed();
          }) {}
    ~FailureLine() { *during_ = false; }
    FailureLine(const FailureLine&) = delete;
    FailureLine& operator=(const FailureLine&) = delete;
    const OpenFailed& Sink() const { return sink_; }

private:
    std::shared_ptr<bool> during_ = std::make_shared<bool>(true);
    OpenFailed sink_;
};

// "Launched /usr/bin/foo -x", "Opened /home/me/notes.txt": what the launch
// came to, when the line before does not say it already.
std::string StartedLine(const LaunchPlan& plan, const std::string& asked) {
    const std::string target = widgets::ToFileText(PlanTarget(plan));
    if (target.empty() || target == asked) return {};
    return (plan.kind == LaunchPlan::Start ? "Launched " : "Opened ") + target;
}

}  // namespace

void StandardActions::LaunchPrograms(RunSession& s, const FileLaunch& launch) {
    const std::pair<const std::string*, const std::string*> programs[] = {
        {&launch.app1, &launch.param1},
        {&launch.app2, &launch.param2},
        {&launch.app3, &launch.param3},
    };
    for (const auto& [app, param] : programs) {
        if (app->empty()) continue;
        const LaunchPlan plan = PlanLaunch(services_.desktop, widgets::FromFileText(*app),
                                           widgets::FromFileText(*param));
        const FailureLine failure(s, alive_, "Could not launch " + *app);
        if (!Execute(services_.desktop, plan, failure.Sink())) continue;
        if (const std::string line = StartedLine(plan, {}); !line.empty()) s.Report(line);
    }
}

void StandardActions::LaunchProgram(RunSession& s, const SFileLaunch& launch) {
    if (launch.app1.empty()) return;
    s.Report("Launching " + launch.app1);
    const LaunchPlan plan = PlanLaunch(services_.desktop, widgets::FromFileText(launch.app1),
                                       widgets::FromFileText(launch.param1));
    // The line above names the program already: only a failure follows.
    const FailureLine failure(s, alive_, "Could not launch " + launch.app1);
    Execute(services_.desktop, plan, failure.Sink());
}

void StandardActions::OpenWebPage(RunSession& s, const WebLaunch& web, bool step) {
    if (web.url1.empty()) return;
    const std::string line = "Launching " + web.url1;
    step ? s.Report(line) : s.Show(line);
    const LaunchPlan plan =
        PlanWebPage(services_.desktop, widgets::FromFileText(web.url1), web.opennew);
    {
        const FailureLine failure(s, alive_, "Could not open " + web.url1);
        if (Execute(services_.desktop, plan, failure.Sink())) {
            // The desktop's own browser goes unnamed: xdg-open picks it.
            if (plan.kind == LaunchPlan::Start) {
                const std::string started = StartedLine(plan, web.url1);
                step ? s.Report(started) : s.Show(started);
            }
        }
        s.Waiter().ProcessEvents();
    }
}

void StandardActions::FileOperation(RunSession& s, const FileOps& op) {
    if (!RunFileOperation(op, s.Time().Now(), [&](const std::string& line) { s.Report(line); }))
        s.MarkFailed();
}

void StandardActions::StopAll(RunSession& s) {
    if (dialer_) dialer_->Stop();
    CancelFtp(s);
}

}  // namespace ringmere::run

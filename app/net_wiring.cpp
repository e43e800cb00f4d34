#include "app/net_wiring.h"

#include <QStatusBar>

#include "core/schedule.h"
#include "net/netconfig.h"

namespace ringmere::app {

std::function<bool(QWidget* owner)> NetConfigHook(Globals& g, const Services& services,
                                                  net::SharedFileReload& reload) {
    return [&g, services, &reload](QWidget* owner) {
        return net::OpenNetConfig(g, services, reload, owner);
    };
}

void ShowReloadIn(net::SharedFileReload& reload, ui::TfrmAlMain& window, Globals& g,
                  const Services& services) {
    reload.SetView({.status = [&window](const QString& text,
                                        int ms) { window.statusBar()->showMessage(text, ms); },
                    .refill =
                        [&window, &g, &clock = services.clock] {
                            window.LoadList();
                            BuildSchedule(g, clock);
                            window.LoadScheduleView();
                        }});
}

}  // namespace ringmere::app

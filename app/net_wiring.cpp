#include "app/net_wiring.h"

#include <QStatusBar>

#include "net/netconfig.h"

namespace ringmere::app {

std::function<bool(QWidget* owner)> NetConfigHook(Globals& g, const Services& services,
                                                  net::SharedFileReload& reload) {
    return [&g, services, &reload](QWidget* owner) {
        return net::OpenNetConfig(g, services, reload, owner);
    };
}

void ShowReloadIn(net::SharedFileReload& reload, ui::TfrmAlMain& window) {
    reload.SetView({.status = [&window](const QString& text,
                                        int ms) { window.statusBar()->showMessage(text, ms); },
                    .refill = [&window] { window.Refill(); }});
}

}  // namespace ringmere::app

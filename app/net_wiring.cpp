#include "app/net_wiring.h"

#include <QLabel>
#include <QStatusBar>

#include "net/alstartup.h"
#include "net/netconfig.h"

namespace ringmere::app {

std::function<bool(QWidget* owner)> NetConfigHook(Globals& g, const Services& services,
                                                  net::SharedFileReload& reload) {
    return [&g, services, &reload](QWidget* owner) {
        return net::OpenNetConfig(g, services, reload, owner);
    };
}

std::function<void(QWidget* owner)> StartupWizardHook(Globals& g, const Services& services,
                                                      net::SharedFileReload& reload) {
    return [&g, services, &reload](QWidget* owner) {
        reload.Stop();
        net::RunStartupWizard(g, services, owner);
        reload.Resume(/*freshInterval=*/true);
    };
}

void ShowReloadIn(net::SharedFileReload& reload, ui::TfrmAlMain& window) {
    auto* refreshed = new QLabel(&window);
    refreshed->setObjectName(QStringLiteral("lblRefreshed"));
    refreshed->hide();
    window.statusBar()->addPermanentWidget(refreshed);
    reload.SetView({.status = [&window](const QString& text,
                                        int ms) { window.statusBar()->showMessage(text, ms); },
                    .refill = [&window] { window.Refill(); },
                    .refreshed =
                        [refreshed](const QString& text) {
                            refreshed->setText(text);
                            refreshed->setVisible(!text.isEmpty());
                        }});
}

}  // namespace ringmere::app

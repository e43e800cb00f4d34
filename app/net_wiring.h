// How the main window reaches the operating modes: Options > "Network
// Configuration..." and the reload of the shared file.
#pragma once

#include <QWidget>
#include <functional>

#include "core/globals.h"
#include "net/shared_reload.h"
#include "run/services.h"
#include "ui/alarm.h"

namespace ringmere::app {

// The main window's `openNetConfig`: the network dialog over `owner`, with
// the reload held while it is open.
std::function<bool(QWidget* owner)> NetConfigHook(Globals& g, const Services& services,
                                                  net::SharedFileReload& reload);

// The main window's `runStartupWizard`: the set-up wizard over `owner`; a
// client mode it sets starts the reload as the network dialog does.
std::function<void(QWidget* owner)> StartupWizardHook(Globals& g, const Services& services,
                                                      net::SharedFileReload& reload);

// The reload's status texts in the window's status bar; a reload that took
// a new file refills the lists and rebuilds the schedule. When the shared
// alarms were last refreshed stays at the status bar's right.
void ShowReloadIn(net::SharedFileReload& reload, ui::TfrmAlMain& window);

}  // namespace ringmere::app

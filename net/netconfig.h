// The network configuration dialog `TfrmNetConfig`: the four operating modes,
// their pages, and the client configuration file.
#pragma once

#include <QDialog>

#include "core/globals.h"
#include "run/services.h"

namespace ringmere::net {

class ModePages;
class SharedFileReload;

class TfrmNetConfig : public QDialog {
    Q_OBJECT

public:
    // The reload timer is stopped while the dialog is open.
    TfrmNetConfig(Globals& g, const Services& services, SharedFileReload* reload,
                  QWidget* parent = nullptr);

    void accept() override;
    void reject() override;
    // "Browse..." and "Create Configuration File..." (ModePages).
    void Browse();
    void CreateConfigurationFile();

private:
    void Warn(const QString& text);
    // Reads and writes for the chosen mode; false when the dialog stays open.
    bool ApplySingleOrServer(const char* mode, bool reuseDownload);
    bool ApplyClient();

    Globals& g_;
    Services services_;
    SharedFileReload* reload_;
    ModePages* modes_;
};

// Options > "Network Configuration...": true when it ended with OK.
bool OpenNetConfig(Globals& g, const Services& services, SharedFileReload& reload,
                   QWidget* owner);

}  // namespace ringmere::net

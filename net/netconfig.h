// The network configuration dialog `TfrmNetConfig`: the four operating modes,
// their pages, and the client configuration file.
#pragma once

#include <QDialog>
#include <string>

#include "core/globals.h"
#include "run/services.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QStackedWidget;

namespace ringmere::net {

class SharedFileReload;

// Whether two names are one file: by identity after following links, so
// that another spelling, a link or a hard link of a file is recognised.
bool SameFile(const std::string& a, const std::string& b);

class TfrmNetConfig : public QDialog {
    Q_OBJECT

public:
    // The reload timer is stopped while the dialog is open.
    TfrmNetConfig(Globals& g, const Services& services, SharedFileReload* reload,
                  QWidget* parent = nullptr);

    void accept() override;
    void reject() override;
    // "Browse..." and "Create Configuration File...".
    void Browse();
    void CreateConfigurationFile();

private:
    void BuildPages();
    void ShowMode(int mode);
    void Warn(const QString& text);
    // Reads and writes for the chosen mode; false when the dialog stays open.
    bool ApplySingleOrServer(const char* mode, bool reuseDownload);
    bool ApplyClient(bool web);

    Globals& g_;
    Services services_;
    SharedFileReload* reload_;
    QRadioButton* modes_[4] = {};
    QStackedWidget* pages_ = nullptr;
    QLineEdit* teRemLoc_ = nullptr;
    QLineEdit* teLoc_ = nullptr;
    QCheckBox* chkFileUpdate_ = nullptr;
    QLineEdit* teFileDelay_ = nullptr;
    QLineEdit* teURL_ = nullptr;
    QCheckBox* chkWebUpdate_ = nullptr;
    QLineEdit* teWebDelay_ = nullptr;
};

// Options > "Network Configuration...": true when it ended with OK.
bool OpenNetConfig(Globals& g, const Services& services, SharedFileReload& reload,
                   QWidget* owner);

}  // namespace ringmere::net

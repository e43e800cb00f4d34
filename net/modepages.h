// The operating mode's choice shared by the network configuration dialog and
// the set-up wizard's network page: the "Usage Options" group and the four
// mode pages, their file buttons and the checks of a client page.
#pragma once

#include <QPoint>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/globals.h"
#include "run/services.h"

namespace Ui {
class ModePages;
}

namespace ringmere::net {

// Reported lines as one text, a line each.
QString JoinedMessages(const std::vector<std::string>& messages);

class ModePages : public QWidget {
    Q_OBJECT

public:
    enum Mode { kSingle, kServer, kClient, kWebClient };
    // The wizard's Server button reads "Create File...", and its WebClient
    // page has a "Browse..." too.
    enum class Host { Dialog, Wizard };
    // The interval boxes' arrows, in minutes.
    static constexpr int kMinInterval = 1;
    static constexpr int kMaxInterval = 2400;

    ModePages(Globals& g, const Services& services, Host host, QWidget* parent = nullptr);
    ~ModePages() override;

    // The radio button and page of `s.UserMode` ("Single" when empty); a
    // client mode's page gets the location, the check box and the interval.
    void Load(const SettingsRec& s);
    Mode Chosen() const;

    // A client page's choice, the interval as typed.
    struct ClientChoice {
        bool web = false;
        std::string location;
        Integer minutes = 0;
        bool automatic = false;
    };
    // The chosen client page's fields, or, after a warning, nothing: the
    // host stays where it is and changes nothing.
    std::optional<ClientChoice> CheckedClientChoice();

    // "Browse..." on the Client page; true when a file was taken. The
    // WebClient page's button does the same and chooses the Client page: a
    // file is reached by a client of the file share.
    bool Browse();
    // Server page: a client configuration file, never over the program's
    // own alarm file.
    void CreateConfigurationFile();

    // Where the message boxes open; unset: over the window.
    std::function<std::optional<QPoint>()> boxCorner;

private:
    void ShowModePage();
    void Warn(const QString& text);

    std::unique_ptr<Ui::ModePages> ui_;
    Globals& g_;
    Services services_;
};

}  // namespace ringmere::net

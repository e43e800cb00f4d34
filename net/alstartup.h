// The first-run set-up wizard: a welcome, the e-mail settings, the operating
// mode, and a closing page that says whether the settings were saved.
#pragma once

#include <QDialog>
#include <QStringList>
#include <memory>

#include "core/globals.h"
#include "run/services.h"

namespace Ui {
class TfrmAStartUp;
}

namespace ringmere::net {

class EmailPart;
class ModePages;

class TfrmAStartUp : public QDialog {
    Q_OBJECT

public:
    enum PageIndex { kWelcome = 0, kEmail, kNetwork, kFinish };

    TfrmAStartUp(Globals& g, const Services& services, QWidget* owner = nullptr);
    ~TfrmAStartUp() override;

    // "Next >>": the e-mail page keeps its values; the network page sets the
    // mode and writes the alarm file, once, staying on the page when a check
    // fails. "<< Previous" goes back without undoing anything.
    void Next();
    void Previous();
    int Page() const;

    // The network page's file buttons (ModePages): Server page "Create
    // File...", Client page "Browse..." (true when a file was taken).
    void CreateClientFile();
    bool Browse();

    // What failed on the way to the closing page; empty when all went well.
    const QStringList& Failures() const { return failures_; }

private:
    void ShowPage(int page);
    bool NetworkNext();
    bool WriteLocalFile();
    void ReadSharedFile(bool web);
    void FillFinishPage();
    QString LogNote() const;
    QPoint Corner() const;

    std::unique_ptr<Ui::TfrmAStartUp> ui_;
    Globals& g_;
    Services services_;
    EmailPart* email_;
    ModePages* modes_;
    QStringList failures_;
};

// Runs the wizard modally over `owner`.
void RunStartupWizard(Globals& g, const Services& services, QWidget* owner);

}  // namespace ringmere::net

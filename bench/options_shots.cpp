// Pictures of the additional options, the e-mail settings and every page of
// the set-up wizard, for docs/options/:
//   xvfb-run -a build/bench/options_shots docs/options
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include "core/settings.h"
#include "net/alemail.h"
#include "net/alstartup.h"
#include "tests/run/fake_services.h"
#include "ui/addoptions.h"

using namespace ringmere;

namespace {

class NoEntry final : public AutoStartEntry {
public:
    std::optional<std::string> Read() const override { return std::nullopt; }
    bool Write(const std::string&, const std::string&, std::string&) override { return true; }
    bool Remove(std::string&) override { return true; }
};

int Save(QWidget& w, const QString& out, const QString& name) {
    w.show();
    QApplication::processEvents();
    return w.grab().save(out + QLatin1Char('/') + name + QStringLiteral(".png")) ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    QTemporaryDir dir;
    Globals g;
    g.ProgramDir = QDir(dir.path()).absolutePath().toStdString() + "/";
    SetDefaultSettings(g);
    g.ResetAlarmTable(0);
    run::testing::FakeServices fakes(g, EncodeDate(2026, 12, 9) + EncodeTime(8, 0, 0));
    int written = 0;

    NoEntry entry;
    {
        ui::TfrmAdditional options(g, fakes.Handed(), entry, "/usr/bin/ringmere", nullptr);
        auto* tabs = options.findChild<QTabWidget*>(QStringLiteral("pcOptions"));
        written += Save(options, out, QStringLiteral("additional-options"));
        tabs->setCurrentIndex(1);
        written += Save(options, out, QStringLiteral("additional-options-calendar-colors"));
    }
    {
        g.Settings.shownotifications = true;
        ui::TfrmAdditional options(g, fakes.Handed(), entry, "/usr/bin/ringmere", nullptr);
        written += Save(options, out, QStringLiteral("additional-options-notifications"));
        g.Settings.shownotifications = false;
    }
    g.Settings.SMTPServer = "smtp.example.org";
    g.Settings.SMTPUser = "ann";
    g.Settings.SMTPPass = "secret";
    g.Settings.ReplyTo = "ann@example.org";
    {
        net::Tfrmemail email(g, fakes.Handed(), nullptr);
        written += Save(email, out, QStringLiteral("email-settings-smtp"));
        email.findChild<QRadioButton*>(QStringLiteral("rbMAPI"))->setChecked(true);
        written += Save(email, out, QStringLiteral("email-settings-mapi"));
    }
    SetDefaultSettings(g);
    net::TfrmAStartUp wizard(g, fakes.Handed());
    const char* pages[] = {"wizard-welcome", "wizard-email", "wizard-network"};
    for (const char* page : pages) {
        written += Save(wizard, out, QString::fromLatin1(page));
        if (wizard.Page() != net::TfrmAStartUp::kNetwork) wizard.Next();
    }
    for (const char* mode : {"Server", "Client", "WebClient"}) {
        wizard.findChild<QRadioButton*>(QStringLiteral("rb") + QLatin1String(mode))
            ->setChecked(true);
        written += Save(wizard, out, QStringLiteral("wizard-network-") + QLatin1String(mode).toString().toLower());
    }
    // A shared file that is not there: the closing page says so.
    wizard.findChild<QRadioButton*>(QStringLiteral("rbClient"))->setChecked(true);
    wizard.findChild<QLineEdit*>(QStringLiteral("teLoc"))->setText(QStringLiteral("/mnt/share/alfile.ini"));
    wizard.Next();
    written += Save(wizard, out, QStringLiteral("wizard-finish-failed"));
    wizard.Previous();
    wizard.findChild<QRadioButton*>(QStringLiteral("rbSingle"))->setChecked(true);
    wizard.Next();
    written += Save(wizard, out, QStringLiteral("wizard-finish"));
    return written > 0 ? 0 : 1;
}

// The mail figures, against tests/run/smtp_server.py on 127.0.0.1:
//   - from the start of a send ("Sending message...") to the server's
//     receipt of the message, on a fresh connection and on the kept one;
//   - a send to a server that never answers, stalled for about ten
//     seconds: how often a 1-second timer (the check timer's interval)
//     fired meanwhile, and the longest gap between its ticks.
// Run: QT_QPA_PLATFORM=offscreen build/bench/mail_figures
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "run/mail.h"
#include "tests/run/smtp_peer.h"

using namespace ringmere;
using namespace ringmere::run;

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    EventLoopWaiting waiting;
    SettingsRec settings;
    smtpmessage mail;
    mail.from = "me@example.org";
    mail.mto = "ann@example.org";
    mail.subject = "Figure";
    mail.msg = "A line of text.";
    auto events = [](MailEvent, const std::string&) {};

    testing::SmtpPeer peer("plain");
    if (!peer.port) {
        std::fprintf(stderr, "no mail server (python3-aiosmtpd)\n");
        return 1;
    }
    settings.SMTPServer = peer.Address();
    auto sender = NewSystemMailSender(settings);
    std::vector<double> fresh, kept;
    for (int i = 0; i < 20; ++i) {
        std::shared_ptr<SmtpClient> client;
        for (auto* list : {&fresh, &kept}) {
            const double start = QDateTime::currentMSecsSinceEpoch() / 1000.0;
            SendMail(*sender, client, mail, waiting, {}, events);
            const auto received = peer.Events("message");
            list->push_back((received.back().value("t").toDouble() - start) * 1000.0);
        }
    }
    std::printf("send to receipt, fresh connection: median %.1f ms (20 sends)\n", Median(fresh));
    std::printf("send to receipt, kept connection:  median %.1f ms (20 sends)\n", Median(kept));

    testing::SmtpPeer silent("stall");
    settings.SMTPServer = silent.Address();
    MailOptions stalled;
    stalled.sendTimeoutMs = 5000;  // two attempts
    sender = NewSystemMailSender(settings, stalled);
    int ticks = 0;
    qint64 last = 0, longest = 0;
    QElapsedTimer clock;
    QTimer check;
    check.setInterval(1000);
    QObject::connect(&check, &QTimer::timeout, [&] {
        ++ticks;
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    std::shared_ptr<SmtpClient> client;
    std::string outcome;
    clock.start();
    check.start();
    SendMail(*sender, client, mail, waiting, {}, [&](MailEvent e, const std::string&) {
        outcome = e == MailEvent::ConnectFailed ? "connect failed" : "other";
    });
    const qint64 took = clock.elapsed();
    std::printf("stalled send: %lld ms, outcome %s; timer ticks meanwhile %d, longest gap %lld ms\n",
                took, outcome.c_str(), ticks, longest);
    return 0;
}

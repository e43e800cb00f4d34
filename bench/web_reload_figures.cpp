// The web client's figures: how long a change on the server takes to reach
// a client's rebuilt schedule with a one-minute interval, and the bytes of a
// check when nothing changed. Runs tests/net/web_server.py; about three
// minutes. Usage: web_reload_figures [samples]
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/alarmfile.h"
#include "core/schedule.h"
#include "net/http_downloader.h"
#include "net/shared_reload.h"
#include "tests/run/fake_services.h"

using namespace ringmere;

namespace {

void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string Served(const std::string& name) {
    std::ifstream in(RINGMERE_SOURCE "/tests/data/versions/v2.10.ini", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    const auto at = text.find("AlName=Simple");
    return text.replace(at, 13, "AlName=" + name);
}

void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int samples = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTemporaryDir site, client;
    const std::string served = site.filePath("alfile.ini").toStdString();
    Write(served, Served("v0"));
    QProcess server;
    server.start("python3", {RINGMERE_SOURCE "/tests/net/web_server.py",
                             QString::fromStdString(served)});
    if (!server.waitForReadyRead(10000)) return 1;
    const std::string base = "http://127.0.0.1:" + server.readLine().trimmed().toStdString();

    Globals g;
    g.ProgramDir = client.path().toStdString() + "/";
    SetDefaultSettings(g);
    g.ResetAlarmTable(0);
    g.Settings.UserMode = "WClient";
    g.Settings.AlarmFile = base + "/alfile.ini";
    g.Settings.dldInterval = 1;
    SilentReporter quiet;
    WriteAlarmFile(g, g.LocalAlarmFilePath(), quiet);
    run::testing::FakeServices fakes(g);
    net::HttpDownloader web;
    Services services = fakes.Handed();
    services.downloader = &web;
    bool offline = false;
    net::ReadAlarmFileAtStart(g, quiet, &web, offline, fakes.settings);
    SystemClock clock;
    QElapsedTimer since;
    qint64 rebuiltAt = -1;
    net::SharedFileReload reload(g, services);
    reload.busy = [] { return false; };
    reload.SetView({.status = [](const QString&, int) {},
                    .refill =
                        [&] {
                            BuildSchedule(g, clock);
                            rebuiltAt = since.elapsed();
                        },
                    .refreshed = nullptr});

    // Nothing changed: one check, its bytes.
    reload.Tick();
    std::string stats;
    web.Get(base + "/stats", stats);
    const QJsonObject s = QJsonDocument::fromJson(QByteArray::fromStdString(stats)).object();
    std::printf("unchanged check: %d HEAD, %d GET, %d bytes answered, %d bytes asked\n",
                s["HEAD"].toInt(), s["GET"].toInt(), s["last_bytes"].toInt(),
                s["last_request_bytes"].toInt());

    // Changes at points spread over the period.
    const int period = reload.Timer().interval();
    for (int i = 0; i < samples; ++i) {
        reload.Resume(true);  // a tick just now
        Wait(period * (2 * i + 1) / (2 * samples));
        Write(served, Served("v" + std::to_string(i + 1)));
        std::filesystem::last_write_time(
            served, std::filesystem::last_write_time(served) + std::chrono::minutes(2 * (i + 1)));
        since.start();
        rebuiltAt = -1;
        while (rebuiltAt < 0 && since.elapsed() < 3 * period) Wait(50);
        std::printf("change %d s after a check: schedule rebuilt %.1f s later (alarm \"%s\")\n",
                    period * (2 * i + 1) / (2 * samples) / 1000, rebuiltAt / 1000.0,
                    g.AlarmTable[1].AlName.c_str());
    }
    server.closeWriteChannel();
    server.waitForFinished(10000);
    return 0;
}

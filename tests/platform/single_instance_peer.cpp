// A stand-in for the program's start-up, for the single-instance tests: the
// first copy listens and prints each request to show, a later copy hands over
// and ends with status 0. Ends when its standard input closes.
#include <cstdio>

#include <QCoreApplication>
#include <QSocketNotifier>

#include <unistd.h>

#include "platform/single_instance.h"

namespace {

void Say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SOCKET\n", argv[0]);
        return 2;
    }
    ringmere::SingleInstance instance(QString::fromLocal8Bit(argv[1]));
    if (instance.AnotherCopyRunning()) {
        Say("handed over");
        return 0;
    }
    if (!instance.Listen()) {
        // A copy started at the same moment got there first.
        if (instance.AnotherCopyRunning()) {
            Say("handed over");
            return 0;
        }
        std::fprintf(stderr, "%s\n", qPrintable(instance.ErrorText()));
        return 3;
    }
    QObject::connect(&instance, &ringmere::SingleInstance::showRequested, [] { Say("show"); });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[64];
        if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0) app.quit();
    });
    Say("listening");
    return app.exec();
}

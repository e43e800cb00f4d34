#include <QGuiApplication>
#include <iostream>
#include <memory>

#include "app/clock_setter_linux.h"
#include "app/info_options.h"
#include "app/startup.h"

int main(int argc, char** argv) {
    if (const auto status = ringmere::app::AnswerInfoOption({argv, argv + argc}, std::cout))
        return *status;
    // Ties the windows to the installed launcher (and its icon) on the desktop.
    QGuiApplication::setDesktopFileName(QStringLiteral(RINGMERE_APP_ID));
    return ringmere::app::RunProgram(argc, argv, [](ringmere::run::Waiting& waiting) {
        return std::make_unique<ringmere::app::SystemClockSetter>(waiting);
    });
}

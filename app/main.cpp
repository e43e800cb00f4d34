#include <memory>

#include "app/clock_setter_linux.h"
#include "app/startup.h"

int main(int argc, char** argv) {
    return ringmere::app::RunProgram(argc, argv, [](ringmere::run::Waiting& waiting) {
        return std::make_unique<ringmere::app::SystemClockSetter>(waiting);
    });
}

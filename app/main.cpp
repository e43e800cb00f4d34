#include "app/startup.h"

int main(int argc, char** argv) {
    return ringmere::app::RunProgram(argc, argv);
}

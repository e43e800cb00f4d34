#include "app/info_options.h"

#include <algorithm>
#include <ostream>

#include "core/version.h"

namespace ringmere::app {

std::optional<int> AnswerInfoOption(const std::vector<std::string>& args, std::ostream& out) {
    const auto given = [&](std::initializer_list<const char*> names) {
        return std::any_of(args.begin() + std::min<std::size_t>(1, args.size()), args.end(),
                           [&](const std::string& a) {
                               return std::find(names.begin(), names.end(), a) != names.end();
                           });
    };
    if (given({"--help", "-h"})) {
        out << "Usage: ringmere [startup]\n"
               "       ringmere --help | --version\n\n"
               "A desktop alarm and task scheduler. One copy runs per user: a second start\n"
               "shows the running copy's window.\n\n"
               "  startup        start hidden in the tray, as at log-on\n"
               "  -h, --help     print this text and exit\n"
               "  -v, --version  print the version and exit\n\n"
               "The alarms live in $RINGMERE_DIR/alfile.ini, else in\n"
               "~/.local/share/ringmere/alfile.ini. See ringmere(1) and ringmere-cli(1).\n";
        return 0;
    }
    if (given({"--version", "-v"})) {
        out << "ringmere " RINGMERE_VERSION "\n";
        return 0;
    }
    return std::nullopt;
}

}  // namespace ringmere::app

#include "widgets/palette_colours.h"

#include <algorithm>
#include <cmath>

namespace ringmere::widgets {

namespace {

double Luminance(const QColor& c) {
    const auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableGreen(const QPalette& palette) {
    const QColor window = palette.color(QPalette::Window);
    const QColor dark(0, 112, 0);
    const QColor light(102, 221, 102);
    return ContrastRatio(dark, window) >= ContrastRatio(light, window) ? dark : light;
}

}  // namespace ringmere::widgets

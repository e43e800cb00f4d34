// The toolbar and list icons follow the palette: light on a dark theme, dark
// on a light one, and their coloured parts show on both.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QRegularExpression>

#include "widgets/palette_colours.h"
#include "widgets/themed_icon.h"

static void InitIcons() {
    Q_INIT_RESOURCE(icons);
}

namespace ringmere::widgets {
namespace {

QPalette Palette(const QColor& window, const QColor& text) {
    QPalette p(window, window);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(role, text);
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::white);
    return p;
}

const QPalette kDark = Palette(QColor(45, 45, 48), QColor(225, 225, 225));
const QPalette kLight = Palette(QColor(239, 239, 239), Qt::black);

// Mean lightness, 0 to 1, of the pixels an icon covers, weighted by their cover.
double MeanLightness(const QIcon& icon, QIcon::Mode mode = QIcon::Normal) {
    const QImage image =
        icon.pixmap(QSize(48, 48), mode).toImage().convertToFormat(QImage::Format_ARGB32);
    double sum = 0, weight = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = QColor::fromRgba(image.pixel(x, y));
            sum += c.alphaF() * (0.2126 * c.redF() + 0.7152 * c.greenF() + 0.0722 * c.blueF());
            weight += c.alphaF();
        }
    return weight > 0 ? sum / weight : -1;
}

// The program's own icon keeps its colours: launchers and panels show it as drawn.
QStringList ThemedFiles() {
    InitIcons();
    QStringList files = QDir(QStringLiteral(":/icons")).entryList({QStringLiteral("*.svg")});
    files.removeAll(QStringLiteral("ringmere.svg"));
    return files;
}

class IconsTest : public ::testing::Test {
protected:
    void TearDown() override { QGuiApplication::setPalette(saved_); }
    const QPalette saved_ = QGuiApplication::palette();
};

TEST_F(IconsTest, LightOnDarkDarkOnLight) {
    const QStringList files = ThemedFiles();
    ASSERT_GE(files.size(), 20);
    for (const QString& file : files) {
        const QIcon icon = ThemedIcon(QStringLiteral(":/icons/") + file);
        QGuiApplication::setPalette(kDark);
        const double onDark = MeanLightness(icon);
        QGuiApplication::setPalette(kLight);
        const double onLight = MeanLightness(icon);
        const double selected = MeanLightness(icon, QIcon::Selected);
        const std::string name = file.toStdString();
        EXPECT_GT(onDark, 0.55) << name;
        EXPECT_LT(onLight, 0.35) << name;
        EXPECT_GT(selected, 0.9) << name;
    }
    QGuiApplication::setPalette(kLight);
    EXPECT_GT(MeanLightness(ThemedIcon(QStringLiteral(":/icons/events.svg"), QColor(Qt::white))),
              0.95);
    EXPECT_TRUE(ThemedIcon(QStringLiteral(":/icons/no-such.svg")).isNull());
}

// Parts drawn in a colour of their own meet the 3:1 contrast of graphics on
// light and dark windows and lists alike.
TEST_F(IconsTest, FixedColoursShowOnLightAndDark) {
    const QRegularExpression hex(QStringLiteral("#([0-9a-fA-F]{6}|[0-9a-fA-F]{3})\\b"));
    for (const QString& file : ThemedFiles()) {
        QFile svg(QStringLiteral(":/icons/") + file);
        ASSERT_TRUE(svg.open(QIODevice::ReadOnly)) << file.toStdString();
        const QString text = QString::fromUtf8(svg.readAll());
        for (auto m = hex.globalMatch(text); m.hasNext();) {
            const QColor colour(m.next().captured(0));
            for (const QColor background :
                 {QColor(Qt::white), QColor(239, 239, 239), QColor(53, 53, 53), QColor(30, 30, 32)})
                EXPECT_GE(ContrastRatio(colour, background), 3.0)
                    << file.toStdString() << " " << colour.name().toStdString() << " on "
                    << background.name().toStdString();
        }
    }
}

}  // namespace
}  // namespace ringmere::widgets

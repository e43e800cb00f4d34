#include "ui/addoptions.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QDate>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTableView>

#include "core/activitylog.h"
#include "core/clock.h"
#include "core/settings.h"
#include "ui_addoptions.h"
#include "widgets/calendar.h"
#include "widgets/dialogs.h"
#include "widgets/file_text.h"
#include "widgets/settings_save.h"

namespace ringmere::ui {

using widgets::BoxKind;

namespace {

constexpr quint32 kSystemColour = 0x80000000u;
constexpr int kValueRole = Qt::UserRole;
constexpr int kChooseRole = Qt::UserRole + 1;  // the entry that opens the colour dialog

constexpr Integer System(int n) {
    return static_cast<Integer>(kSystemColour + static_cast<quint32>(n));
}
constexpr Integer Rgb(int r, int g, int b) {
    return static_cast<Integer>(r | (g << 8) | (b << 16));
}

struct NamedColour {
    const char* name;
    Integer value;
};

// The system's colours by their numbers, then the sixteen standard ones.
constexpr NamedColour kColours[] = {
    {"Active Caption", System(2)},   {"Inactive Caption", System(3)},
    {"Menu", System(4)},             {"Window", System(5)},
    {"Window Frame", System(6)},     {"Menu Text", System(7)},
    {"Window Text", System(8)},      {"Caption Text", System(9)},
    {"Highlight", System(13)},       {"Highlight Text", System(14)},
    {"Button Face", System(15)},     {"Button Shadow", System(16)},
    {"Gray Text", System(17)},       {"Button Text", System(18)},
    {"Button Highlight", System(20)}, {"Black", Rgb(0, 0, 0)},
    {"Maroon", Rgb(128, 0, 0)},      {"Green", Rgb(0, 128, 0)},
    {"Olive", Rgb(128, 128, 0)},     {"Navy", Rgb(0, 0, 128)},
    {"Purple", Rgb(128, 0, 128)},    {"Teal", Rgb(0, 128, 128)},
    {"Gray", Rgb(128, 128, 128)},    {"Silver", Rgb(192, 192, 192)},
    {"Red", Rgb(255, 0, 0)},         {"Lime", Rgb(0, 255, 0)},
    {"Yellow", Rgb(255, 255, 0)},    {"Blue", Rgb(0, 0, 255)},
    {"Fuchsia", Rgb(255, 0, 255)},   {"Aqua", Rgb(0, 255, 255)},
    {"White", Rgb(255, 255, 255)},
};

QIcon Swatch(const QColor& colour) {
    QPixmap p(20, 12);
    p.fill(colour);
    QPainter(&p).drawRect(0, 0, p.width() - 1, p.height() - 1);
    return QIcon(p);
}

}  // namespace

TfrmAdditional::TfrmAdditional(Globals& g, const Services& services, AutoStartEntry& autoStart,
                               std::string programPath, QWidget* owner, ColourChooser chooser)
    : QDialog(owner),
      ui_(std::make_unique<Ui::TfrmAdditional>()),
      g_(g),
      services_(services),
      autoStart_(autoStart),
      programPath_(std::move(programPath)),
      chooser_(std::move(chooser)) {
    ui_->setupUi(this);
    if (!chooser_) chooser_ = widgets::ChooseColour;
    ui_->udTSTO->SetBuddy(ui_->teTSTO);
    ui_->udTSTO->SetRange(5, 30);

    const SettingsRec& s = g_.Settings;
    ui_->chkAuto->setChecked(s.AutoStart);
    ui_->teTSTO->setText(QString::number(s.TimeServerTO));
    ui_->chkWake->setChecked(s.allowWake);
    // Late alarms: the limit lives in the settings store only.
    const int lateLimit = ReadLateLimit(services_.settings);
    ui_->chkLateNoLimit->setChecked(lateLimit == kNoLateLimit);
    ui_->seLateLimit->setValue(lateLimit == kNoLateLimit ? kDefaultLateLimit : lateLimit);
    ui_->seLateLimit->setEnabled(lateLimit != kNoLateLimit);
    connect(ui_->chkLateNoLimit, &QCheckBox::toggled, ui_->seLateLimit,
            [this](bool none) { ui_->seLateLimit->setEnabled(!none); });
    ui_->chkevdesc->setChecked(s.dispevdesc);
    ui_->chkenablelogging->setChecked(s.enablelogging);
    FillColourBox(ui_->cbBackground, s.monthBackColor);
    FillColourBox(ui_->cbTextColor, s.textColor);
    FillColourBox(ui_->cbTitleBackground, s.titleBackColor);
    FillColourBox(ui_->cbTitleText, s.titleTextColor);
    FillColourBox(ui_->cbTrailingDates, s.trailingTextColor);
    ui_->calPreview->setSelectedDate(QDate::fromJulianDay(
        static_cast<qint64>(services_.clock.Now()) + QDate(1899, 12, 30).toJulianDay()));
    UpdatePreview();
    ui_->pcOptions->setCurrentIndex(0);

    connect(ui_->btnOK, &QPushButton::clicked, this, &TfrmAdditional::Ok);
    connect(ui_->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    adjustSize();
    if (owner) move(widgets::PlaceOver(owner, frameGeometry().size()));
}

TfrmAdditional::~TfrmAdditional() = default;

void TfrmAdditional::FillColourBox(QComboBox* box, Integer value) {
    const QSignalBlocker quiet(box);
    for (const NamedColour& c : kColours) {
        box->addItem(Swatch(widgets::SettingColour(c.value, palette())),
                     QString::fromLatin1(c.name), c.value);
    }
    box->addItem(QStringLiteral("Custom..."));
    box->setItemData(box->count() - 1, true, kChooseRole);
    SelectColour(box, value);
    connect(box, &QComboBox::currentIndexChanged, this,
            [this, box](int index) { ColourChosen(box, index); });
}

// Selects the entry of `value`, adding one for a colour that has no name.
void TfrmAdditional::SelectColour(QComboBox* box, Integer value) {
    const QSignalBlocker quiet(box);
    int index = box->findData(value, kValueRole);
    if (index < 0) {
        const QColor c = widgets::SettingColour(value, palette());
        index = box->count() - 1;  // before "Custom..."
        box->insertItem(index, Swatch(c), c.name(), value);
    }
    box->setCurrentIndex(index);
    box->setProperty("shownIndex", index);
}

void TfrmAdditional::ColourChosen(QComboBox* box, int index) {
    if (box->itemData(index, kChooseRole).toBool()) {
        const int previous = box->property("shownIndex").toInt();
        const Integer current = box->itemData(previous, kValueRole).toInt();
        const std::optional<QColor> chosen =
            chooser_(this, widgets::SettingColour(current, palette()));
        SelectColour(box, chosen ? Rgb(chosen->red(), chosen->green(), chosen->blue()) : current);
    } else {
        box->setProperty("shownIndex", index);
    }
    UpdatePreview();
}

Integer TfrmAdditional::BoxColour(const QComboBox* box) const {
    return box->itemData(box->property("shownIndex").toInt(), kValueRole).toInt();
}

void TfrmAdditional::UpdatePreview() {
    SettingsRec s = g_.Settings;
    s.monthBackColor = BoxColour(ui_->cbBackground);
    s.textColor = BoxColour(ui_->cbTextColor);
    s.titleBackColor = BoxColour(ui_->cbTitleBackground);
    s.titleTextColor = BoxColour(ui_->cbTitleText);
    s.trailingTextColor = BoxColour(ui_->cbTrailingDates);
    QCalendarWidget* calendar = ui_->calPreview;
    widgets::ApplyCalendarColours(calendar, s);
    // The calendar draws the days of the neighbouring months in its view's
    // disabled text colour.
    if (auto* table = calendar->findChild<QTableView*>()) {
        QPalette p = table->palette();
        p.setColor(QPalette::Disabled, QPalette::Text,
                   widgets::SettingColour(s.trailingTextColor, p));
        table->setPalette(p);
        table->viewport()->update();
    }
}

QPoint TfrmAdditional::Corner() const {
    return frameGeometry().topLeft();
}

void TfrmAdditional::Ok() {
    Apply();
    accept();
}

bool TfrmAdditional::Apply() {
    SettingsRec& s = g_.Settings;
    std::string error;
    if (ui_->chkAuto->isChecked()) {
        s.AutoStart = true;
        if (programPath_.empty())
            error = "The program's own path is not known; the start-at-log-on entry is left as it is.";
        else if (!autoStart_.Write(programPath_, kAutoStartArgument, error))
            error = "Could not write the start-at-log-on entry: " + error;
    } else {
        s.AutoStart = false;
        if (!autoStart_.Remove(error)) error = "Could not remove the start-at-log-on entry: " + error;
    }
    if (!error.empty()) {
        services_.dialogs.Message(this, BoxKind::Error, widgets::FromFileText(error), Corner());
        return false;
    }

    bool number = false;
    const int timeout = ui_->teTSTO->text().trimmed().toInt(&number);
    if (!number) {
        services_.dialogs.Message(this, BoxKind::Warning,
                                  QStringLiteral("Invalid timeout value - non-numeric characters"),
                                  Corner());
        return false;
    }
    if (timeout < 5 || timeout > 30) {
        services_.dialogs.Message(
            this, BoxKind::Warning,
            QStringLiteral("Invalid timeout valid. Value must be between 5 and 30."), Corner());
        return false;
    }
    // The daytime client reads it at each request.
    s.TimeServerTO = timeout;

    s.allowWake = ui_->chkWake->isChecked();
    if (!SaveLateLimit(services_.settings,
                       ui_->chkLateNoLimit->isChecked() ? kNoLateLimit : ui_->seLateLimit->value(),
                       error)) {
        services_.dialogs.Message(
            this, BoxKind::Error,
            QStringLiteral("Could not keep the late limit: ") + widgets::FromFileText(error),
            Corner());
        return false;
    }
    s.dispevdesc = ui_->chkevdesc->isChecked();

    const bool logging = ui_->chkenablelogging->isChecked();
    if (s.enablelogging && !logging) {
        services_.log.Close();
    } else if (!s.enablelogging && logging) {
        widgets::MessageBoxReporter boxes(services_.dialogs, this);
        services_.log.Open(boxes);
    }
    s.enablelogging = logging;

    s.monthBackColor = BoxColour(ui_->cbBackground);
    s.textColor = BoxColour(ui_->cbTextColor);
    s.titleBackColor = BoxColour(ui_->cbTitleBackground);
    s.titleTextColor = BoxColour(ui_->cbTitleText);
    s.trailingTextColor = BoxColour(ui_->cbTrailingDates);

    const bool saved = widgets::SaveSettingsTelling(g_, services_.dialogs, this, Corner());
    widgets::MessageBoxReporter boxes(services_.dialogs, this);
    return SaveRegistrySettings(g_, services_.settings, boxes) && saved;
}

bool OpenAdditionalOptions(Globals& g, const Services& services, AutoStartEntry& autoStart,
                           const std::string& programPath, QWidget* owner) {
    TfrmAdditional dialog(g, services, autoStart, programPath, owner);
    return widgets::ExecOverOwner(dialog) == QDialog::Accepted;
}

}  // namespace ringmere::ui

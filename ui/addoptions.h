// The additional options: start at log-on, the time server's time-out, wake,
// the late limit, the action hints, logging and the calendar colours.
#pragma once

#include <QColor>
#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/globals.h"
#include "run/services.h"

class QComboBox;

namespace Ui {
class TfrmAdditional;
}

namespace ringmere {
class AutoStartEntry;
}

namespace ringmere::ui {

// Asks the user for a colour starting from `current`; nothing when cancelled.
// The program shows the toolkit's colour dialog; tests answer without one.
using ColourChooser = std::function<std::optional<QColor>(QWidget* owner, const QColor& current)>;

class TfrmAdditional : public QDialog {
    Q_OBJECT

public:
    // Filled from g.Settings and placed over `owner`. `programPath` is what
    // the start-at-log-on entry starts. A null chooser: the colour dialog.
    TfrmAdditional(Globals& g, const Services& services, AutoStartEntry& autoStart,
                   std::string programPath, QWidget* owner, ColourChooser chooser = {});
    ~TfrmAdditional() override;

    // Applies the dialog in its fixed order, stopping at the first failure,
    // and closes: every OK closes the dialog.
    void Ok();

    // The colour a box holds (its stored form).
    Integer BoxColour(const QComboBox* box) const;

private:
    // False when a step failed and the rest is not to be applied.
    bool Apply();
    void FillColourBox(QComboBox* box, Integer value);
    void SelectColour(QComboBox* box, Integer value);
    void ColourChosen(QComboBox* box, int index);
    // The five boxes' colours on the preview calendar.
    void UpdatePreview();
    QPoint Corner() const;

    std::unique_ptr<Ui::TfrmAdditional> ui_;
    Globals& g_;
    Services services_;
    AutoStartEntry& autoStart_;
    std::string programPath_;
    ColourChooser chooser_;
};

// Opens the dialog modally over `owner`; true when it closed with OK.
bool OpenAdditionalOptions(Globals& g, const Services& services, AutoStartEntry& autoStart,
                           const std::string& programPath, QWidget* owner);

}  // namespace ringmere::ui

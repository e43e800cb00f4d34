// What the step editor holds, as plain values, and the rules between those
// values and a script step: loading, the checks in their order, storing and
// the step's description. The window only moves values between these and
// its controls.
//
// Texts are the bytes of the alarm file; numbers typed into text fields stay
// texts until the checks have passed (see alarm_form.h).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/alarm_form.h"
#include "core/form_checks.h"
#include "core/globals.h"

namespace ringmere {

// One form per action, and what only steps have. Choices carry the numbers
// the record stores; the sound has no "silent" here.
struct StepForm : SoundForm, DialForm, LaunchForm, MailForm, SynchForm, FtpForm, FileOpForm {
    Byte kind = kStepSound;     // evtype
    bool connect = true;        // dial-up: connect, else disconnect
    std::string seconds = "1";  // sleep
    // Repeat
    std::string target;  // the chosen step number's text, empty when none
    Byte reptype = kRepeatTimes;
    std::string repnum = "1";

    bool operator==(const StepForm&) const = default;
};

// The ranges of the arrows beside the number fields.
inline constexpr FieldRange kStepWavSecondsRange = kWaveSecondsField.range;
inline constexpr FieldRange kStepTrackRange = kTrackField.range;
inline constexpr FieldRange kStepRedialRange = kRedialField.range;
inline constexpr FieldRange kStepSleepRange{1, 300};
inline constexpr FieldRange kStepRetriesRange = kRetriesField.range;
inline constexpr FieldRange kStepRetryDelayRange = kRetryDelayField.range;
inline constexpr FieldRange kStepRepeatCountRange{1, 1000};

// A new step: an MP3 for the external player, "From:" the reply-to address.
StepForm NewStepForm(const SettingsRec& settings);
// The form showing `step`: its own kind's fields, the others as for a new
// step. A music choice other than wave or CD shows as MP3.
StepForm LoadStepForm(const AlEvent& step, const SettingsRec& settings);

// Where the editor takes the user for a check's message.
enum class StepTab { None, FtpRetry };

struct StepProblem {
    std::string message;
    StepTab tab = StepTab::None;
    bool stops = true;  // false: reported, and the step is stored all the same
};

// What a check may ask of the file system.
struct StepFiles {
    // True for an existing file that is no directory.
    std::function<bool(const std::string& path)> isFile;
};

// The checks of the chosen kind in their order; the reports up to and
// including the first that stops OK. `lastTarget` is the highest step a
// repeat may go back to.
std::vector<StepProblem> CheckStepForm(const StepForm& form, Integer lastTarget,
                                       const StepFiles& files);

// Writes the chosen kind's fields and the description into `step`; the
// other kinds' fields keep what they held. Call only on a form whose checks
// passed.
void StoreStep(const StepForm& form, AlEvent& step);

// The one-line description of a step, as the step list shows it.
std::string StepDescription(const AlEvent& step);

// The steps a repeat step may go back to: 1 to the step count when adding,
// the steps before `stepIndex` when editing. None when a repeat step cannot
// be chosen at all: an empty script, or step 1 selected.
Integer LastRepeatTarget(Integer stepCount, Integer stepIndex, bool adding);
bool RepeatAllowed(Integer stepCount, Integer stepIndex);

}  // namespace ringmere

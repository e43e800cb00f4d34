#include "widgets/settings_save.h"

#include "widgets/dialogs.h"
#include "widgets/file_text.h"

namespace ringmere::widgets {

bool SaveSettingsTelling(Globals& g, DialogService& dialogs, QWidget* owner,
                         std::optional<QPoint> topLeft) {
    CollectingReporter said;
    const bool saved = SaveSettingsFile(g, said) == kFileDone;
    std::string text;
    for (const std::string& m : said.messages) text += (text.empty() ? "" : "\n") + m;
    if (!saved) {
        if (said.messages.empty())
            text = "The alarm file " + g.LocalAlarmFilePath() + " could not be created.";
        text += "\nThe change was not saved.";
    }
    if (!text.empty()) dialogs.Message(owner, BoxKind::Warning, FromFileText(text), topLeft);
    return saved;
}

}  // namespace ringmere::widgets

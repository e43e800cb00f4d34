#include "widgets/background_save.h"

#include <QCoreApplication>
#include <QEvent>

#include "widgets/file_text.h"

namespace ringmere::widgets {

QString SaveText(const std::string& path, bool saved, const std::vector<std::string>& said) {
    std::string text;
    for (const std::string& m : said) text += (text.empty() ? "" : "\n") + m;
    if (!saved) {
        if (said.empty()) text = "The alarm file " + path + " could not be created.";
        text += "\nThe change was not saved.";
    }
    return FromFileText(text);
}

void TellSave(DialogService& dialogs, QWidget* owner, std::optional<QPoint> topLeft,
              const std::string& path, bool saved, const std::vector<std::string>& said) {
    const QString text = SaveText(path, saved, said);
    if (!text.isEmpty()) dialogs.Message(owner, BoxKind::Warning, text, topLeft);
}

BackgroundSave::BackgroundSave(DialogService& dialogs)
    : dialogs_(dialogs), saver_([this](const AlarmFileSaver::Outcome& outcome) {
          // From the saver's thread: the box belongs to this one.
          QMetaObject::invokeMethod(this, [this, outcome] { Tell(outcome); },
                                    Qt::QueuedConnection);
      }) {}

BackgroundSave::~BackgroundSave() {
    saver_.Wait();
}

bool BackgroundSave::Save(Globals& g, QWidget* owner) {
    owner_ = owner;
    CollectingReporter said;
    const bool queued = saver_.Save(g, g.Settings.AlarmFile, said);
    // The note on the damaged original, or why it could not be kept.
    TellSave(dialogs_, owner, std::nullopt, g.Settings.AlarmFile, queued, said.messages);
    return queued;
}

void BackgroundSave::Finish() {
    saver_.Wait();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void BackgroundSave::Tell(const AlarmFileSaver::Outcome& outcome) {
    TellSave(dialogs_, owner_, std::nullopt, outcome.path, outcome.result == kFileDone,
             outcome.messages);
}

}  // namespace ringmere::widgets

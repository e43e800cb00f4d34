#include "widgets/file_text.h"

#include "core/text.h"

namespace ringmere::widgets {

QString FromFileText(const std::string& text) {
    return QString::fromStdString(ToDisplayUtf8(text));
}

std::string ToFileText(const QString& text) {
    return text.toStdString();
}

}  // namespace ringmere::widgets

#include "widgets/form_text.h"

#include "widgets/file_text.h"

namespace ringmere::widgets {

QString ShownText(const std::string& fileText) {
    QString text = FromFileText(fileText);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

std::string StoredText(const QString& shown, const std::string& loaded) {
    if (shown == ShownText(loaded)) return loaded;
    QString text = shown;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return ToFileText(text);
}

}  // namespace ringmere::widgets

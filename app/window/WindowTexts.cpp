#include "app/window/WindowTexts.h"

#include "app/settings/GlobalObject.h"

#include <QFileInfo>

namespace window_texts {

QString FileFilter(const QString& title, const QStringList& extensions) {
    QStringList patterns;
    for (const QString& ext : extensions) {
        QString pattern = "*.";
        for (QChar c : ext)
            pattern += c.isLetter() ? QString("[%1%2]").arg(c.toLower()).arg(c.toUpper()) : QString(c);
        patterns << pattern;
    }
    return title + " (" + patterns.join(' ') + ")";
}

bool HasExtension(const QString& fileName, const QStringList& extensions) {
    const QString suffix = QFileInfo(fileName).suffix();
    for (const QString& ext : extensions)
        if (suffix.compare(ext, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace window_texts

QString ClassicCaption(const TGlobalObject& global) {
    return QString::fromStdString(global.AppTitle() + " Free Ver" + global.VersionText());
}

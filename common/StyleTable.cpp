#include "common/StyleTable.h"

#include "common/ConfigFormat.h"

#include <QCoreApplication>

namespace zen::config {

QStringList readStyles(const QString& path) {
    QStringList styles;
    readFields(path, kStyleCount, styles);
    return styles;
}

QString stylesFilePath(const QString& folder) {
    return folder + QStringLiteral("/styles.ini");
}

QString stylesFilePath() {
    return stylesFilePath(QCoreApplication::applicationDirPath());
}

} // namespace zen::config

#include "app/uHelp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace kalvex {

QStringList GuideCandidates(const QString& ProgramDir) {
    const QDir D(ProgramDir);
    QStringList List{
        D.absoluteFilePath(QStringLiteral("../share/doc/kalvex/guide/index.html")),
        D.absoluteFilePath(QStringLiteral("../docs/guide/index.html")),
    };
#ifdef KALVEX_SOURCE_GUIDE
    List << QStringLiteral(KALVEX_SOURCE_GUIDE);
#endif
    for (QString& F : List)
        F = QDir::cleanPath(F);
    return List;
}

QString GuidePath() {
    for (const QString& F : GuideCandidates(QCoreApplication::applicationDirPath()))
        if (QFileInfo(F).isFile())
            return F;
    return {};
}

} // namespace kalvex

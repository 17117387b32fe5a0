#include "core/CartellaDati.h"

#include <QDir>

namespace sorvela {

QString cartellaDatiPredefinita()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/Sorvela");
}

} // namespace sorvela

#include "shell/Avvio.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sorvela {

QString cartellaDatiPredefinita()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/Sorvela");
}

OpzioniAvvio leggiOpzioni(int argc, char* argv[])
{
    OpzioniAvvio o;
    o.cartellaDati = cartellaDatiPredefinita();
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            std::printf("Uso: sorvela [--data-dir CARTELLA]\n"
                        "Console di monitoraggio Sorvela.\n"
                        "  --data-dir CARTELLA  cartella di Sorvela.db e blip.wav\n"
                        "                       (predefinita: $XDG_DATA_HOME/Sorvela)\n");
            o.esci = true;
            return o;
        }
        if (std::strcmp(a, "--data-dir") == 0 && i + 1 < argc) {
            o.cartellaDati = QDir(QString::fromLocal8Bit(argv[++i])).absolutePath();
            continue;
        }
        if (std::strncmp(a, "--data-dir=", 11) == 0) {
            o.cartellaDati = QDir(QString::fromLocal8Bit(a + 11)).absolutePath();
            continue;
        }
        // Qt's own options (-platform, -style …) pass through to QApplication.
        if (a[0] == '-' && a[1] != '-')
            continue;
        std::fprintf(stderr, "sorvela: argomento non riconosciuto: %s (vedere --help)\n", a);
        o.esci = true;
        o.codiceUscita = 2;
        return o;
    }
    return o;
}

QString problemaDatabase(const QString& cartellaDati)
{
    const QString file = QDir(cartellaDati).filePath(QStringLiteral("Sorvela.db"));
    if (QFileInfo(file).isFile())
        return {};
    // The folder is quoted when it needs it, so the command can be pasted as it is.
    QString cartella = cartellaDati;
    if (cartella.contains(QRegularExpression(QStringLiteral("[^A-Za-z0-9_./+-]"))))
        cartella = QLatin1Char('\'') + cartella.replace(QLatin1Char('\''), QStringLiteral("'\\''")) + QLatin1Char('\'');
    return QStringLiteral("Il database %1 non esiste. Crearlo con: sorvela-db init --data-dir %2")
        .arg(QDir::toNativeSeparators(file), cartella);
}

bool displayDisponibile()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace sorvela

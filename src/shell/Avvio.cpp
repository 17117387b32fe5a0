#include "shell/Avvio.h"

#include "store/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sorvela {

QString cartellaInstallata()
{
    // Where the installation put the shared files, relative to the program's
    // own folder, so that a package moved to another prefix still finds them.
    // A program run from its build folder has none.
    const QDir dir(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(SORVELA_CONDIVISI)));
    return dir.exists() ? dir.canonicalPath() : QString();
}

namespace {

// How many words a Qt option takes on the command line (the option and its
// value), or 0 for what is not one of Qt's options. One dash or two, as Qt
// accepts them.
int opzioneQt(const char* a)
{
    if (a[0] != '-')
        return 0;
    QByteArray nome(a + (a[1] == '-' ? 2 : 1));
    if (nome.contains('='))
        return nome.startsWith("qmljsdebugger") ? 1 : 0;
    static const QList<QByteArray> conValore{"platform", "platformpluginpath", "platformtheme", "plugin",
                                            "qwindowgeometry", "geometry", "qwindowtitle", "title",
                                            "qwindowicon", "icon", "style", "stylesheet", "session",
                                            "display", "name", "visual"};
    static const QList<QByteArray> senzaValore{"reverse", "widgetcount", "nograb", "dograb", "sync",
                                               "testability"};
    if (conValore.contains(nome))
        return 2;
    if (senzaValore.contains(nome))
        return 1;
    return 0;
}

} // namespace

bool installaTraduzioneQt(QCoreApplication& app)
{
    // Qt's own texts (the buttons of every message box, the standard
    // dialogs) in Italian, like the rest of the console.
    auto* traduttore = new QTranslator(&app);
    if (!traduttore->load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete traduttore;
        return false;
    }
    return QCoreApplication::installTranslator(traduttore);
}

OpzioniAvvio leggiOpzioni(int argc, char* argv[])
{
    OpzioniAvvio o;
    o.cartellaDati = cartellaDatiPredefinita();
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            std::printf("Uso: sorvela [--data-dir CARTELLA] [--database URL] [opzioni di Qt]\n"
                        "Console di monitoraggio Sorvela.\n"
                        "  --data-dir CARTELLA  cartella di Sorvela.db e blip.wav\n"
                        "                       (predefinita: $XDG_DATA_HOME/Sorvela)\n"
                        "  --database URL       database su un server PostgreSQL (URI o parole chiave di libpq,\n"
                        "                       per esempio postgresql://server/sorvela o service=sorvela)\n"
                        "                       invece di Sorvela.db; senza, la chiave Url della sezione\n"
                        "                       [Database] di Sorvela.ini\n"
                        "  --version            mostra la versione ed esce\n"
                        "  --help               mostra questo aiuto ed esce\n"
                        "  Le opzioni di Qt (-platform, -style, -geometry ...) sono accettate.\n");
            o.esci = true;
            return o;
        }
        if (std::strcmp(a, "--version") == 0 || std::strcmp(a, "-v") == 0) {
            std::printf("sorvela %s\n", SORVELA_VERSIONE);
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
        if (std::strcmp(a, "--database") == 0 && i + 1 < argc) {
            o.urlDatabase = QString::fromLocal8Bit(argv[++i]);
            continue;
        }
        if (std::strncmp(a, "--database=", 11) == 0) {
            o.urlDatabase = QString::fromLocal8Bit(a + 11);
            continue;
        }
        // Qt's own options (-platform offscreen, -style Fusion …) are left for
        // QApplication, which reads them from the same command line.
        if (const int n = opzioneQt(a); n > 0) {
            i += n - 1;
            continue;
        }
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

QString problemaServer(const QString& url)
{
    if (store::Database::eServer(url))
        return {};
    return QStringLiteral("\"%1\" non è l'indirizzo di un server PostgreSQL (postgresql://… oppure parole chiave "
                          "come host=… dbname=…): il database in un file è Sorvela.db nella cartella dei dati "
                          "(--data-dir).").arg(url);
}

bool displayDisponibile()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace sorvela

// sorvela-db: prepares the console's database file. The console itself never
// creates tables, so a new installation (or a demo) starts here.

#include "core/CartellaDati.h"
#include "store/Database.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>

namespace {

int errore(const QString& messaggio)
{
    std::fprintf(stderr, "sorvela-db: %s\n", qPrintable(messaggio));
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("sorvela-db"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SORVELA_VERSIONE));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prepara il database di Sorvela.\n\n"
        "  init    crea Sorvela.db nella cartella dei dati (non sovrascrive un file esistente)"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("comando"), QStringLiteral("init"));
    const QCommandLineOption cartella(QStringLiteral("data-dir"),
                                      QStringLiteral("Cartella dei dati (predefinita: %1).").arg(sorvela::cartellaDatiPredefinita()),
                                      QStringLiteral("DIR"));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Aggiunge tipi di periferica, utenti ed eventi dimostrativi."));
    parser.addOption(cartella);
    parser.addOption(demo);

    if (!parser.parse(app.arguments()))
        return errore(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    const QStringList argomenti = parser.positionalArguments();
    if (argomenti.size() != 1 || argomenti.first() != QLatin1String("init"))
        return errore(QStringLiteral("comando mancante o sconosciuto; uso: sorvela-db init [--data-dir DIR] [--demo]"));

    const QString dir = parser.isSet(cartella) ? parser.value(cartella) : sorvela::cartellaDatiPredefinita();
    if (dir.isEmpty())
        return errore(QStringLiteral("cartella dei dati vuota"));
    if (!QDir().mkpath(dir))
        return errore(QStringLiteral("impossibile creare la cartella %1").arg(dir));
    const QString file = QDir(dir).absoluteFilePath(QStringLiteral("Sorvela.db"));
    if (QFileInfo::exists(file))
        return errore(QStringLiteral("il file %1 esiste già: non viene sovrascritto").arg(file));

    try {
        sorvela::store::Database::crea(file, parser.isSet(demo));
    } catch (const sorvela::store::ErroreDatabase& e) {
        return errore(e.messaggio());
    }
    std::printf("Creato %s%s\n", qPrintable(QDir::toNativeSeparators(file)),
                parser.isSet(demo) ? " con i dati dimostrativi" : "");
    return 0;
}

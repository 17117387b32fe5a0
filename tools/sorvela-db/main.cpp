// sorvela-db: prepares the console's database file. The console itself never
// creates tables, so a new installation (or a demo) starts here.

#include "core/CartellaDati.h"
#include "store/Copia.h"
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

bool suServer(const QString& url)
{
    return sorvela::store::Database::eServer(url);
}

int nonUnServer(const QString& url)
{
    return errore(QStringLiteral("\"%1\" non è l'indirizzo di un server PostgreSQL: per un file usare --data-dir")
                      .arg(url));
}

// The group roles and their rights on the database, given again from scratch.
// Opening it first brings its tables up to this version's, so that a table
// an update added is granted too.
int ruoli(const QString& url)
{
    if (url.isEmpty())
        return errore(QStringLiteral("uso: sorvela-db ruoli --database URL"));
    if (!suServer(url))
        return nonUnServer(url);
    QString descrizione;
    try {
        auto db = sorvela::store::Database::apri(url);
        db->concediRuoli();
        descrizione = db->descrizione();
    } catch (const sorvela::store::ErroreDatabase& e) {
        return errore(QStringLiteral("diritti non concessi: %1").arg(e.messaggio()));
    }
    std::printf("Concessi i diritti dei ruoli sorvela_ricevitore, sorvela_banco e sorvela_responsabile "
                "nel database %s\n",
                qPrintable(descrizione));
    return 0;
}

int init(const QCommandLineParser& parser, const QString& url, bool demo, bool conRuoli)
{
    if (!url.isEmpty() && !suServer(url))
        return nonUnServer(url);
    if (conRuoli && url.isEmpty())
        return errore(QStringLiteral("--ruoli vale solo con --database: un file non ha ruoli"));
    if (!url.isEmpty()) {
        // The server's database is made by its administrator (createdb);
        // here it gains the tables.
        try {
            sorvela::store::Database::crea(url, demo);
        } catch (const sorvela::store::ErroreDatabase& e) {
            return errore(e.messaggio());
        }
        std::printf("Creato lo schema di Sorvela nel database %s%s\n",
                    qPrintable(sorvela::store::Database::apri(url)->descrizione()), demo ? " con i dati dimostrativi" : "");
        return conRuoli ? ruoli(url) : 0;
    }
    const QString dir = parser.isSet(QStringLiteral("data-dir")) ? parser.value(QStringLiteral("data-dir"))
                                                                  : sorvela::cartellaDatiPredefinita();
    if (dir.isEmpty())
        return errore(QStringLiteral("cartella dei dati vuota"));
    if (!QDir().mkpath(dir))
        return errore(QStringLiteral("impossibile creare la cartella %1").arg(dir));
    const QString file = QDir(dir).absoluteFilePath(QStringLiteral("Sorvela.db"));
    if (QFileInfo::exists(file))
        return errore(QStringLiteral("il file %1 esiste già: non viene sovrascritto").arg(file));

    try {
        sorvela::store::Database::crea(file, demo);
    } catch (const sorvela::store::ErroreDatabase& e) {
        return errore(e.messaggio());
    }
    std::printf("Creato %s%s\n", qPrintable(QDir::toNativeSeparators(file)), demo ? " con i dati dimostrativi" : "");
    return 0;
}

int copia(const QString& da, const QString& a)
{
    if (da.isEmpty() || a.isEmpty())
        return errore(QStringLiteral("uso: sorvela-db copia --da FILE --a URL"));
    if (!QFileInfo(da).isFile())
        return errore(QStringLiteral("il file %1 non esiste").arg(da));
    sorvela::store::EsitoCopia esito;
    try {
        esito = sorvela::store::CopiaSuServer(da, a, [](const QString& tabella, qint64 righe) {
            std::printf("Copia di %s (%lld righe)\n", qPrintable(tabella), static_cast<long long>(righe));
            std::fflush(stdout);
        });
    } catch (const sorvela::store::ErroreDatabase& e) {
        return errore(QStringLiteral("copia non fatta, il server non ne conserva nulla: %1").arg(e.messaggio()));
    }
    std::printf("\n%-32s %12s %12s\n", "Tabella", "File", "Server");
    for (const auto& t : esito.tabelle)
        std::printf("%-32s %12lld %12lld%s\n", qPrintable(t.tabella), static_cast<long long>(t.file),
                    static_cast<long long>(t.server), t.file == t.server ? "" : "  DIVERSO");
    if (!esito.concorda())
        return errore(QStringLiteral("i conteggi non concordano"));
    std::printf("Copia completata: i conteggi concordano tabella per tabella.\n");
    return 0;
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
        "  init    crea Sorvela.db nella cartella dei dati (non sovrascrive un file esistente),\n"
        "          oppure, con --database, le tabelle in un database vuoto di un server PostgreSQL\n"
        "  copia   copia un centro da un file SQLite (--da) in un database vuoto di un server\n"
        "          PostgreSQL (--a), in una sola transazione, e confronta le righe tabella per tabella\n"
        "  ruoli   crea sul server (--database) i ruoli sorvela_ricevitore, sorvela_banco e\n"
        "          sorvela_responsabile, se mancano, e concede loro di nuovo i diritti sul database"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("comando"), QStringLiteral("init, copia oppure ruoli"));
    const QCommandLineOption cartella(QStringLiteral("data-dir"),
                                      QStringLiteral("Cartella dei dati (predefinita: %1).").arg(sorvela::cartellaDatiPredefinita()),
                                      QStringLiteral("DIR"));
    const QCommandLineOption database(QStringLiteral("database"),
                                      QStringLiteral("Database su un server PostgreSQL: URI o parole chiave di libpq "
                                                     "(postgresql://server/sorvela, service=sorvela)."),
                                      QStringLiteral("URL"));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Aggiunge tipi di periferica, utenti ed eventi dimostrativi."));
    const QCommandLineOption da(QStringLiteral("da"), QStringLiteral("copia: il file Sorvela.db da copiare."),
                                QStringLiteral("FILE"));
    const QCommandLineOption a(QStringLiteral("a"), QStringLiteral("copia: il database PostgreSQL di destinazione."),
                               QStringLiteral("URL"));
    const QCommandLineOption conRuoli(QStringLiteral("ruoli"),
                                      QStringLiteral("init --database: crea anche i ruoli e ne concede i diritti "
                                                     "(come il comando ruoli)."));
    parser.addOptions({cartella, database, demo, da, a, conRuoli});

    if (!parser.parse(app.arguments()))
        return errore(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    const QStringList argomenti = parser.positionalArguments();
    const QString comando = argomenti.size() == 1 ? argomenti.first() : QString();
    if (comando == QLatin1String("init")) {
        if (parser.isSet(cartella) && parser.isSet(database))
            return errore(QStringLiteral("--data-dir e --database non vanno insieme: il database è un file o un server"));
        return init(parser, parser.value(database), parser.isSet(demo), parser.isSet(conRuoli));
    }
    if (comando == QLatin1String("copia"))
        return copia(parser.value(da), parser.value(a));
    if (comando == QLatin1String("ruoli"))
        return ruoli(parser.value(database));
    return errore(QStringLiteral("comando mancante o sconosciuto; uso: sorvela-db init [--data-dir DIR | --database URL "
                                 "[--ruoli]] [--demo], sorvela-db copia --da FILE --a URL, oppure sorvela-db ruoli "
                                 "--database URL"));
}

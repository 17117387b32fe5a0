// The receiver without windows: sorvela-ricevitore [--data-dir DIR]

#include "core/CartellaDati.h"
#include "platform/ArrestoDaSegnale.h"
#include "platform/Preferenze.h"
#include "receiver/Ricevitore.h"
#include "store/Database.h"

#include <QCoreApplication>
#include <QDir>

#include <csignal>
#include <cstdio>
#include <cstring>

using namespace sorvela;

namespace {

void aiuto()
{
    std::printf("Uso: sorvela-ricevitore [--data-dir CARTELLA] [--database URL] [--nome NOME]\n"
                "Ricevitore degli allarmi Sorvela, senza finestre: legge i messaggi del telefono GSM,\n"
                "li registra, chiama le periferiche e svolge i controlli periodici.\n"
                "  --data-dir CARTELLA  cartella di Sorvela.db (predefinita: $XDG_DATA_HOME/Sorvela)\n"
                "  --database URL       database su un server PostgreSQL (URI o parole chiave di libpq,\n"
                "                       per esempio postgresql://server/sorvela o service=sorvela)\n"
                "                       invece di Sorvela.db; senza, la chiave Url della sezione [Database]\n"
                "  --nome NOME          nome di questo ricevitore tra quelli del centro (ognuno con il suo\n"
                "                       telefono); senza, la chiave Nome della sezione [Ricevitore],\n"
                "                       altrimenti \"principale\"\n"
                "  --version            mostra la versione ed esce\n"
                "  --help               mostra questo aiuto ed esce\n"
                "Legge Sorvela/Sorvela.ini sotto $XDG_CONFIG_HOME (porta, sezioni [Porte], [Database] e\n"
                "[Ricevitore]).\n"
                "Scrive quello che fa sullo standard error (categoria sorvela.ricevitore).\n"
                "SIGTERM e SIGINT lo fermano dopo lo scambio in corso.\n");
}

} // namespace

int main(int argc, char* argv[])
{
    // As the console: a write past a size limit fails, it does not kill.
    std::signal(SIGXFSZ, SIG_IGN);
    QString cartella = cartellaDatiPredefinita();
    QString url;
    QString nome;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            aiuto();
            return 0;
        }
        if (std::strcmp(a, "--version") == 0 || std::strcmp(a, "-v") == 0) {
            std::printf("sorvela-ricevitore %s\n", SORVELA_VERSIONE);
            return 0;
        }
        if (std::strcmp(a, "--data-dir") == 0 && i + 1 < argc) {
            cartella = QDir(QString::fromLocal8Bit(argv[++i])).absolutePath();
            continue;
        }
        if (std::strncmp(a, "--data-dir=", 11) == 0) {
            cartella = QDir(QString::fromLocal8Bit(a + 11)).absolutePath();
            continue;
        }
        if (std::strcmp(a, "--nome") == 0 && i + 1 < argc) {
            nome = QString::fromLocal8Bit(argv[++i]).trimmed();
            continue;
        }
        if (std::strncmp(a, "--nome=", 7) == 0) {
            nome = QString::fromLocal8Bit(a + 7).trimmed();
            continue;
        }
        if (std::strcmp(a, "--database") == 0 && i + 1 < argc) {
            url = QString::fromLocal8Bit(argv[++i]);
            continue;
        }
        if (std::strncmp(a, "--database=", 11) == 0) {
            url = QString::fromLocal8Bit(a + 11);
            continue;
        }
        std::fprintf(stderr, "sorvela-ricevitore: argomento non riconosciuto: %s (vedere --help)\n", a);
        return 2;
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Sorvela"));
    QCoreApplication::setOrganizationName(QStringLiteral("Sorvela"));
    if (qEnvironmentVariableIsEmpty("QT_MESSAGE_PATTERN"))
        qSetMessagePattern(QStringLiteral("%{time yyyy-MM-dd hh:mm:ss.zzz} %{if-warning}ATTENZIONE %{endif}"
                                          "%{if-critical}ERRORE %{endif}%{message}"));
    ArrestoDaSegnale arresto;

    ricevitore::Configurazione conf;
    conf.cartellaDati = cartella;
    conf.urlDatabase = url.isEmpty() ? Preferenze().urlDatabase() : url;
    if (!conf.urlDatabase.isEmpty() && !store::Database::eServer(conf.urlDatabase)) {
        std::fprintf(stderr, "sorvela-ricevitore: \"%s\" non è l'indirizzo di un server PostgreSQL: il database in un "
                             "file è Sorvela.db nella cartella dei dati (--data-dir)\n",
                     conf.urlDatabase.toLocal8Bit().constData());
        return 2;
    }
    conf.programma = QStringLiteral("sorvela-ricevitore");
    conf.nome = nome;
    ricevitore::Ricevitore r(conf);
    const QString errore = r.avvia();
    if (!errore.isEmpty()) {
        std::fprintf(stderr, "sorvela-ricevitore: %s\n", errore.toLocal8Bit().constData());
        return 1;
    }
    QObject::connect(&arresto, &ArrestoDaSegnale::richiesto, &r, &ricevitore::Ricevitore::ferma);
    QObject::connect(&r, &ricevitore::Ricevitore::fermato, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    return app.exec();
}

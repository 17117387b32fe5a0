// bench_archivio DB [--ripetizioni N] [--senza-compattazione]
// (DB may be a PostgreSQL connection text; there is no compaction to time then)
//
// On a database made by tools/genera-db.py (1,000,000 events by default):
// - the archive search as the window runs it (the count and the first page
//   of rows), median of N runs, for every code over the whole archive, for
//   alarms only, for one code, and for one code and one description;
// - the compaction (CompattaDatabase, with its integrity check and flush)
//   against `sqlite3 Sorvela.db "VACUUM INTO 'x.db'"` on a copy of the same
//   file, alternating, median of N runs each, and their ratio.
// DB itself is never written: the compaction works on copies in a temporary
// folder beside it.

#include "store/Compattazione.h"
#include "store/Database.h"
#include "windows/Archivio.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace sorvela;

namespace {

double mediana(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double millisecondi(const std::function<void()>& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

bool copia(const QString& da, const QString& a)
{
    QFile::remove(a);
    return QFile::copy(da, a);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.contains("--help")) {
        std::puts("bench_archivio DB [--ripetizioni N] [--senza-compattazione]");
        return args.isEmpty() ? 2 : 0;
    }
    int ripetizioni = 5;
    if (const int i = int(args.indexOf("--ripetizioni")); i >= 0 && i + 1 < args.size())
        ripetizioni = std::max(1, args.at(i + 1).toInt());
    const bool compattazione = !args.contains("--senza-compattazione");
    const QString sorgente = store::Database::eServer(args.first()) ? args.first()
                                                                     : QFileInfo(args.first()).absoluteFilePath();

    try {
        auto db = store::Database::apri(sorgente);
        const qint64 eventi = db->valore("SELECT count(*) FROM ArchivioEventi").toLongLong();
        const QDate primo = *archivio::PrimaData(*db);
        const QDate ultimo =
            QDate::fromString(db->valore("SELECT max([Data e ora]) FROM ArchivioEventi").toString().left(10), "yyyy-MM-dd");
        const QString codice = db->valore("SELECT [Codice periferica] FROM DatiUtente LIMIT 1 OFFSET 17").toString();
        std::printf("%s: %lld events from %s to %s\n", qPrintable(sorgente), eventi, qPrintable(primo.toString(Qt::ISODate)),
                    qPrintable(ultimo.toString(Qt::ISODate)));

        archivio::Criteri tutti;
        tutti.dal = primo;
        tutti.al = ultimo;
        tutti.test = tutti.allarme = true;
        archivio::Criteri allarmi = tutti;
        allarmi.test = false;
        archivio::Criteri uno = tutti;
        uno.codice = codice;
        archivio::Criteri descrizione = uno;
        descrizione.descrizione = archivio::Descrizioni(*db, codice).value(0);
        struct Caso {
            const char* nome;
            archivio::Criteri c;
        };
        for (const Caso& k : {Caso{"every code, both kinds", tutti}, Caso{"every code, alarms", allarmi},
                              Caso{"one code", uno}, Caso{"one code, one description", descrizione}}) {
            qint64 trovati = 0;
            std::vector<double> t;
            for (int i = 0; i < ripetizioni; ++i)
                t.push_back(millisecondi([&] {
                    trovati = archivio::Conta(*db, k.c);
                    archivio::Pagina(*db, k.c, {}, 500, nullptr);
                }));
            std::printf("search %-28s %9lld found  median %8.1f ms  (worst %8.1f ms)\n", k.nome, trovati, mediana(t),
                        *std::max_element(t.begin(), t.end()));
        }
        db.reset();
    } catch (const store::ErroreDatabase& e) {
        std::fprintf(stderr, "bench_archivio: %s\n", e.what());
        return 1;
    }

    if (!compattazione)
        return 0;
    QTemporaryDir lavoro(QFileInfo(sorgente).absolutePath() + "/bench-compattazione-XXXXXX");
    const QString db = QDir(lavoro.path()).filePath("Sorvela.db");
    std::vector<double> nostra, vacuum;
    for (int i = 0; i < ripetizioni; ++i) {
        for (const char* f : {"Sorvela.bak", "Sorvelanew.db", "x.db"})
            QFile::remove(QDir(lavoro.path()).filePath(f));
        if (!copia(sorgente, db))
            return 1;
        vacuum.push_back(millisecondi([&] {
            QProcess p;
            p.setWorkingDirectory(lavoro.path());
            p.start("sqlite3", {"Sorvela.db", "VACUUM INTO 'x.db'"});
            p.waitForFinished(-1);
        }));
        QFile::remove(QDir(lavoro.path()).filePath("x.db"));
        if (!copia(sorgente, db))
            return 1;
        store::EsitoCompattazione esito;
        nostra.push_back(millisecondi([&] { esito = store::CompattaDatabase(lavoro.path()); }));
        if (!esito.riuscita()) {
            std::fprintf(stderr, "bench_archivio: %s\n", qPrintable(esito.dettaglio));
            return 1;
        }
    }
    std::printf("compaction  median %8.1f ms\nVACUUM INTO median %8.1f ms\nratio %.3f\n", mediana(nostra),
                mediana(vacuum), mediana(nostra) / mediana(vacuum));
    return 0;
}

// sorvela-db and sorvela-sms as an installer and a technician run them.

#include "comune/Programma.h"
#include "comune/ServerDatabase.h"
#include "core/Orologio.h"
#include "events/Registrazione.h"
#include "events/RiempiCoda.h"
#include "interrogation/Interrogazione.h"
#include "modem/pdu/Messaggio.h"
#include "platform/RegistroOperazioni.h"
#include "shell/Pulizia.h"
#include "store/Database.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

using namespace sorvela;
using comune::EsitoProgramma;

namespace {

EsitoProgramma sms(const QStringList& argomenti, const QByteArray& ingresso = {})
{
    return comune::esegui(SORVELA_SMS, argomenti, ingresso);
}

// sorvela-db with its own user data folder.
EsitoProgramma db(const QStringList& argomenti, const QString& xdgData)
{
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", xdgData);
    return comune::esegui(SORVELA_DB, argomenti, {}, env);
}

QByteArray contenuto(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestStrumenti : public QObject {
    Q_OBJECT
private slots:
    // Into a folder given by name (with a blank, not there yet) or into the
    // user's data folder; never over an existing file.
    void initCreaERifiutaDiSovrascrivere()
    {
        QTemporaryDir dir, xdg;
        const QString cartella = dir.filePath("dati nuovi");
        const QString file = cartella + "/Sorvela.db";

        QCOMPARE(db({"init", "--data-dir", cartella}, xdg.path()).codice, 0);
        QCOMPARE(store::Database::apri(file)->valore("SELECT count(*) FROM DatiUtente").toInt(), 0);
        QCOMPARE(db({"init", "--demo"}, xdg.path()).codice, 0);
        QCOMPARE(store::Database::apri(xdg.filePath("Sorvela/Sorvela.db"))
                     ->valore("SELECT count(*) FROM DatiUtente").toInt(), 6);

        const QByteArray prima = contenuto(file);
        const EsitoProgramma secondo = db({"init", "--demo", "--data-dir", cartella}, xdg.path());
        QVERIFY(secondo.codice != 0);
        QVERIFY(secondo.errori.contains(file.toUtf8()));
        QCOMPARE(secondo.errori.trimmed().count('\n'), 0);
        QCOMPARE(contenuto(file), prima);
    }

    // A centre moved from its file to a server: `init --database` makes the
    // schema, `copia` fills it in one go with the same rows and numbers (an
    // input table of a peripheral type as well), the counters go on past
    // them, and a second copy is refused without writing anything.
    void initECopiaSuUnServer()
    {
        QTemporaryDir xdg;
        comune::DatabaseDiProva vuoto(true, false), schema(true, false);
        QVERIFY2(vuoto.errore.isEmpty(), qPrintable(vuoto.errore));
        vuoto.db->esegui("DROP SCHEMA public CASCADE");
        vuoto.db->esegui("CREATE SCHEMA public");
        vuoto.db.reset();
        schema.db.reset();
        const QString file = xdg.filePath("Sorvela/Sorvela.db");
        QCOMPARE(db({"init", "--demo"}, xdg.path()).codice, 0);
        store::Database::apri(file)->esegui("UPDATE DatiUtente SET Nome = 'Dell''Acqua' WHERE [Codice periferica] = '000101'");

        for (const auto* destinazione : {&vuoto, &schema}) {
            const EsitoProgramma copia = db({"copia", "--da", file, "--a", destinazione->url}, xdg.path());
            QVERIFY2(copia.codice == 0, copia.errori.constData());
            QVERIFY(copia.uscita.contains("i conteggi concordano"));
            auto server = store::Database::apri(destinazione->url);
            QCOMPARE(server->valore("SELECT Nome FROM DatiUtente WHERE [Codice periferica] = '000101'"), QVariant("Dell'Acqua"));
            QCOMPARE(server->valore("SELECT count(*) FROM \"Ingressi Vedetta 8\"").toInt(), 5);
            const qlonglong massimo = server->valore("SELECT max(ID) FROM ArchivioEventi").toLongLong();
            server->esegui("INSERT INTO ArchivioEventi ([Codice periferica], [Data e ora]) VALUES ('000101', ?)",
                           {QDateTime::currentDateTime()});
            QCOMPARE(server->valore("SELECT max(ID) FROM ArchivioEventi").toLongLong(), massimo + 1);

            const EsitoProgramma ancora = db({"copia", "--da", file, "--a", destinazione->url}, xdg.path());
            QCOMPARE(ancora.codice, 1);
            QVERIFY(ancora.errori.contains("contiene già dei dati"));
            QCOMPARE(server->valore("SELECT count(*) FROM ArchivioEventi").toLongLong(), massimo + 1);
        }
        QCOMPARE(db({"init", "--database", schema.url}, xdg.path()).codice, 1);
    }

    // A centre made with its roles, each program logged in as a member of
    // its own: the receiver's and the desk's routines run as they do in
    // service (opening the database, a column they write, fail here when a
    // right is missing), and what a role must not do is refused by the
    // server as a plain "permission denied", which the desk shows as it is.
    void ruoliConcedonoSoloIlNecessario()
    {
        QTemporaryDir xdg;
        comune::DatabaseDiProva centro(true, false);
        QVERIFY2(centro.errore.isEmpty(), qPrintable(centro.errore));
        centro.db->esegui("DROP SCHEMA public CASCADE");
        centro.db->esegui("CREATE SCHEMA public");
        centro.db.reset();
        const EsitoProgramma init = db({"init", "--database", centro.url, "--demo", "--ruoli"}, xdg.path());
        QVERIFY2(init.codice == 0, init.errori.constData());
        // Given again, the same rights and no more.
        QCOMPARE(db({"ruoli", "--database", centro.url}, xdg.path()).codice, 0);

        // Roles belong to the whole server: names of this run only.
        const QString pid = QString::number(QCoreApplication::applicationPid());
        const QString ric = "prova_ric_" + pid, banco = "prova_banco_" + pid, resp = "prova_resp_" + pid;
        auto togliLogin = qScopeGuard([&] {
            for (const QString& r : {ric, banco, resp})
                comune::comandoServer("DROP ROLE IF EXISTS " + r);
        });
        for (const auto& [login, gruppo] : {std::pair{ric, "sorvela_ricevitore"}, {banco, "sorvela_banco"},
                                            {resp, "sorvela_responsabile"}})
            QCOMPARE(comune::comandoServer(QString("CREATE ROLE %1 LOGIN IN ROLE %2").arg(login, gruppo)), QString());
        auto negato = [](store::Database& d, const QString& sql) {
            try {
                d.esegui(sql);
            } catch (const store::ErroreDatabase& e) {
                return e.messaggio().contains("permission denied");
            }
            return false;
        };

        {
            auto ricevitore = store::Database::apri(centro.url + " user=" + ric);
            Orologio orologio;
            Contesto c;
            c.db = ricevitore.get();
            c.orologio = &orologio;
            QVERIFY(RegistraInterrogazione(c, "000101", interrogazione::ModoManuale));
            pdu::MessaggioRicevuto m{.valido = true, .mittente = "+393351234567", .centroOra = "62101012000000",
                                     .datiUtente = "41", .testo = "ALLARME INGRESSO 1"};
            QCOMPARE(RegistraMessaggio(c, m).esito, EsitoRegistrazione::Registrato);
            m.mittente = "+390000000000";
            QCOMPARE(RegistraMessaggio(c, m).esito, EsitoRegistrazione::MittenteSconosciuto);
            ricevitore->esegui("UPDATE DatiUtente SET [Scadenza segnalata] = TRUE WHERE [Codice periferica] = '000101'");
            for (const char* sql : {"UPDATE DatiUtente SET Nome = 'x'", "DELETE FROM ArchivioEventi",
                                    "UPDATE ArchivioEventi SET Archiviato = TRUE",
                                    "UPDATE TipoPeriferica SET DesPeriferica = 'x'", "SELECT * FROM Operatori"})
                QVERIFY2(negato(*ricevitore, sql), sql);
        }
        auto admin = store::Database::apri(centro.url);
        QCOMPARE(admin->valore("SELECT count(*) FROM InterrogazioniPendenti").toInt(), 0); // answered
        QCOMPARE(admin->valore("SELECT count(*) FROM MessaggiNonAttribuiti").toInt(), 1);
        QCOMPARE(admin->valore("SELECT count(*) FROM RegistroOperazioni").toInt(), 1);

        // The desk archives and edits subscribers, and may not delete events:
        // its "Ripulisci" fails whole. The manager's deletes.
        const qint64 eventi = admin->valore("SELECT count(*) FROM ArchivioEventi").toLongLong();
        auto postazione = store::Database::apri(centro.url + " user=" + banco);
        Contesto c;
        c.db = postazione.get();
        const pulizia::Conteggio n = pulizia::contaEventi(*postazione, {});
        QCOMPARE(n.eventi, eventi);
        QVERIFY(ArchiviaCoda(c, n.ultimoId) > 0);
        postazione->esegui("UPDATE DatiUtente SET Nome = 'Rossi' WHERE [Codice periferica] = '000101'");
        QVERIFY(negato(*postazione, "DELETE FROM ArchivioEventi"));
        QVERIFY_THROWS_EXCEPTION(store::ErroreDatabase, pulizia::cancellaEventi(c, {}, n));
        QCOMPARE(admin->valore("SELECT count(*) FROM ArchivioEventi").toLongLong(), eventi);
        postazione = store::Database::apri(centro.url + " user=" + resp);
        c.db = postazione.get();
        QCOMPARE(pulizia::cancellaEventi(c, {}, n), eventi);
        QCOMPARE(admin->valore("SELECT count(*) FROM ArchivioEventi").toInt(), 0);
        QCOMPARE(admin->valore("SELECT count(*) FROM RegistroOperazioni WHERE Azione = ?", {azione::Ripulisci}).toInt(), 1);
    }

    void codificaPoiDecodificaRestituisceIlMessaggio()
    {
        const QString testo = "-- ALLARME INGRESSO 3: porta/finestra 100%";
        for (const auto& [mittente, stat] : {std::pair{QString("+391234567890"), QString("1")}, {"3331234567", "0"}}) {
            const EsitoProgramma codifica = sms({"encode", "--from", mittente, "--stat", stat, "--", testo});
            QVERIFY(codifica.uscita.startsWith("\r\n+CMGR: " + stat.toLatin1() + ",,"));
            // Standard input for one, a file for the other.
            QTemporaryFile file;
            QVERIFY(file.open() && file.write(codifica.uscita) && file.flush());
            const EsitoProgramma decodifica =
                stat == "0" ? sms({"decode", file.fileName()}) : sms({"decode"}, codifica.uscita);
            const QJsonObject letto = QJsonDocument::fromJson(decodifica.uscita).object();
            QCOMPARE(letto["stat"].toString(), stat);
            QCOMPARE(letto["sender"].toString(), mittente);
            QCOMPARE(letto["text"].toString().remove(QChar(0)), testo);
            QCOMPARE(letto["testo"].toString(), testo); // the same characters in both readings
        }
    }

    void classificaUnRapporto()
    {
        const EsitoProgramma e = sms({"classify", "credito: 12.40 euro; liv. batt. 75; segnale 4/5; rete NET1; sim S1; sw:V12.3"});
        QCOMPARE(e.codice, 0);
        QCOMPARE(e.uscita,
                 "{\"credit\": \" 12.40 euro\", \"creditAmount\": 12.4, \"network\": \"NET1\", \"sim\": \"S1\", \"software\": "
                 "\"V12\", \"battery\": 75, \"signal\": 4, \"type\": \"Test\", \"description\": \"Stato regolare\"}\n");
        QCOMPARE(sms({"--help"}).codice, 0);
    }

    void argomentiErratiDannoUnaRigaEUscitaNonZero_data()
    {
        QTest::addColumn<QString>("programma");
        QTest::addColumn<QStringList>("argomenti");
        const QList<std::pair<const char*, QStringList>> casi = {
            {"db", {}},
            {"db", {"drop"}},
            {"db", {"init", "--forza"}},
            {"db", {"init", "--data-dir"}},
            {"sms", {}},
            {"sms", {"send"}},
            {"sms", {"encode", "ciao"}},
            {"sms", {"encode", "--from", "33a", "ciao"}},
            {"sms", {"encode", "--from", "1", "--stat", "4", "ciao"}},
            // stored-for-sending stats: a layout the encoder does not write
            {"sms", {"encode", "--from", "1", "--stat", "2", "ciao"}},
            {"sms", {"encode", "--from", "1", QString(161, u'a')}},
            {"sms", {"encode", "--from", "1", QString::fromUtf8("città")}},
            {"sms", {"decode", "/nonexistent/reply.txt"}},
        };
        for (const auto& [programma, argomenti] : casi)
            QTest::addRow("%s %s", programma, qPrintable(argomenti.join(' ').left(30))) << programma << argomenti;
    }

    void argomentiErratiDannoUnaRigaEUscitaNonZero()
    {
        QFETCH(QString, programma);
        QFETCH(QStringList, argomenti);
        QTemporaryDir xdg;
        const EsitoProgramma e = programma == "db" ? db(argomenti, xdg.path()) : sms(argomenti);
        QVERIFY(e.codice > 0);
        QVERIFY(e.uscita.isEmpty());
        QCOMPARE(e.errori.trimmed().count('\n'), 0);
        QVERIFY(!QFile::exists(xdg.filePath("Sorvela/Sorvela.db")));
    }
};

QTEST_GUILESS_MAIN(TestStrumenti)
#include "tst_strumenti.moc"

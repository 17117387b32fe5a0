// Texts that break SQL built by hand, through every window that writes text:
// quotes, statement separators, comment marks, LIKE wildcards, accented
// letters and texts longer than the fields. Each comes back byte for byte
// from the database and into the window again.
//
// One more window: add its round trip to finestre() below; every value runs
// through it.

#include "catalog/ContattiUtente.h"
#include "catalog/Periferica.h"
#include "comune/Banco.h"
#include "comune/Griglie.h"
#include "registry/AnagraficaUtenti.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableWidget>

#include <functional>

using namespace sorvela;
using comune::tasti;

namespace {

// A window's round trip: stores `valore` through the window (typed where the
// window lets the operator type it, otherwise as a text stored earlier that
// the window shows and saves again) and returns, for each place it went,
// "where: what came back" when it did not come back whole.
struct Finestra {
    const char* nome;
    std::function<QStringList(comune::Banco&, QMdiArea&, const QString&)> giro;
};

using comune::controllo;

void confronta(QStringList& diversi, const QString& dove, const QString& letto, const QString& atteso)
{
    if (letto != atteso)
        diversi << dove + QStringLiteral(": ") + letto;
}

// The subscriber window: every text column shown and saved whole (the unit
// type too, a name from the type table), and the note typed as far as its
// field takes it.
QStringList anagrafica(comune::Banco& b, QMdiArea& area, const QString& valore)
{
    const QList<std::pair<QString, QString>> campi{
        {"RagSociale", "Ragione sociale"}, {"Nominativo", "Nome"}, {"Indirizzo", "Indirizzo"}, {"Città", "Città"},
        {"Provincia", "Provincia"}, {"Cap", "Cap"}, {"PSTN", "Telefono PSTN"}, {"GSMFonia", "Telefono GSM fonia"},
        {"GSMDati", "Telefono GSM dati"}, {"Installatore", "Installatore"}, {"TelInstallatore", "Telefono installatore"},
    };
    b.db->esegui("INSERT INTO TipoPeriferica (IDPeriferica, PerifericaTipo, Tabella) VALUES (1, ?, 'Alfa')", {valore});
    b.db->esegui("INSERT INTO DatiUtente ([Codice periferica], [Tipo utente], Modello) VALUES ('000001', 1, ?)", {valore});
    for (const auto& [_, colonna] : campi) // the names are this test's own
        b.db->esegui(QStringLiteral("UPDATE DatiUtente SET [%1] = ?").arg(colonna), {valore});
    const QString nota = valore.left(50);

    auto apri = [&] {
        auto* w = new AnagraficaUtenti(b.ctx);
        area.addSubWindow(w);
        w->avvia();
        auto* codice = controllo(w, "Codice");
        codice->setText("1");
        QTest::keyClick(codice, Qt::Key_Tab);
        return w;
    };
    QStringList diversi;
    AnagraficaUtenti* w = apri();
    for (const auto& [nome, _] : campi)
        confronta(diversi, "shown " + nome, controllo(w, nome.toUtf8().constData())->text(), valore);
    confronta(diversi, "shown Periferiche", controllo<QComboBox>(w, "Periferiche")->currentText(), valore);
    QLineEdit* note = controllo(w, "Note");
    QTest::mouseClick(note, Qt::LeftButton);
    note->selectAll();
    tasti(note, nota);
    comune::premi(w, "Salva");
    for (const auto& [_, colonna] : campi)
        confronta(diversi, "stored " + colonna,
                  b.db->valore(QStringLiteral("SELECT [%1] FROM DatiUtente").arg(colonna)).toString(), valore);
    confronta(diversi, "stored Note", b.db->valore("SELECT Note FROM DatiUtente").toString(), nota);
    confronta(diversi, "stored Modello", b.db->valore("SELECT Modello FROM DatiUtente").toString(), valore);
    confronta(diversi, "types", b.db->valore("SELECT group_concat(PerifericaTipo, '|') FROM TipoPeriferica").toString(),
              valore);
    area.closeAllSubWindows();
    w = apri();
    confronta(diversi, "shown again Note", controllo(w, "Note")->text(), nota);
    area.closeAllSubWindows();
    return diversi;
}

// The contacts editor: a stored contact shown and saved whole, and a new one
// typed cell by cell as far as each column takes it.
QStringList contatti(comune::Banco& b, QMdiArea& area, const QString& valore)
{
    b.db->esegui("INSERT INTO DatiUtente ([Codice periferica]) VALUES ('000001')");
    b.db->esegui("INSERT INTO Telefoni_Utenti VALUES ('000001', ?, ?, ?)", {valore, valore, valore});
    auto* w = new ContattiUtente(b.ctx, QStringLiteral("000001"));
    area.addSubWindow(w);
    w->avvia();
    auto* griglia = controllo<QTableWidget>(w, "Recapiti");
    auto* editor = controllo(w, "Text1");
    QStringList diversi;
    for (int c = 0; c < 3; ++c)
        confronta(diversi, QStringLiteral("shown column %1").arg(c), griglia->item(0, c)->text(), valore);

    QStringList digitati;
    for (int c = 0; c < 3; ++c) {
        comune::clicCella(griglia, 1, c);
        digitati << valore.left(editor->maxLength());
        tasti(editor, digitati.last());
    }
    comune::premi(w, "Salva");
    const QStringList attesi{valore + '|' + valore + '|' + valore, digitati.join('|')};
    QStringList salvati;
    for (auto rs = b.db->apriRecordSet("SELECT * FROM Telefoni_Utenti ORDER BY rowid"); !rs.eof(); rs.moveNext())
        salvati << rs.campo("Contatto").toString() + '|' + rs.campo("Num_Tel").toString() + '|'
                       + rs.campo("Des_Telefoni").toString();
    if (salvati != attesi)
        diversi << "stored: " + salvati.join(" / ");
    area.closeAllSubWindows();
    return diversi;
}

// The peripheral catalog: a type's description and an input's name, stored
// and shown whole, saved again unchanged, then typed anew as far as each
// editor takes it.
QStringList catalogo(comune::Banco& b, QMdiArea& area, const QString& valore)
{
    b.db->esegui("INSERT INTO TipoProtocolli VALUES (1, 'SMS testo')");
    b.db->esegui("INSERT INTO TipoPeriferica VALUES (1, 'Alfa', ?, 1, 1, 'Ingressi Alfa')", {valore});
    b.db->esegui("CREATE TABLE [Ingressi Alfa] (Contatore INTEGER PRIMARY KEY, CodiceEvento TEXT, Zona TEXT, "
                 "DesEvento TEXT, TipoEvento TEXT, Trattamento TEXT)");
    b.db->esegui("INSERT INTO [Ingressi Alfa] VALUES (1, 'E1', '1', ?, 'Allarme ', 'Tratta')", {valore});
    auto* w = new Periferica(b.ctx);
    area.addSubWindow(w);
    w->avvia();
    auto* griglia = controllo<QTableWidget>(w, "Ingressi");
    auto* descrizione = controllo(w, "Descrizione");
    QStringList diversi;
    confronta(diversi, "shown description", descrizione->text(), valore);
    confronta(diversi, "shown input", comune::testoCella(griglia, 0, 2), valore);
    auto salvati = [&] {
        return b.db->valore("SELECT DesPeriferica FROM TipoPeriferica").toString() + '|'
               + b.db->valore("SELECT DesEvento FROM [Ingressi Alfa]").toString();
    };
    comune::premi(w, "Salva");
    confronta(diversi, "saved again", salvati(), valore + '|' + valore);

    const QString nuovaDescrizione = valore.left(50);
    descrizione->selectAll();
    tasti(descrizione, nuovaDescrizione);
    comune::clicCella(griglia, 0, 2);
    auto* editor = controllo(w, "Text2");
    editor->selectAll();
    const QString nuovoIngresso = valore.left(40);   // the input name editor takes 40
    tasti(editor, nuovoIngresso);
    comune::premi(w, "Salva");
    confronta(diversi, "typed", salvati(), nuovaDescrizione + '|' + nuovoIngresso);
    area.closeAllSubWindows();
    return diversi;
}

QList<Finestra> finestre()
{
    return {{"AnagraficaUtenti", anagrafica}, {"ContattiUtente", contatti}, {"Periferica", catalogo}};
}

} // namespace

class TestSicurezzaSql : public QObject {
    Q_OBJECT
private slots:
    void textsComeBackByteForByte_data()
    {
        QTest::addColumn<int>("finestra");
        QTest::addColumn<QString>("valore");
        const QList<std::pair<const char*, QString>> valori{
            {"quotes", QStringLiteral("Dell'Acqua \"Il Faro\" ''")},
            {"separator and comment", QStringLiteral("X'); DROP TABLE DatiUtente; --")},
            {"LIKE wildcards", QStringLiteral("100% _sconto_ %_")},
            {"accented letters", QStringLiteral("Àlvaro Niccolò perché Città ÈÙ")},
            {"200 characters", QStringLiteral("Z'\";--%_àèìòù ").repeated(14).left(200)},
        };
        const QList<Finestra> f = finestre();
        for (int i = 0; i < f.size(); ++i)
            for (const auto& [nome, valore] : valori)
                QTest::addRow("%s: %s", f[i].nome, nome) << i << valore;
    }

    void textsComeBackByteForByte()
    {
        QFETCH(int, finestra);
        QFETCH(QString, valore);
        comune::Banco b;
        QMdiArea area;
        area.show();
        QVERIFY(QTest::qWaitForWindowActive(&area));
        const QStringList diversi = finestre()[finestra].giro(b, area, valore);
        QVERIFY2(diversi.isEmpty() && b.msg.voci().isEmpty(), qPrintable((diversi + b.msg.testi()).join('\n')));
        QCOMPARE(b.conta("SELECT count(*) FROM sqlite_master WHERE name = 'DatiUtente'"), 1);
    }
};

QTEST_MAIN(TestSicurezzaSql)
#include "tst_sicurezzasql.moc"

#include "modem/Scambio.h"

#include <QStringList>

#include <algorithm>

namespace sorvela::modem {

namespace {

const QString kIndicazione = QStringLiteral("+CMTI:");

// The lines that belong to a command's reply besides its final result: the
// information lines named after the command ("AT+CMGL=0" answers "+CMGL: …",
// "AT+CSQ" answers "+CSQ: …") and, for listings and reads, the PDU lines.
struct Grammatica {
    QString prefisso;     // "+CMGL:"; empty for commands without information lines
    bool pdu = false;
    bool chiamata = false;
};

Grammatica grammaticaDi(const QString& comando)
{
    Grammatica g;
    const QString c = comando.trimmed().toUpper();
    if (c.startsWith(QLatin1String("ATD"))) {
        g.chiamata = true;
        return g;
    }
    if (c.startsWith(QLatin1String("AT+")) || c.startsWith(QLatin1String("AT^"))) {
        qsizetype fine = 3;
        while (fine < c.size() && (c[fine].isLetterOrNumber()))
            ++fine;
        g.prefisso = c.mid(2, fine - 2) + u':';
    }
    g.pdu = g.prefisso == u"+CMGL:" || g.prefisso == u"+CMGR:";
    return g;
}

bool esadecimale(QStringView riga)
{
    if (riga.isEmpty())
        return false;
    return std::all_of(riga.begin(), riga.end(), [](QChar ch) {
        return (ch >= u'0' && ch <= u'9') || (ch >= u'A' && ch <= u'F') || (ch >= u'a' && ch <= u'f');
    });
}

// Whether a whole line is an unsolicited one: a network line of its own
// kind ("+CREG: 1", "^RSSI: 3", "RING") that is not part of the command's
// reply grammar.
bool nonRichiesta(const QString& riga, const Grammatica& g)
{
    if (riga.isEmpty())
        return false;
    if (riga == u"RING")
        return true;
    if (!riga.startsWith(u'+') && !riga.startsWith(u'^'))
        return false;
    if (!g.prefisso.isEmpty() && riga.startsWith(g.prefisso))
        return false;
    return !riga.startsWith(u"+CMS ERROR") && !riga.startsWith(u"+CME ERROR");
}

// Takes out every unsolicited line with the CR LF before and after it, as the
// handset slipped it in: a PDU line or a final result it cut in two comes
// back whole. A "+CMTI:" among them is noted.
QString senzaNonRichiesti(QString testo, const Grammatica& g, bool* indicazione)
{
    qsizetype da = 0;
    for (;;) {
        const qsizetype inizio = testo.indexOf(QLatin1String("\r\n"), da);
        if (inizio < 0)
            break;
        const qsizetype fine = testo.indexOf(QLatin1String("\r\n"), inizio + 2);
        if (fine < 0)
            break;
        const QString riga = testo.mid(inizio + 2, fine - inizio - 2);
        if (riga.contains(u'\r') || riga.contains(u'\n') || !nonRichiesta(riga.trimmed(), g)) {
            da = inizio + 2;
            continue;
        }
        if (riga.startsWith(kIndicazione))
            *indicazione = true;
        testo.remove(inizio, fine + 2 - inizio);
        da = inizio;
    }
    return testo;
}

} // namespace

bool RisultatoFinale(const QString& riga, bool chiamata, Esito* esito)
{
    if (riga == u"OK") {
        *esito = Esito::Ok;
        return true;
    }
    if (riga == u"ERROR" || riga.startsWith(u"+CMS ERROR") || riga.startsWith(u"+CME ERROR")) {
        *esito = Esito::Errore;
        return true;
    }
    if (chiamata && (riga == u"BUSY" || riga == u"NO CARRIER" || riga == u"NO ANSWER" || riga == u"NO DIALTONE")) {
        *esito = Esito::Errore;
        return true;
    }
    return false;
}

Analisi AnalizzaRisposta(const QString& comando, const QString& ricevuto, int eco)
{
    Analisi a;
    const Grammatica g = grammaticaDi(comando);
    QString corpo = ricevuto;
    const QString echeggiato = comando.trimmed() + u'\r';
    const qsizetype posEco = ricevuto.indexOf(echeggiato, 0, Qt::CaseInsensitive);
    if (posEco >= 0) {
        a.ecoTrovata = true;
        // What came before the echo belongs to an earlier command.
        a.indicazione = ricevuto.left(posEco).contains(kIndicazione);
        corpo = ricevuto.mid(posEco + echeggiato.size());
    } else if (eco == 1) {
        a.indicazione = ricevuto.contains(kIndicazione);
        return a; // the reply starts after the echo, which has not come yet
    }

    corpo = senzaNonRichiesti(corpo, g, &a.indicazione);

    QStringList proprie;
    bool ultimaPdu = false;
    qsizetype inizio = 0;
    while (inizio < corpo.size()) {
        qsizetype fineRiga = inizio;
        while (fineRiga < corpo.size() && corpo[fineRiga] != u'\r' && corpo[fineRiga] != u'\n')
            ++fineRiga;
        const bool intera = fineRiga < corpo.size();
        const QString riga = corpo.mid(inizio, fineRiga - inizio).trimmed();
        if (!riga.isEmpty())
            a.vuota = false;
        if (!intera)
            break; // still arriving
        inizio = fineRiga + 1;
        if (riga.isEmpty())
            continue;
        Esito esito;
        if (RisultatoFinale(riga, g.chiamata, &esito)) {
            a.completa = true;
            a.risposta.esito = esito;
            a.risposta.finale = riga;
            // A new message may be announced right after the result.
            a.indicazione = a.indicazione || corpo.mid(inizio).contains(kIndicazione);
            break;
        }
        if (!g.prefisso.isEmpty() && riga.startsWith(g.prefisso)) {
            proprie << riga;
            ultimaPdu = false;
        } else if (g.pdu && esadecimale(riga)) {
            // A PDU line cut in two by an unsolicited line comes back whole.
            if (ultimaPdu)
                proprie.last() += riga;
            else
                proprie << riga;
            ultimaPdu = true;
        } else if (riga.startsWith(kIndicazione)) {
            a.indicazione = true;
        } else if (!nonRichiesta(riga, g)) {
            // Not even a network line: noise, which may have taken part of
            // the reply with it.
            a.risposta.rumore = true;
        }
        // Anything else is an unsolicited line: out, wherever it fell.
    }

    QString testo;
    if (!proprie.isEmpty())
        testo = QStringLiteral("\r\n") + proprie.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    if (a.completa)
        testo += QStringLiteral("\r\n") + a.risposta.finale + QStringLiteral("\r\n");
    a.risposta.testo = testo;
    a.risposta.muta = corpo.trimmed().isEmpty();
    a.risposta.indicazione = a.indicazione;
    if (!a.completa)
        a.risposta.esito = Esito::Scaduto;
    return a;
}

} // namespace sorvela::modem

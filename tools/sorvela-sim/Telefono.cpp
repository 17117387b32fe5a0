#include "Telefono.h"

#include "modem/pdu/CodificaPdu.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTimer>

#include <cstdio>
#include <utility>

namespace sorvela::sim {

namespace {

// Octets of the PDU after the service centre address, as +CMGL and +CMGR
// report them.
int lunghezzaTpdu(const QString& pdu)
{
    bool ok = false;
    const int sca = pdu.left(2).toInt(&ok, 16);
    return ok ? int(pdu.size() / 2) - 1 - sca : 0;
}

QString visibile(const QByteArray& b)
{
    QString s = QString::fromLatin1(b);
    s.replace(QLatin1String("\r"), QLatin1String("\\r"));
    s.replace(QLatin1String("\n"), QLatin1String("\\n"));
    return s;
}

// A number: optional "+", then digits.
bool numeroValido(const QString& n)
{
    static const QRegularExpression re(QStringLiteral("^\\+?[0-9]{1,20}$"));
    return re.match(n).hasMatch();
}

bool intero(const QString& t, int* valore)
{
    bool ok = false;
    *valore = t.toInt(&ok);
    return ok;
}

} // namespace

QString numeroNormalizzato(const QString& numero)
{
    QString n;
    for (QChar ch : numero)
        if (ch.isDigit() || (ch == u'+' && n.isEmpty()))
            n += ch;
    if (n.startsWith(QLatin1String("+39")))
        return n.mid(3);
    if (n.startsWith(QLatin1String("0039")))
        return n.mid(4);
    return n;
}

Telefono::Telefono(Linea& linea, int primoIndice, int capacita, QObject* genitore)
    : QObject(genitore)
    , m_linea(linea)
    , m_primo(primoIndice)
    , m_capacita(capacita)
{
}

void Telefono::ricevi(const QByteArray& dati)
{
    if (m_guasto == Guasto::Staccato || m_guasto == Guasto::Muto)
        return;
    // A real handset echoes each character as it arrives, before it has seen
    // the end of the command.
    if (m_eco)
        m_linea.scrivi(dati);
    for (char ch : dati) {
        if (ch == '\r') {
            const QString riga = QString::fromLatin1(m_riga).trimmed();
            m_riga.clear();
            eseguiAt(riga);
        } else if (ch != '\n' && m_riga.size() < 512) {
            m_riga += ch;
        }
    }
}

void Telefono::rispondi(QByteArray r)
{
    if (m_guasto == Guasto::Tronca) {
        // The reply stops half-way and its final result never comes.
        for (const char* fine : {"\r\nOK\r\n", "\r\nERROR\r\n"}) {
            if (r.endsWith(fine)) {
                r.chop(qsizetype(qstrlen(fine)));
                break;
            }
        }
        r.truncate(r.size() / 2);
    }
    if (std::exchange(m_prossimaTronca, false)) {
        // The same, once: the cable jiggled in the middle of this reply.
        r.truncate(r.size() / 2);
    }
    if (std::exchange(m_prossimaDoppia, false))
        r += r;
    int ritardo = std::exchange(m_prossimaRitardo, 0);
    for (auto it = m_lenti.cbegin(); ritardo == 0 && it != m_lenti.cend(); ++it) {
        if (m_comando.startsWith(it.key()))
            ritardo = it.value();
    }
    if (ritardo > 0) {
        // Held back: past the console's wait it lands in whatever comes next;
        // a slow handset ("slow ATH 1500") takes this long over the command.
        QTimer::singleShot(ritardo, this, [this, r] {
            if (m_guasto == Guasto::Muto || m_guasto == Guasto::Staccato)
                return;
            if (m_traccia)
                std::fprintf(stderr, "> %s\n", qPrintable(visibile(r)));
            m_linea.scrivi(r);
        });
        return;
    }
    if (m_traccia)
        std::fprintf(stderr, "> %s\n", qPrintable(visibile(r)));
    if (!m_aMeta.isEmpty()) {
        // Whatever the command makes the handset send lands inside the reply.
        const qsizetype meta = r.size() / 2;
        m_linea.scrivi(r.left(meta));
        esegui(std::exchange(m_aMeta, QString()));
        r.remove(0, meta);
    }
    if (!r.isEmpty())
        m_linea.scrivi(r);
}

void Telefono::eseguiAt(const QString& riga)
{
    if (riga.isEmpty())
        return;
    if (m_traccia)
        std::fprintf(stderr, "< %s\n", qPrintable(riga));
    m_storia << riga;
    const QString c = riga.toUpper();
    m_comando = c;
    // Only the first pending trigger that matches fires, so a test can
    // chain several on the same command.
    for (qsizetype i = 0; i < m_inneschi.size(); ++i) {
        if (!c.startsWith(m_inneschi[i].prefisso))
            continue;
        const Innesco innesco = m_inneschi.takeAt(i);
        if (innesco.aMeta)
            m_aMeta = innesco.comando;
        else
            esegui(innesco.comando);
        break;
    }
    // A trigger that switched the handset off or pulled its cable: the
    // command is never carried out.
    if (m_guasto == Guasto::Muto || m_guasto == Guasto::Staccato)
        return;
    // Whatever does not begin with AT is line noise to a handset.
    if (!c.startsWith(QLatin1String("AT")))
        return;
    if (m_guasto == Guasto::Errore)
        return errore();

    const QString corpo = c.mid(2);
    auto parametro = [&](const QString& prefisso, int* valore) {
        return corpo.startsWith(prefisso) && intero(corpo.mid(prefisso.size()).section(u',', 0, 0), valore);
    };
    int n = 0;

    if (corpo.isEmpty()) {
        ok();
    } else if (corpo == QLatin1String("E0") || corpo == QLatin1String("E1") || corpo == QLatin1String("E")) {
        m_eco = corpo == QLatin1String("E1");
        ok();
    } else if (corpo == QLatin1String("Z")) {
        m_eco = true;
        m_chiamata = 0;
        ok();
    } else if (corpo == QLatin1String("I")) {
        rispondi("\r\nSorvela simulated handset\r\n\r\nOK\r\n");
    } else if (corpo == QLatin1String("H") || corpo == QLatin1String("H0")) {
        m_chiamata = 0;
        ok();
    } else if (corpo.startsWith(u'D')) {
        componi(riga.mid(3).trimmed());
    } else if (corpo.startsWith(QLatin1String("+CNMI="))) {
        const QStringList p = corpo.mid(6).split(u',');
        int mt = 0;
        if (p.size() >= 2 && intero(p[1], &mt))
            m_indicazioni = mt != 0;
        ok();
    } else if (corpo == QLatin1String("+CNMI?")) {
        rispondi(QStringLiteral("\r\n+CNMI: 1,%1,0,0,1\r\n\r\nOK\r\n").arg(m_indicazioni ? 1 : 0).toLatin1());
    } else if (corpo == QLatin1String("+CMGF=0")) {
        ok();
    } else if (corpo == QLatin1String("+CMGF?")) {
        rispondi("\r\n+CMGF: 0\r\n\r\nOK\r\n");
    } else if (corpo == QLatin1String("+CMGL")) {
        elenca(0);
    } else if (parametro(QStringLiteral("+CMGL="), &n) && n >= 0 && n <= 4) {
        elenca(n);
    } else if (parametro(QStringLiteral("+CMGR="), &n)) {
        leggi(n);
    } else if (parametro(QStringLiteral("+CMGD="), &n)) {
        cancella(n);
    } else if (corpo == QLatin1String("+CPMS?")) {
        const int u = int(m_memoria.size());
        rispondi(QStringLiteral("\r\n+CPMS: \"SM\",%1,%2,\"SM\",%1,%2,\"SM\",%1,%2\r\n\r\nOK\r\n")
                     .arg(u).arg(m_capacita).toLatin1());
    } else if (corpo == QLatin1String("+CSQ")) {
        rispondi("\r\n+CSQ: 20,99\r\n\r\nOK\r\n");
    } else {
        errore();
    }
}

void Telefono::elenca(int stat)
{
    QByteArray r = "\r\n";
    for (auto it = m_memoria.begin(); it != m_memoria.end(); ++it) {
        Sms& s = it.value();
        if (stat != 4 && s.stat != stat)
            continue;
        r += QStringLiteral("+CMGL: %1,%2,,%3\r\n%4\r\n")
                 .arg(it.key()).arg(s.stat).arg(lunghezzaTpdu(s.pdu)).arg(s.pdu).toLatin1();
        // Listing an unread message is reading it.
        if (s.stat == 0)
            s.stat = 1;
    }
    if (r == "\r\n")
        r.clear();
    rispondi(r + "\r\nOK\r\n");
}

void Telefono::leggi(int indice)
{
    auto it = m_memoria.find(indice);
    if (it == m_memoria.end())
        return rispondi("\r\n+CMS ERROR: 321\r\n");
    QString r = pdu::RispostaCmgr(it->stat, it->pdu);
    if (!m_nonRichiestoPdu.isEmpty()) {
        // Half-way through the PDU line, as a network line slips in.
        const qsizetype inizioPdu = r.indexOf(it->pdu);
        r.insert(inizioPdu + it->pdu.size() / 2, QStringLiteral("\r\n") + m_nonRichiestoPdu + QStringLiteral("\r\n"));
    }
    if (!m_nonRichiestoOk.isEmpty())
        r.insert(r.lastIndexOf(QLatin1String("\r\nOK\r\n")), QStringLiteral("\r\n") + m_nonRichiestoOk + QStringLiteral("\r\n"));
    rispondi(r.toLatin1());
    it->stat = 1;
}

void Telefono::cancella(int indice)
{
    if (!m_memoria.contains(indice) && !inMemoria(indice))
        return rispondi("\r\n+CMS ERROR: 321\r\n");
    m_memoria.remove(indice);
    ok();
}

void Telefono::componi(const QString& testo)
{
    const bool voce = testo.endsWith(u';');
    const QString numero = voce ? testo.chopped(1).trimmed() : testo;
    if (numero.isEmpty() || !numeroValido(numero.simplified().remove(u' ')))
        return errore();
    if (!voce) // a data call to a voice number
        return rispondi("\r\nNO CARRIER\r\n");
    if (m_esitoChiamata != "OK")
        return rispondi("\r\n" + m_esitoChiamata + "\r\n");

    const int id = ++m_ultimaChiamata;
    m_chiamata = id;
    ok();
    QTimer::singleShot(m_ritardoNoCarrier, this, [this, id] {
        if (m_chiamata != id)
            return; // hung up by the console first
        m_chiamata = 0;
        if (m_guasto == Guasto::Nessuno || m_guasto == Guasto::Tronca)
            m_linea.scrivi("\r\nNO CARRIER\r\n");
    });
    const auto u = m_unita.constFind(numeroNormalizzato(numero));
    if (u != m_unita.cend()) {
        const Unita unita = *u;
        QTimer::singleShot(unita.ritardo, this, [this, unita] { arrivaSms(unita.mittente, unita.testo); });
    }
}

int Telefono::deposita(int stat, const QString& mittente, const QString& testo, int indice)
{
    if (indice < 0) {
        for (int i = m_primo; i < m_primo + m_capacita; ++i) {
            if (!m_memoria.contains(i)) {
                indice = i;
                break;
            }
        }
        if (indice < 0)
            return -1;
    }
    Sms s;
    s.stat = stat;
    s.mittente = mittente;
    s.testo = testo;
    s.pdu = pdu::CodificaDeliver(mittente, testo, QDateTime::currentDateTime());
    m_memoria.insert(indice, s);
    return indice;
}

int Telefono::arrivaSms(const QString& mittente, const QString& testo)
{
    const int i = deposita(0, mittente, testo);
    if (i >= 0 && m_indicazioni && m_guasto != Guasto::Muto && m_guasto != Guasto::Staccato)
        m_linea.scrivi(QStringLiteral("\r\n+CMTI: \"SM\",%1\r\n").arg(i).toLatin1());
    return i;
}

// What a bad cable, a failing handset or a stray program puts on the line.
QByteArray Telefono::rumore(const QStringList& a, QString* errore)
{
    int n = 0;
    const bool conNumero = a.size() == 2 && intero(a[1], &n) && n >= 1 && n <= 1000000;
    QByteArray b;
    if (a.size() == 2 && a[0] == QLatin1String("random") && conNumero) {
        // Any byte value, CR, LF and NUL included.
        b.reserve(n);
        for (int k = 0; k < n; ++k) {
            m_seme = m_seme * 1103515245u + 12345u;
            b += char(m_seme >> 23);
        }
    } else if (a.size() == 2 && a[0] == QLatin1String("nul") && conNumero) {
        b = QByteArray(n, '\0');
    } else if (a.size() == 1 && a[0] == QLatin1String("utf8")) {
        // Stray continuation bytes, truncated and overlong sequences, surrogates.
        b = QByteArrayLiteral("\r\n\xC3\x28\xA0\xA1 \xE2\x28\xA1 \xF0\x28\x8C\xBC \xC0\xAF \xED\xA0\x80 \xFF\xFE\r\n");
    } else if (a.size() == 2 && a[0] == QLatin1String("long") && conNumero) {
        b = "\r\n";
        for (int k = 0; k < n; ++k)
            b += char('A' + k % 26);
        b += "\r\n";
    } else {
        *errore = QStringLiteral("usage: noise random N | noise nul N | noise utf8 | noise long N (N 1..1000000)");
    }
    return b;
}

QStringList Telefono::esegui(const QString& rigaIntera)
{
    const QString riga = rigaIntera.trimmed();
    if (riga.isEmpty() || riga.startsWith(u'#'))
        return {};
    const QString verbo = riga.section(u' ', 0, 0, QString::SectionSkipEmpty).toLower();
    const QStringList a = riga.split(u' ', Qt::SkipEmptyParts).mid(1);
    // The text after the first `salta` words, with its own spacing.
    auto coda = [&](int salta) { return riga.section(u' ', salta + 1, -1, QString::SectionSkipEmpty); };
    auto sbaglio = [](const QString& m) { return QStringList{QStringLiteral("error: ") + m}; };
    int n = 0;

    if (verbo == QLatin1String("sms") || verbo == QLatin1String("store")) {
        if (a.size() < 1 || !numeroValido(a[0]))
            return sbaglio(QStringLiteral("usage: %1 NUMBER TEXT").arg(verbo));
        const int i = verbo == QLatin1String("sms") ? arrivaSms(a[0], coda(1)) : deposita(0, a[0], coda(1));
        if (i < 0)
            return sbaglio(QStringLiteral("store full"));
        return {QStringLiteral("ok %1").arg(i)};
    }
    if (verbo == QLatin1String("put")) {
        int stat = 0;
        if (a.size() < 3 || !intero(a[0], &n) || n < 0 || !intero(a[1], &stat) || stat < 0 || stat > 3
            || !numeroValido(a[2]))
            return sbaglio(QStringLiteral("usage: put INDEX STAT NUMBER TEXT"));
        deposita(stat, a[2], coda(3), n);
        return {QStringLiteral("ok %1").arg(n)};
    }
    if (verbo == QLatin1String("on")) {
        const bool aMeta = a.size() > 1 && a[1] == QLatin1String("amid");
        const QString comando = coda(aMeta ? 2 : 1);
        if (a.isEmpty() || !a[0].toUpper().startsWith(QLatin1String("AT")) || comando.isEmpty()
            || comando.section(u' ', 0, 0).toLower() == QLatin1String("on"))
            return sbaglio(QStringLiteral("usage: on PREFIX [amid] COMMAND"));
        m_inneschi << Innesco{a[0].toUpper(), aMeta, comando};
        return {QStringLiteral("ok")};
    }
    if (verbo == QLatin1String("unit")) {
        if (a.size() == 2 && a[1] == QLatin1String("none")) {
            m_unita.remove(numeroNormalizzato(a[0]));
            return {QStringLiteral("ok")};
        }
        if (a.size() < 3 || !numeroValido(a[0]) || !intero(a[1], &n) || n < 0)
            return sbaglio(QStringLiteral("usage: unit NUMBER DELAY_MS TEXT | unit NUMBER none"));
        m_unita.insert(numeroNormalizzato(a[0]), Unita{n, coda(2), a[0]});
        return {QStringLiteral("ok")};
    }
    if (verbo == QLatin1String("fault")) {
        static const QMap<QString, Guasto> nomi{{QStringLiteral("none"), Guasto::Nessuno},
                                                {QStringLiteral("silent"), Guasto::Muto},
                                                {QStringLiteral("error"), Guasto::Errore},
                                                {QStringLiteral("truncate"), Guasto::Tronca},
                                                {QStringLiteral("unplug"), Guasto::Staccato}};
        const bool conRitorno = a.size() == 2 && a[0] == QLatin1String("unplug") && intero(a[1], &n) && n >= 0;
        if ((a.size() != 1 && !conRitorno) || !nomi.contains(a[0]))
            return sbaglio(QStringLiteral("usage: fault silent|error|truncate|unplug [MS]|none"));
        if (conRitorno && m_guasto != Guasto::Staccato) {
            // Plugged back in by itself on the same link after MS.
            QTimer::singleShot(n, this, [this] {
                // Not an answer to any command: a comment line, so a driving
                // program waiting for "ok"/"error" is not misled.
                for (const QString& r : esegui(QStringLiteral("fault none")))
                    std::printf("# plugged back: %s\n", qPrintable(r));
                std::fflush(stdout);
            });
        }
        const Guasto nuovo = nomi.value(a[0]);
        const Guasto vecchio = m_guasto;
        m_riga.clear();
        if (nuovo == Guasto::Staccato && vecchio != Guasto::Staccato) {
            m_guasto = nuovo;
            m_linea.stacca();
            return {QStringLiteral("ok")};
        }
        if (vecchio == Guasto::Staccato && nuovo != Guasto::Staccato) {
            QString errore;
            const QString percorso = m_linea.riattacca(&errore);
            if (percorso.isEmpty())
                return sbaglio(errore);
            m_guasto = nuovo;
            return {QStringLiteral("ok ") + percorso};
        }
        m_guasto = nuovo;
        return {QStringLiteral("ok")};
    }
    if (verbo == QLatin1String("pace")) {
        int velocita = 0;
        if (a.size() == 1 && a[0] == QLatin1String("on"))
            velocita = 1920;
        else if (a.size() == 1 && a[0] == QLatin1String("off"))
            velocita = 0;
        else if (a.size() != 1 || !intero(a[0], &velocita) || velocita < 1)
            return sbaglio(QStringLiteral("usage: pace on|off|BYTES_PER_SECOND"));
        m_linea.ritmo(velocita);
        return {QStringLiteral("ok")};
    }
    if (verbo == QLatin1String("urc")) {
        if (a.size() == 1 && a[0] == QLatin1String("off")) {
            m_nonRichiestoPdu.clear();
            m_nonRichiestoOk.clear();
            return {QStringLiteral("ok")};
        }
        if (a.size() < 2 || (a[0] != QLatin1String("pdu") && a[0] != QLatin1String("ok")))
            return sbaglio(QStringLiteral("usage: urc pdu|ok LINE | urc off"));
        (a[0] == QLatin1String("pdu") ? m_nonRichiestoPdu : m_nonRichiestoOk) = coda(1);
        return {QStringLiteral("ok")};
    }
    if (verbo == QLatin1String("next")) {
        if (a.size() == 1 && a[0] == QLatin1String("cut"))
            m_prossimaTronca = true;
        else if (a.size() == 1 && a[0] == QLatin1String("twice"))
            m_prossimaDoppia = true;
        else if (a.size() == 2 && a[0] == QLatin1String("late") && intero(a[1], &n) && n > 0)
            m_prossimaRitardo = n;
        else
            return sbaglio(QStringLiteral("usage: next cut|twice|late MS"));
        return {QStringLiteral("ok")};
    }
    if (verbo == QLatin1String("slow")) {
        if (a.size() != 2 || !a[0].startsWith(QLatin1String("AT"), Qt::CaseInsensitive) || !intero(a[1], &n) || n < 0)
            return sbaglio(QStringLiteral("usage: slow PREFIX MS"));
        if (n == 0)
            m_lenti.remove(a[0].toUpper());
        else
            m_lenti.insert(a[0].toUpper(), n);
        return {QStringLiteral("ok")};
    }
    if (verbo == QLatin1String("noise")) {
        QString errore;
        const QByteArray b = rumore(a, &errore);
        if (!errore.isEmpty())
            return sbaglio(errore);
        if (m_guasto == Guasto::Nessuno || m_guasto == Guasto::Tronca)
            m_linea.scrivi(b);
        return {QStringLiteral("ok %1").arg(b.size())};
    }
    if (verbo == QLatin1String("say")) {
        if (a.isEmpty())
            return sbaglio(QStringLiteral("usage: say LINE"));
        if (m_guasto == Guasto::Nessuno || m_guasto == Guasto::Tronca)
            m_linea.scrivi(QStringLiteral("\r\n%1\r\n").arg(coda(0)).toLatin1());
        return {QStringLiteral("ok")};
    }
    if (verbo == QLatin1String("putpdu")) {
        int stat = 0;
        static const QRegularExpression hex(QStringLiteral("^(?:[0-9A-Fa-f]{2})+$"));
        if (a.size() != 3 || !intero(a[0], &n) || n < 0 || !intero(a[1], &stat) || stat < 0 || stat > 1
            || !hex.match(a[2]).hasMatch())
            return sbaglio(QStringLiteral("usage: putpdu INDEX STAT HEX"));
        Sms sms;
        sms.stat = stat;
        sms.mittente = QStringLiteral("pdu");
        sms.testo = QStringLiteral("(pdu)");
        sms.pdu = a[2].toUpper();
        m_memoria.insert(n, sms);
        return {QStringLiteral("ok %1").arg(n)};
    }
    if (verbo == QLatin1String("echo")) {
        if (a.size() != 1 || (a[0] != QLatin1String("on") && a[0] != QLatin1String("off")))
            return sbaglio(QStringLiteral("usage: echo on|off"));
        m_eco = a[0] == QLatin1String("on");
        return {QStringLiteral("ok")};
    }
    if (verbo == QLatin1String("dial")) {
        static const QMap<QString, QByteArray> esiti{{QStringLiteral("ok"), "OK"},
                                                     {QStringLiteral("busy"), "BUSY"},
                                                     {QStringLiteral("nocarrier"), "NO CARRIER"},
                                                     {QStringLiteral("error"), "ERROR"}};
        if (a.size() != 1 || !esiti.contains(a[0]))
            return sbaglio(QStringLiteral("usage: dial ok|busy|nocarrier|error"));
        m_esitoChiamata = esiti.value(a[0]);
        return {QStringLiteral("ok")};
    }
    if (verbo == QLatin1String("delay-nocarrier")) {
        if (a.size() != 1 || !intero(a[0], &n) || n < 0)
            return sbaglio(QStringLiteral("usage: delay-nocarrier MS"));
        m_ritardoNoCarrier = n;
        return {QStringLiteral("ok")};
    }
    if (verbo == QLatin1String("hold")) {
        if (a.size() != 1)
            return sbaglio(QStringLiteral("usage: hold qt|excl|off|release"));
        QString errore;
        if (!m_linea.trattieni(a[0], &errore))
            return sbaglio(errore);
        return {QStringLiteral("ok")};
    }
    if (verbo == QLatin1String("clear")) {
        m_memoria.clear();
        return {QStringLiteral("ok")};
    }
    if (verbo == QLatin1String("list")) {
        QStringList r;
        for (auto it = m_memoria.cbegin(); it != m_memoria.cend(); ++it)
            r << QStringLiteral("%1 %2 %3 %4").arg(it.key()).arg(it->stat).arg(it->mittente, it->testo);
        r << QStringLiteral("ok %1").arg(m_memoria.size());
        return r;
    }
    if (verbo == QLatin1String("history")) {
        QStringList r = m_storia;
        m_storia.clear();
        r << QStringLiteral("ok %1").arg(r.size());
        return r;
    }
    if (verbo == QLatin1String("quit")) {
        emit fine();
        return {QStringLiteral("ok")};
    }
    return sbaglio(QStringLiteral("unknown command: ") + verbo);
}

} // namespace sorvela::sim

#include "store/Annunci.h"

#include "store/Database.h"

#include <libpq-fe.h>

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>

namespace sorvela::store {

namespace {

constexpr int kPrimaAttesaMs = 1000;
constexpr int kMassimaAttesaMs = 8000;
// libpq's own connect_timeout does not apply to a connection made step by step.
constexpr int kScadenzaCollegamentoMs = 10000;

} // namespace

Annunci::Annunci(const QString& url, QObject* genitore)
    : QObject(genitore)
    , m_url(url)
{
    setObjectName(QStringLiteral("Annunci"));
    if (!Database::eServer(url))
        return;
    m_riprova = new QTimer(this);
    m_riprova->setSingleShot(true);
    connect(m_riprova, &QTimer::timeout, this, &Annunci::collega);
    m_scadenzaCollegamento = new QTimer(this);
    m_scadenzaCollegamento->setSingleShot(true);
    connect(m_scadenzaCollegamento, &QTimer::timeout, this,
            [this] { perso(QStringLiteral("il server non ha risposto entro 10 secondi")); });
    collega();
}

Annunci::~Annunci()
{
    chiudi();
}

void Annunci::chiudi()
{
    m_lettura.reset();
    m_scrittura.reset();
    if (m_scadenzaCollegamento)
        m_scadenzaCollegamento->stop();
    if (m_pg) {
        PQfinish(m_pg);
        m_pg = nullptr;
    }
    m_listenInviato = false;
}

void Annunci::collega()
{
    chiudi();
    const QByteArray u = m_url.toUtf8();
    // The same session settings as the store's connections, and keepalives,
    // so that a server gone without closing the connection (a machine off,
    // a cable out) is noticed in about 20 s rather than never: a desk that
    // would otherwise wait for announcements that cannot come.
    const char* chiavi[] = {"dbname", "client_encoding", "fallback_application_name", "keepalives", "keepalives_idle",
                            "keepalives_interval", "keepalives_count", nullptr};
    const char* valori[] = {u.constData(), "UTF8", "sorvela", "1", "10", "3", "3", nullptr};
    m_pg = PQconnectStartParams(chiavi, valori, 1);
    if (!m_pg) {
        perso(QStringLiteral("memoria esaurita"));
        return;
    }
    if (PQstatus(m_pg) == CONNECTION_BAD) {
        perso(QString::fromUtf8(PQerrorMessage(m_pg)).trimmed());
        return;
    }
    m_scadenzaCollegamento->start(kScadenzaCollegamentoMs);
    // As if the connect step had last asked to write, as libpq's manual says.
    sorveglia(false);
}

void Annunci::sorveglia(bool lettura)
{
    // The socket may change from one connect step to the next.
    const int fd = PQsocket(m_pg);
    m_lettura.reset();
    m_scrittura.reset();
    if (fd < 0) {
        perso(QString::fromUtf8(PQerrorMessage(m_pg)).trimmed());
        return;
    }
    auto n = std::make_unique<QSocketNotifier>(fd, lettura ? QSocketNotifier::Read : QSocketNotifier::Write);
    connect(n.get(), &QSocketNotifier::activated, this, [this] {
        if (m_listenInviato)
            leggi();
        else
            avanzaCollegamento();
    });
    (lettura ? m_lettura : m_scrittura) = std::move(n);
}

void Annunci::avanzaCollegamento()
{
    switch (PQconnectPoll(m_pg)) {
    case PGRES_POLLING_READING:
        sorveglia(true);
        return;
    case PGRES_POLLING_WRITING:
        sorveglia(false);
        return;
    case PGRES_POLLING_OK:
        break;
    default:
        perso(QString::fromUtf8(PQerrorMessage(m_pg)).trimmed());
        return;
    }
    m_scadenzaCollegamento->stop();
    if (PQsetnonblocking(m_pg, 1) != 0 || !PQsendQuery(m_pg, "LISTEN sorvela")) {
        perso(QString::fromUtf8(PQerrorMessage(m_pg)).trimmed());
        return;
    }
    m_listenInviato = true;
    PQflush(m_pg);
    sorveglia(true);
}

void Annunci::leggi()
{
    if (!PQconsumeInput(m_pg)) {
        perso(QString::fromUtf8(PQerrorMessage(m_pg)).trimmed());
        return;
    }
    while (!PQisBusy(m_pg)) {
        PGresult* r = PQgetResult(m_pg);
        if (!r)
            break;
        const bool riuscito = PQresultStatus(r) == PGRES_COMMAND_OK;
        const QString errore = QString::fromUtf8(PQresultErrorMessage(r)).trimmed();
        PQclear(r);
        if (!riuscito) {
            perso(errore);
            return;
        }
        if (!m_inAscolto) {
            m_inAscolto = true;
            m_motivo.clear();
            m_attesaMs = 0;
            m_dettoPerso = false;
            emit ascolto(true);
        }
    }
    while (PGnotify* n = PQnotifies(m_pg)) {
        const QString tabella = QString::fromUtf8(n->extra);
        PQfreemem(n);
        emit annuncio(tabella);
    }
    if (PQstatus(m_pg) == CONNECTION_BAD)
        perso(QString::fromUtf8(PQerrorMessage(m_pg)).trimmed());
}

void Annunci::perso(const QString& motivo)
{
    chiudi();
    m_motivo = motivo.isEmpty() ? QStringLiteral("connessione al server perduta") : motivo;
    const bool eraInAscolto = m_inAscolto;
    m_inAscolto = false;
    m_attesaMs = std::min(std::max(kPrimaAttesaMs, 2 * m_attesaMs), kMassimaAttesaMs);
    m_riprova->start(m_attesaMs);
    // Told once per loss: a server that stays away is not told again at each try.
    if (eraInAscolto || !m_dettoPerso) {
        m_dettoPerso = true;
        emit ascolto(false);
    }
}

} // namespace sorvela::store

#include "receiver/Ricevitore.h"

#include "core/Numeri.h"
#include "core/Orologio.h"
#include "events/Registrazione.h"
#include "interrogation/Interrogazione.h"
#include "interrogation/Sorveglianza.h"
#include "modem/Lettura.h"
#include "modem/LineaTelefono.h"
#include "modem/Seriale.h"
#include "platform/Messaggi.h"
#include "platform/Preferenze.h"
#include "receiver/Sportello.h"
#include "receiver/Turni.h"
#include "store/Database.h"
#include "store/RecordSet.h"

#include <QDir>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QScopeGuard>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcRicevitore, "sorvela.ricevitore", QtInfoMsg)

namespace sorvela::ricevitore {

namespace {

using namespace std::chrono_literals;

constexpr auto kIntervalloBattito = 2s;
constexpr auto kIntervalloRichieste = 250ms;
constexpr auto kAssestamento = 2s;
// A request older than this when the receiver starts was made to a receiver
// that was not there: it is answered, not carried out hours late.
constexpr qint64 kRichiestaScadutaSecondi = 300;

} // namespace

// What the routines tell the operator goes to every desk as a notice, and to
// the log. Nobody is there to answer a question: the cautious answer is given.
class MessaggiRicevitore : public Messaggi {
public:
    explicit MessaggiRicevitore(Ricevitore& r) : m_r(r) {}
    void avvisa(Icona icona, const QString& testo, const QString&) override
    {
        m_r.avvisa(QStringLiteral("ricevitore"), int(icona), testo);
    }
    Risposta chiedi(Icona, const QString& testo, Pulsanti pulsanti, const QString&) override
    {
        qCWarning(lcRicevitore).noquote() << "domanda senza risposta:" << testo;
        return pulsanti == Pulsanti::Ok || pulsanti == Pulsanti::OkAnnulla ? Risposta::Annulla : Risposta::No;
    }
    void notifica(const QString& tipo, Icona icona, const QString& testo) override
    {
        m_r.avvisa(tipo, int(icona), testo);
    }
    void ritiraNotifica(const QString& tipo) override { m_r.avvisa(tipo, 0, QString()); }

private:
    Ricevitore& m_r;
};

// The progress of a cycle or a call: its label in the state row, written at
// once, so the desks' progress windows follow it.
class AvanzamentoRicevitore : public Avanzamento {
public:
    explicit AvanzamentoRicevitore(Ricevitore& r) : m_r(r) {}
    void mostra(const QString& etichetta) override { m_r.setAttivita(etichetta); }
    void chiudi() override { m_r.setAttivita(QString()); }

private:
    Ricevitore& m_r;
};

struct Ricevitore::Richiesta {
    qint64 id = 0;
    QString tipo;
    QString argomento;
    QString operatore;
    QDateTime quando;
};

Ricevitore::Ricevitore(Configurazione conf, QObject* genitore)
    : QObject(genitore)
    , m_conf(std::move(conf))
{
    setObjectName(QStringLiteral("Ricevitore"));
}

Ricevitore::~Ricevitore()
{
    if (m_inFunzione) {
        // Destroyed without ferma(): whatever runs is cut, the lock goes.
        m_fermando = true;
        if (m_linea) {
            m_linea->fermaSorveglianza();
            m_linea->chiudi();
        }
        try {
            if (m_db)
                m_db->esegui(QStringLiteral("DELETE FROM \"StatoRicevitore\" WHERE \"Nome\" = ?"), {m_nome});
        } catch (const store::ErroreDatabase&) {
        }
    }
    lasciaBlocco();
}

QString Ricevitore::fileBlocco(const QString& cartellaDati)
{
    return QDir(cartellaDati).filePath(QStringLiteral("Sorvela.db.ricevitore"));
}

// flock: the system lets it go when the process ends, a SIGKILL included, so
// a receiver started again after a crash is never refused by its own ghost.
// Another open of the file (another receiver in this very process as well)
// finds it taken.
bool Ricevitore::prendiBlocco(QString& chi)
{
    const QByteArray percorso = QFile::encodeName(fileBlocco(m_conf.cartellaDati));
    const int fd = ::open(percorso.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        chi = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        QByteArray testo(512, '\0');
        const ssize_t n = ::pread(fd, testo.data(), testo.size(), 0);
        chi = QString::fromUtf8(testo.left(n > 0 ? int(n) : 0)).trimmed();
        ::close(fd);
        return false;
    }
    const QByteArray io = m_processo.toUtf8() + '\n';
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, io.constData(), io.size(), 0) != io.size())
        qCWarning(lcRicevitore) << "impossibile scrivere il file di blocco" << percorso;
    m_blocco = fd;
    return true;
}

// On a server the receivers of one database may run on different machines:
// the lock is the server's, held by this receiver's own connection, and goes
// with it however the process ends. Who holds it is read from the state its
// holder writes.
bool Ricevitore::prendiBloccoServer(QString& chi)
{
    try {
        if (m_db->prendiBloccoServer(QStringLiteral("sorvela.ricevitore.") + m_nome))
            return true;
        chi = m_db->valore(QStringLiteral("SELECT \"Processo\" FROM \"StatoRicevitore\" WHERE \"Nome\" = ?"),
                           {m_nome}).toString();
    } catch (const store::ErroreDatabase& e) {
        chi = e.messaggio();
    }
    return false;
}

void Ricevitore::lasciaBlocco()
{
    if (m_blocco < 0)
        return;
    ::flock(m_blocco, LOCK_UN);
    ::close(m_blocco);
    m_blocco = -1;
}

QString Ricevitore::avvia()
{
    if (m_inFunzione)
        return {};
    m_processo = QStringLiteral("%1, processo %2 su %3")
                     .arg(m_conf.programma)
                     .arg(QCoreApplication::applicationPid())
                     .arg(QSysInfo::machineHostName());
    m_avviato = QDateTime::currentDateTimeUtc();

    m_ctx.cartellaDati = m_conf.cartellaDati;
    m_ctx.urlDatabase = m_conf.urlDatabase;
    if (!m_conf.orologio)
        m_orologioProprio = std::make_unique<Orologio>();
    m_ctx.orologio = m_conf.orologio ? m_conf.orologio : m_orologioProprio.get();
    try {
        m_db = store::Database::apri(m_ctx.percorsoDatabase());
    } catch (const store::ErroreDatabase& e) {
        return m_ctx.suServer() ? e.messaggio()
                                : QStringLiteral("Impossibile aprire il database %1: %2").arg(m_ctx.percorsoDatabase(), e.messaggio());
    }
    m_pref = m_conf.fileImpostazioni.isEmpty() ? std::make_unique<Preferenze>()
                                                : std::make_unique<Preferenze>(m_conf.fileImpostazioni);
    m_nome = m_conf.nome.isEmpty() ? m_pref->nomeRicevitore() : m_conf.nome;
    QString chi;
    if (!(m_ctx.suServer() ? prendiBloccoServer(chi) : prendiBlocco(chi))) {
        m_db.reset();
        m_pref.reset();
        const QString holder = chi.isEmpty() ? QStringLiteral("processo sconosciuto") : chi;
        return m_ctx.suServer()
                   ? QStringLiteral("Un altro ricevitore di nome \"%1\" riceve già da questo database (%2): questo non "
                                    "riceve. Ogni ricevitore del centro ha un nome suo (--nome, [Ricevitore] Nome).")
                         .arg(m_nome, holder)
                   : QStringLiteral("Un altro ricevitore riceve già da questo database (%1): questo non riceve.").arg(holder);
    }
    // On a file the one receiver is the centre's; on a server the first
    // step looks for the lead.
    m_capo = !m_ctx.suServer();
    m_ctx.db = m_db.get();
    m_ctx.preferenze = m_pref.get();
    const QString porta = m_pref->numPort();
    m_ctx.NumeroPorta = porta.isEmpty() ? qint16(1) : InteroArrotondato(ValoreNumerico(porta));
    m_ctx.operatore = QStringLiteral("Ricevitore");
    m_messaggi = std::make_unique<MessaggiRicevitore>(*this);
    m_ctx.messaggi = m_messaggi.get();
    m_avanzamento = std::make_unique<AvanzamentoRicevitore>(*this);
    m_ctx.InCorso = m_avanzamento.get();

    m_linea = new modem::LineaTelefono([this](int n) { return m_pref->dispositivoPorta(n); }, this);
    m_linea->ascoltaSempre(true);
    m_ctx.linea = m_linea;
    m_ciclo = std::make_unique<modem::CicloLettura>(
        [](Contesto& c, const pdu::MessaggioRicevuto& m) { return RegistraMessaggio(c, m); },
        [this](const QString& codice, const QString& mittente, const QString& testo) {
            qCInfo(lcRicevitore).noquote() << "messaggio da" << mittente << "(utente" << codice + "):" << testo;
            avvisa(TipoRapporto, 0, testo, false, codice, mittente);
        });
    m_turni = std::make_unique<Turni>(m_ctx);
    m_turni->lavori().LetturaMessaggi = [this] { lettura(); };
    m_turni->lavori().ControllaInterrogazioni = [this] { ControllaInterrogazioni(m_ctx); };
    m_turni->lavori().InterrogaPeriferiche = [this] { InterrogaPeriferiche(m_ctx); };
    m_turni->lavori().ControllaScadenzeSim = [this] { ControllaScadenzeSim(m_ctx); };
    m_turni->lavori().PrendiLavoro = [this](const QString& lavoro, const QDateTime& turno) {
        return prendiLavoro(lavoro, turno);
    };

    connect(m_linea, &modem::LineaTelefono::statoCambiato, this, [this](modem::StatoTelefono) {
        scriviStato();
        emit cambiato();
    });
    connect(m_linea, &modem::LineaTelefono::persa, this, [this](const QString& motivo) {
        const QString dettaglio = m_linea->dettaglioRifiuto();
        if (dettaglio.isEmpty())
            qCWarning(lcRicevitore).noquote() << "telefono perso:" << motivo;
        else
            qCWarning(lcRicevitore).noquote() << "telefono perso:" << motivo << "(" + dettaglio + ")";
        avvisa(QStringLiteral("telefono"), int(Icona::Avviso),
               motivo + QStringLiteral("\nLa console non può ricevere gli allarmi: ritenta da sola ogni 10 secondi."),
               true);
    });
    connect(m_linea, &modem::LineaTelefono::tornata, this, [this] {
        qCInfo(lcRicevitore).noquote() << "telefono di nuovo collegato alla porta" << QStringLiteral("COM%1").arg(m_linea->porta());
        avvisa(QStringLiteral("telefono"), 0, QString());
        m_linea->segnalaMessaggi();
    });
    // An indication is served as it arrives, not at the next step.
    connect(m_linea, &modem::LineaTelefono::notizia, this, [this] {
        QTimer::singleShot(0, this, [this] {
            if (!m_fermando && !occupato())
                passo();
        });
    });

    m_passo = new QTimer(this);
    m_passo->setInterval(1s);
    connect(m_passo, &QTimer::timeout, this, &Ricevitore::passo);
    m_ctx.Timer1 = m_passo; // the routines' TickSospeso holds this step
    m_richieste = new QTimer(this);
    m_richieste->setInterval(kIntervalloRichieste);
    connect(m_richieste, &QTimer::timeout, this, &Ricevitore::serviRichieste);
    m_annullamenti = new QTimer(this);
    m_annullamenti->setInterval(kIntervalloRichieste);
    connect(m_annullamenti, &QTimer::timeout, this, &Ricevitore::serviAnnullamenti);
    m_battito = new QTimer(this);
    m_battito->setInterval(kIntervalloBattito);
    connect(m_battito, &QTimer::timeout, this, &Ricevitore::scriviStato);

    m_inFunzione = true;
    try {
        // Requests left from when no receiver was there are answered now.
        m_db->esegui(QStringLiteral("UPDATE \"RichiesteRicevitore\" SET \"Stato\" = ?, \"Esito\" = ?, "
                                    "\"Servita il\" = ? WHERE \"Stato\" <> ? AND \"Data e ora\" < ?"),
                     {Servita, QStringLiteral("Richiesta scaduta: il ricevitore non era attivo."),
                      QDateTime::currentDateTimeUtc(), Servita,
                      QDateTime::currentDateTimeUtc().addSecs(-kRichiestaScadutaSecondi)});
        // One this receiver was serving when it was killed is not taken up
        // again halfway (those of the centre's other receivers are theirs).
        m_db->esegui(QStringLiteral("UPDATE \"RichiesteRicevitore\" SET \"Stato\" = ?, \"Esito\" = ?, "
                                    "\"Servita il\" = ? WHERE \"Stato\" = 'in corso' "
                                    "AND (\"Servita da\" = ? OR \"Servita da\" IS NULL)"),
                     {Servita, QStringLiteral("Richiesta interrotta: il ricevitore si è fermato."),
                      QDateTime::currentDateTimeUtc(), m_nome});
        // A receiver silent for a day has been taken out of the centre (or
        // would have been restarted by its service): its row would keep
        // every desk's strip red for ever.
        m_db->esegui(QStringLiteral("DELETE FROM \"StatoRicevitore\" WHERE \"Battito\" < ?"),
                     {QDateTime::currentDateTimeUtc().addDays(-1)});
        // Notices a week old have been seen by every desk there was.
        m_db->esegui(QStringLiteral("DELETE FROM \"AvvisiRicevitore\" WHERE \"Data e ora\" < ?"),
                     {QDateTime::currentDateTimeUtc().addDays(-7)});
    } catch (const store::ErroreDatabase& e) {
        qCWarning(lcRicevitore).noquote() << "pulizia delle richieste non riuscita:" << e.messaggio();
    }
    qCInfo(lcRicevitore).noquote() << "ricevitore avviato:" << m_nome + u',' << m_processo << QStringLiteral("porta COM%1").arg(m_ctx.NumeroPorta)
                                   << "database" << m_db->descrizione();
    m_linea->sorveglia(m_ctx.NumeroPorta);
    scriviStato();
    m_battito->start();
    // The line settles before the first exchange: a receiver killed in the
    // middle of one may have left its reply on its way, and whatever comes
    // now is read and thrown away by the listening, never taken for the
    // reply to a command of ours. Then the messages stored while nobody
    // received are fetched.
    QTimer::singleShot(kAssestamento, this, [this] {
        if (!m_inFunzione || m_fermando)
            return;
        m_assestato = true;
        m_passo->start();
        m_richieste->start();
        m_annullamenti->start();
        m_linea->segnalaMessaggi();
    });
    return {};
}

bool Ricevitore::occupato() const
{
    return m_inLettura || m_inRichiesta || (m_turni && m_turni->inCorso())
        || (m_linea && !m_linea->occupataDa().isEmpty());
}

void Ricevitore::passo()
{
    if (!m_inFunzione || m_fermando || m_sospeso || !m_assestato)
        return;
    if (!m_turni->inCorso())
        controllaCapo();
    m_turni->passo();
}

void Ricevitore::controllaCapo()
{
    if (!m_db || !m_ctx.suServer())
        return;
    bool capo = false;
    try {
        capo = m_db->tieniBloccoServer(QStringLiteral("sorvela.capo"));
    } catch (const store::ErroreDatabase& e) {
        // A lost connection has let the lead go with it.
        guastoDatabase("guida non verificata", e);
    }
    if (capo == m_capo) {
        m_seguace = m_seguace || !capo;
        return;
    }
    m_capo = capo;
    if (capo) {
        qCInfo(lcRicevitore).noquote() << "il ricevitore" << m_nome << "guida ora i lavori periodici del centro";
        // Taken over from a leader that is gone: what it left undone in this
        // slot is done now, what it did is not done again.
        if (m_seguace)
            m_turni->riprendiTurno();
    } else {
        qCWarning(lcRicevitore).noquote() << "il ricevitore" << m_nome << "non guida più i lavori periodici del centro";
        m_seguace = true;
    }
    scriviStato();
    emit cambiato();
}

// The slot's job is this receiver's to run if no receiver has run it in
// this slot: one statement records it, so of two receivers that both
// believed they led (for a moment, around a lost connection) one only runs it.
bool Ricevitore::prendiLavoro(const QString& lavoro, const QDateTime& turno)
{
    if (!m_capo)
        return false;
    m_db->esegui(QStringLiteral("INSERT INTO \"LavoriCentro\" (\"Lavoro\", \"Turno\", \"Ricevitore\") VALUES (?, ?, ?) "
                                "ON CONFLICT (\"Lavoro\") DO UPDATE SET \"Turno\" = excluded.\"Turno\", "
                                "\"Ricevitore\" = excluded.\"Ricevitore\" "
                                "WHERE \"LavoriCentro\".\"Turno\" IS NULL OR \"LavoriCentro\".\"Turno\" <> excluded.\"Turno\""),
                 {lavoro, turno, m_nome});
    const bool mio = m_db->righeModificate() == 1;
    if (!mio)
        qCInfo(lcRicevitore).noquote() << lavoro << "già svolto in questo turno da un altro ricevitore";
    return mio;
}

void Ricevitore::lettura()
{
    // A manual load and a step may both ask while one cycle waits on the
    // handset: one cycle at a time.
    if (m_inLettura)
        return;
    m_inLettura = true;
    const auto fine = qScopeGuard([this] { m_inLettura = false; });
    const modem::RiepilogoLettura r = m_ciclo->LetturaMessaggi(m_ctx);
    registraRiepilogo(r);
    if (!r.avviso.isEmpty())
        avvisa(modem::TipoAvvisoLettura, int(Icona::Avviso), r.avviso);
}

void Ricevitore::registraRiepilogo(const modem::RiepilogoLettura& r)
{
    if (!r.modemPronto)
        return;
    qCInfo(lcRicevitore, "lettura: %d elenchi, %d letti, %d registrati, %d già registrati, %d sconosciuti, "
                         "%d cancellati, %d lasciati nel telefono",
           r.elenchi, r.letti, r.registrati, r.ripetuti, r.sconosciuti, r.cancellati, r.lasciati);
    if (r.registrati + r.sconosciuti > 0)
        emit cambiato();
}

void Ricevitore::serviAnnullamenti()
{
    if (!m_inFunzione || m_fermando || !m_db || m_sospeso)
        return;
    // A cancel is served at any moment, even from inside the wait it
    // cancels: its own timer fires in that wait's event loop (the requests'
    // timer cannot, while its own slot is serving the call).
    try {
        QList<std::pair<qint64, QString>> annulla;
        for (store::RecordSet rs = m_db->apriRecordSet(
                 QStringLiteral("SELECT \"ID\", \"Operatore\" FROM \"RichiesteRicevitore\" "
                                "WHERE \"Stato\" = ? AND \"Richiesta\" = ? "
                                "AND (\"Ricevitore\" IS NULL OR \"Ricevitore\" = ?) ORDER BY \"ID\""),
                 {InAttesa, RichiestaAnnulla, m_nome});
             !rs.eof(); rs.moveNext())
            annulla.append({rs.campo(0).toLongLong(), rs.campo(1).toString()});
        for (const auto& [id, operatore] : std::as_const(annulla)) {
            m_ctx.AnnullaAttesa = true;
            qCInfo(lcRicevitore).noquote() << "attesa annullata da" << operatore;
            segna(id, Servita, QString());
        }
    } catch (const store::ErroreDatabase& e) {
        guastoDatabase("annullamenti non letti", e);
    }
}

void Ricevitore::serviRichieste()
{
    if (!m_inFunzione || m_fermando || !m_db)
        return;
    if (m_sospeso) {
        controllaCompattazione();
        return;
    }
    if (m_inServizio)
        return;
    m_inServizio = true;
    const auto fine = qScopeGuard([this] { m_inServizio = false; });
    controllaCompattazione();
    if (m_sospeso)
        return;
    // The other requests, in order, once the line is free.
    while (!occupato() && !m_fermando && !m_sospeso) {
        Richiesta r;
        if (!prendiRichiesta(r))
            return;
        m_inRichiesta = true;
        const QString esito = servi(r);
        m_inRichiesta = false;
        const bool segnata = segna(r.id, Servita, esito);
        emit cambiato();
        if (!segnata)
            return;
    }
}

// Takes the oldest request waiting for this receiver or for anyone, marking
// it "in corso" in the same statement, so that of the centre's receivers one
// only takes it: on a server the row another receiver is taking is skipped,
// not waited for. A request that cannot be marked is not carried out: it
// would be carried out again at every look.
bool Ricevitore::prendiRichiesta(Richiesta& r)
{
    try {
        const QVariant id = m_db->valore(
            m_ctx.suServer()
                ? QStringLiteral("UPDATE \"RichiesteRicevitore\" SET \"Stato\" = 'in corso', \"Servita da\" = ? "
                                 "WHERE \"ID\" = (SELECT \"ID\" FROM \"RichiesteRicevitore\" WHERE \"Stato\" = ? "
                                 "AND \"Richiesta\" <> ? AND (\"Ricevitore\" IS NULL OR \"Ricevitore\" = ?) "
                                 "ORDER BY \"ID\" LIMIT 1 FOR UPDATE SKIP LOCKED) AND \"Stato\" = ? RETURNING \"ID\"")
                : QStringLiteral("UPDATE \"RichiesteRicevitore\" SET \"Stato\" = 'in corso', \"Servita da\" = ? "
                                 "WHERE \"ID\" = (SELECT \"ID\" FROM \"RichiesteRicevitore\" WHERE \"Stato\" = ? "
                                 "AND \"Richiesta\" <> ? AND (\"Ricevitore\" IS NULL OR \"Ricevitore\" = ?) "
                                 "ORDER BY \"ID\" LIMIT 1) AND \"Stato\" = ? RETURNING \"ID\""),
            {m_nome, InAttesa, RichiestaAnnulla, m_nome, InAttesa});
        if (id.isNull())
            return false;
        store::RecordSet rs = m_db->apriRecordSet(
            QStringLiteral("SELECT \"ID\", \"Richiesta\", \"Argomento\", \"Operatore\", \"Data e ora\" "
                           "FROM \"RichiesteRicevitore\" WHERE \"ID\" = ?"),
            {id});
        if (rs.eof())
            return false;
        r = {rs.campo(0).toLongLong(), rs.campo(1).toString(), rs.campo(2).toString(), rs.campo(3).toString(),
             rs.campo(4).toDateTime()};
        return true;
    } catch (const store::ErroreDatabase& e) {
        guastoDatabase("richieste non lette", e);
        return false;
    }
}

QString Ricevitore::servi(const Richiesta& r)
{
    qCInfo(lcRicevitore).noquote() << "richiesta" << r.tipo << r.argomento << "da" << r.operatore;
    if (r.tipo == RichiestaLettura) {
        const modem::Prontezza p = modem::CaricaMessaggi(m_ctx, [this] { lettura(); });
        return p.avviso;
    }
    if (r.tipo == RichiestaInterrogazione) {
        m_ctx.operatore = r.operatore.isEmpty() ? QStringLiteral("Operatore") : r.operatore;
        const bool fatta = InterrogaAdesso(m_ctx, r.argomento);
        m_ctx.operatore = QStringLiteral("Ricevitore");
        qCInfo(lcRicevitore).noquote() << "chiamata alla periferica" << r.argomento
                                       << (fatta ? "accettata" : "non riuscita");
        return fatta ? QString() : QStringLiteral("La periferica %1 non è stata interrogata.").arg(r.argomento);
    }
    if (r.tipo == RichiestaPorta) {
        const qint16 scelta = InteroArrotondato(ValoreNumerico(r.argomento));
        const QString motivo = m_linea->apri(scelta);
        if (!motivo.isEmpty()) {
            // The handset stays where it was.
            m_linea->apri(m_ctx.NumeroPorta);
            return motivo;
        }
        m_ctx.NumeroPorta = scelta;
        m_pref->setNumPort(scelta);
        qCInfo(lcRicevitore).noquote() << "porta del telefono:" << QStringLiteral("COM%1").arg(scelta);
        scriviStato();
        return {};
    }
    if (r.tipo == RichiestaVerifica) {
        const std::optional<QString> rapporto = modem::VerificaPorte(m_ctx);
        return rapporto ? *rapporto : m_linea->testoOccupata();
    }
    return QStringLiteral("Richiesta sconosciuta: %1").arg(r.tipo);
}

void Ricevitore::controllaCompattazione()
{
    const bool chiesta = QFileInfo::exists(FileCompattazione(m_conf.cartellaDati));
    if (chiesta && !m_sospeso) {
        if (occupato())
            return; // after the exchange in progress
        setAttivita(TestoSospeso);
        qCInfo(lcRicevitore) << "ricezione sospesa per la compattazione del database";
        m_sospeso = true;
        m_sospesoDa.start();
        m_passo->stop();
        m_battito->stop();
        m_ctx.db = nullptr;
        m_db->chiudi();
        return;
    }
    // A desk that died while compacting must not leave the centre deaf.
    if (m_sospeso && (!chiesta || m_sospesoDa.hasExpired(10 * 60 * 1000))) {
        try {
            m_db->riapri();
        } catch (const store::ErroreDatabase& e) {
            qCWarning(lcRicevitore).noquote() << "database non ancora riaperto:" << e.messaggio();
            return; // tried again at the next look
        }
        m_ctx.db = m_db.get();
        m_sospeso = false;
        qCInfo(lcRicevitore) << "ricezione ripresa";
        setAttivita(QString());
        m_passo->start();
        m_battito->start();
        // What arrived meanwhile is in the handset.
        m_linea->segnalaMessaggi();
    }
}

bool Ricevitore::segna(qint64 id, const QString& stato, const QString& esito)
{
    try {
        m_db->esegui(QStringLiteral("UPDATE \"RichiesteRicevitore\" SET \"Stato\" = ?, \"Esito\" = ?, "
                                    "\"Servita il\" = ? WHERE \"ID\" = ?"),
                     {stato, esito, stato == Servita ? QVariant(QDateTime::currentDateTimeUtc()) : QVariant(), id});
        return true;
    } catch (const store::ErroreDatabase& e) {
        qCWarning(lcRicevitore).noquote() << "richiesta" << id << "non aggiornata:" << e.messaggio();
        return false;
    }
}

void Ricevitore::avvisa(const QString& tipo, int icona, const QString& testo, bool allarme, const QString& codice,
                        const QString& mittente)
{
    if (tipo != TipoRapporto) {
        if (testo.isEmpty())
            qCInfo(lcRicevitore).noquote() << "avviso ritirato:" << tipo;
        else
            qCInfo(lcRicevitore).noquote() << "avviso" << tipo + ":" << QString(testo).replace(u'\n', u' ');
    }
    if (!m_db || m_sospeso)
        return;
    try {
        m_db->esegui(QStringLiteral("INSERT INTO \"AvvisiRicevitore\" (\"Data e ora\", \"Tipo\", \"Icona\", \"Testo\", "
                                    "\"Codice periferica\", \"Mittente\", \"Allarme\") VALUES (?, ?, ?, ?, ?, ?, ?)"),
                     {QDateTime::currentDateTimeUtc(), tipo, icona, testo, codice, mittente, allarme});
    } catch (const store::ErroreDatabase& e) {
        // The log has it; the desks will see the handset's state on their strip.
        guastoDatabase("avviso non scritto", e);
        return;
    }
    emit cambiato();
}

void Ricevitore::setAttivita(const QString& etichetta)
{
    if (etichetta == m_attivita)
        return;
    m_attivita = etichetta;
    if (!etichetta.isEmpty())
        qCInfo(lcRicevitore).noquote() << etichetta;
    scriviStato();
    emit cambiato();
}

// A database out of reach fails every look at the requests, four a second:
// it is logged once, and again when the heartbeat is written once more.
void Ricevitore::guastoDatabase(const char* cosa, const store::ErroreDatabase& e)
{
    if (e.irraggiungibile() && m_databasePerso)
        return;
    m_databasePerso = e.irraggiungibile();
    qCWarning(lcRicevitore).noquote() << cosa << e.messaggio();
}

void Ricevitore::scriviStato()
{
    if (!m_db || !m_inFunzione || m_sospeso)
        return;
    try {
        m_db->esegui(QStringLiteral("INSERT INTO \"StatoRicevitore\" (\"Nome\", \"Processo\", \"Avviato\", "
                                    "\"Battito\", \"Porta\", \"Telefono\", \"Attività\", \"Capo\") "
                                    "VALUES (?, ?, ?, ?, ?, ?, ?, ?) "
                                    "ON CONFLICT (\"Nome\") DO UPDATE SET \"Processo\" = excluded.\"Processo\", "
                                    "\"Avviato\" = excluded.\"Avviato\", \"Battito\" = excluded.\"Battito\", "
                                    "\"Porta\" = excluded.\"Porta\", \"Telefono\" = excluded.\"Telefono\", "
                                    "\"Attività\" = excluded.\"Attività\", \"Capo\" = excluded.\"Capo\""),
                     {m_nome, m_processo, m_avviato, QDateTime::currentDateTimeUtc(), int(m_linea->porta()),
                      modem::LineaTelefono::testoStato(m_linea->stato()), m_attivita, m_capo});
        if (m_databasePerso) {
            m_databasePerso = false;
            qCInfo(lcRicevitore).noquote() << "database di nuovo raggiungibile";
        }
    } catch (const store::ErroreDatabase& e) {
        guastoDatabase("stato non scritto", e);
    }
}

void Ricevitore::ferma()
{
    if (!m_inFunzione) {
        emit fermato();
        return;
    }
    if (!m_fermando) {
        qCInfo(lcRicevitore) << "arresto richiesto";
        m_fermando = true;
        m_passo->stop();
        m_richieste->stop();
        m_linea->fermaSorveglianza();
        // A call waiting for the unit to hang up stops waiting; the
        // exchange in progress still ends by its own reply.
        m_ctx.AnnullaAttesa = true;
    }
    // The exchange in progress ends first (at most its own wait): cut under
    // it, a message already committed would stay in the handset.
    if (occupato()) {
        QTimer::singleShot(100, this, &Ricevitore::ferma);
        return;
    }
    fine();
}

void Ricevitore::fine()
{
    m_battito->stop();
    m_linea->chiudi();
    try {
        m_db->esegui(QStringLiteral("DELETE FROM \"StatoRicevitore\" WHERE \"Nome\" = ?"), {m_nome});
    } catch (const store::ErroreDatabase& e) {
        qCWarning(lcRicevitore).noquote() << "stato non cancellato:" << e.messaggio();
    }
    m_inFunzione = false;
    m_ctx.db = nullptr;
    m_db->chiudi();
    lasciaBlocco();
    qCInfo(lcRicevitore) << "ricevitore fermato";
    emit cambiato();
    emit fermato();
}

} // namespace sorvela::ricevitore

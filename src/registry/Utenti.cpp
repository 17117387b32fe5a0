#include "registry/Utenti.h"
#include "platform/RegistroOperazioni.h"

#include "core/DateItaliane.h"
#include "core/Numeri.h"
#include "platform/Messaggi.h"
#include "store/Database.h"

namespace sorvela::registry {

using store::RecordSet;

namespace codici {

bool soloCifre(const QString& testo)
{
    for (const QChar c : testo)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

QString completaInvio(const QString& testo)
{
    if (testo.size() >= 1 && testo.size() <= 6)
        return testo.rightJustified(6, QLatin1Char('0'));
    return testo;
}

QString normalizza(const QString& testo)
{
    // Only digits make a code: a pasted "12a" would otherwise pad to
    // "00012a", which sorts inside "000000".."999999" and would be loaded.
    if (!soloCifre(testo) || testo.size() > 6)
        return {};
    if (testo.isEmpty())
        return testo;
    return testo.rightJustified(6, QLatin1Char('0'));
}

bool completo(const QString& testo)
{
    return testo.size() == 6 && soloCifre(testo);
}

} // namespace codici

namespace {

QString testo(const QVariant& v)
{
    return v.isNull() ? QString() : v.toString();
}

QString dataMostrata(const QVariant& v)
{
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().isValid() ? date::mostra(v.toDate()) : QString();
    const auto d = date::daDatabaseData(v.toString());
    return d ? date::mostra(*d) : QString();
}

// The period is kept as a number of hours but read back as a whole number,
// as the polling pass reads it.
QString periodoMostrato(const QVariant& v)
{
    if (v.isNull())
        return {};
    return QString::number(InteroArrotondato(v.toDouble()));
}

// The window's empty fields are stored as empty texts, as they were typed;
// a null QString must not reach the table as NULL.
QVariant nonNullo(const QString& s)
{
    return s.isNull() ? QVariant(QStringLiteral("")) : QVariant(s);
}

QVariant dataOppureNull(const QString& t)
{
    const auto d = date::leggiData(t);
    return d ? QVariant(*d) : QVariant();
}

const QString SelezioneUtente = QStringLiteral("SELECT * FROM DatiUtente WHERE [Codice periferica] = ?");

} // namespace

std::optional<SchedaUtente> Utenti::leggi(const QString& codice) const
{
    RecordSet rs = m_db.apriRecordSet(SelezioneUtente, {codice});
    if (rs.eof())
        return std::nullopt;
    SchedaUtente s;
    s.codice = codice;
    s.monitoraggio = rs.campo(QStringLiteral("Monitoraggio")).toBool();
    s.azienda = rs.campo(QStringLiteral("Tipo utente")).toBool();
    if (s.azienda)
        s.ragioneSociale = testo(rs.campo(QStringLiteral("Ragione sociale")));
    s.nome = testo(rs.campo(QStringLiteral("Nome")));
    s.indirizzo = testo(rs.campo(QStringLiteral("Indirizzo")));
    s.citta = testo(rs.campo(QStringLiteral("Città")));
    s.provincia = testo(rs.campo(QStringLiteral("Provincia")));
    s.cap = testo(rs.campo(QStringLiteral("Cap")));
    s.note = testo(rs.campo(QStringLiteral("Note")));
    s.modello = testo(rs.campo(QStringLiteral("Modello")));
    s.periodo = periodoMostrato(rs.campo(QStringLiteral("Periodo")));
    s.pstn = testo(rs.campo(QStringLiteral("Telefono PSTN")));
    s.gsmFonia = testo(rs.campo(QStringLiteral("Telefono GSM fonia")));
    s.gsmDati = testo(rs.campo(QStringLiteral("Telefono GSM dati")));
    s.installazione = dataMostrata(rs.campo(QStringLiteral("Installazione")));
    s.installatore = testo(rs.campo(QStringLiteral("Installatore")));
    s.telInstallatore = testo(rs.campo(QStringLiteral("Telefono installatore")));
    s.scadenza = dataMostrata(rs.campo(QStringLiteral("Scadenza carta")));
    rs.chiudi();
    return s;
}

namespace {

QString nominativo(const SchedaUtente& s)
{
    return s.azienda && !s.ragioneSociale.isEmpty() ? s.ragioneSociale : s.nome;
}

// The fields a save changed, as "Nome: \"Rossi\" -> \"Bianchi\"", one after
// the other; "nessun campo cambiato" when the save only wrote it again.
QString differenze(const SchedaUtente& a, const SchedaUtente& b)
{
    auto sino = [](bool v) { return v ? QStringLiteral("Sì") : QStringLiteral("No"); };
    const QList<std::tuple<const char*, QString, QString>> campi{
        {"Monitoraggio", sino(a.monitoraggio), sino(b.monitoraggio)},
        {"Azienda", sino(a.azienda), sino(b.azienda)},
        {"Ragione sociale", a.ragioneSociale, b.ragioneSociale},
        {"Nome", a.nome, b.nome},
        {"Indirizzo", a.indirizzo, b.indirizzo},
        {"Città", a.citta, b.citta},
        {"Provincia", a.provincia, b.provincia},
        {"Cap", a.cap, b.cap},
        {"Note", a.note, b.note},
        {"Modello", a.modello, b.modello},
        {"Periodo", a.periodo, b.periodo},
        {"Telefono PSTN", a.pstn, b.pstn},
        {"Telefono GSM fonia", a.gsmFonia, b.gsmFonia},
        {"Telefono GSM dati", a.gsmDati, b.gsmDati},
        {"Installazione", a.installazione, b.installazione},
        {"Installatore", a.installatore, b.installatore},
        {"Telefono installatore", a.telInstallatore, b.telInstallatore},
        {"Scadenza carta", a.scadenza, b.scadenza},
    };
    QStringList l;
    for (const auto& [nome, prima, dopo] : campi) {
        // An installation date that was not a date keeps the stored one.
        if (prima != dopo && !(QLatin1String(nome) == QLatin1String("Installazione") && !date::leggiData(dopo)))
            l << QStringLiteral("%1: \"%2\" -> \"%3\"").arg(QString::fromUtf8(nome), prima, dopo);
    }
    return l.isEmpty() ? QStringLiteral("nessun campo cambiato") : l.join(QStringLiteral("; "));
}

} // namespace

SchedaUtente Utenti::nuova(const QString& codice, const QDate& oggi)
{
    SchedaUtente s;
    s.codice = codice;
    s.periodo = QStringLiteral("0");
    s.installazione = date::mostra(oggi);
    return s;
}

Utenti::Esito Utenti::salva(const SchedaUtente& s, bool scadenzaCambiata, const QDateTime& adesso,
                            const QList<RigaIngresso>* ingressi)
{
    m_tipoAggiunto = false;
    if (s.codice.isEmpty())
        return Esito::NessunCodice;
    if (s.modello.trimmed().isEmpty())
        return Esito::NessunaPeriferica;

    store::Transazione t(m_db);
    // A typed name loses the blanks around it; a name that is in the type
    // table as it stands (picked from the list) is kept byte for byte, or
    // saving would make a second type of nearly the same name.
    const QString modello =
        m_db.valore(QStringLiteral("SELECT 1 FROM TipoPeriferica WHERE PerifericaTipo = ?"), {s.modello}).isNull()
            ? s.modello.trimmed()
            : s.modello;
    const std::optional<SchedaUtente> prima = m_registro ? leggi(s.codice) : std::nullopt;
    RecordSet rs = m_db.apriRecordSet(SelezioneUtente, {s.codice});
    const bool nuovo = rs.eof();
    if (nuovo)
        rs.addNew();
    else
        rs.edit();
    rs.setCampo(QStringLiteral("Codice periferica"), s.codice);
    rs.setCampo(QStringLiteral("Monitoraggio"), s.monitoraggio);
    rs.setCampo(QStringLiteral("Tipo utente"), s.azienda);
    rs.setCampo(QStringLiteral("Ragione sociale"), nonNullo(s.azienda ? s.ragioneSociale : QString()));
    rs.setCampo(QStringLiteral("Nome"), nonNullo(s.nome));
    rs.setCampo(QStringLiteral("Indirizzo"), nonNullo(s.indirizzo));
    rs.setCampo(QStringLiteral("Città"), nonNullo(s.citta));
    rs.setCampo(QStringLiteral("Provincia"), nonNullo(s.provincia));
    rs.setCampo(QStringLiteral("CAP"), nonNullo(s.cap));
    rs.setCampo(QStringLiteral("Note"), nonNullo(s.note));
    rs.setCampo(QStringLiteral("Modello"), modello);
    rs.setCampo(QStringLiteral("Periodo"), ValoreNumerico(s.periodo));
    rs.setCampo(QStringLiteral("Telefono PSTN"), nonNullo(s.pstn));
    rs.setCampo(QStringLiteral("Telefono GSM fonia"), nonNullo(s.gsmFonia));
    rs.setCampo(QStringLiteral("Telefono GSM dati"), nonNullo(s.gsmDati));
    rs.setCampo(QStringLiteral("Telefono ISDN"), nonNullo(QString()));
    // An installation date that does not read as a date keeps the stored one.
    if (const auto d = date::leggiData(s.installazione))
        rs.setCampo(QStringLiteral("Installazione"), *d);
    rs.setCampo(QStringLiteral("Installatore"), nonNullo(s.installatore));
    rs.setCampo(QStringLiteral("Telefono installatore"), nonNullo(s.telInstallatore));
    rs.setCampo(QStringLiteral("Ultima interrogazione"), adesso);
    rs.setCampo(QStringLiteral("Scadenza carta"), dataOppureNull(s.scadenza));
    // A new expiry date deserves its own warning; an unchanged one was
    // perhaps already signalled and must not be signalled twice.
    if (scadenzaCambiata || nuovo)
        rs.setCampo(QStringLiteral("Scadenza segnalata"), false);
    rs.update();
    rs.chiudi();

    // The list may be stale (the catalog can add types meanwhile), so the
    // table itself decides whether the name is new.
    const QVariant esiste = m_db.valore(
        QStringLiteral("SELECT 1 FROM TipoPeriferica WHERE PerifericaTipo = ?"), {modello});
    if (esiste.isNull()) {
        // IDPeriferica is the rowid: SQLite gives the next position after the
        // last, which is where the lists will show the new type.
        m_db.esegui(QStringLiteral("INSERT INTO TipoPeriferica (PerifericaTipo, DesPeriferica, Protocollo, Tabella) "
                                   "VALUES (?, '*', 0, '*')"),
                    {modello});
    }
    if (ingressi)
        IngressiUtente(m_db).scrivi(s.codice, *ingressi);
    if (m_registro) {
        if (!prima) {
            RegistraOperazione(*m_registro, azione::UtenteCreato, QStringLiteral("Utente ") + s.codice,
                               nominativo(s));
        } else {
            SchedaUtente dopo = s;
            dopo.modello = modello;
            if (!dopo.azienda)
                dopo.ragioneSociale.clear();
            RegistraOperazione(*m_registro, azione::UtenteModificato, QStringLiteral("Utente ") + s.codice,
                               differenze(*prima, dopo));
        }
    }
    t.conferma();
    m_tipoAggiunto = esiste.isNull();
    return Esito::Salvato;
}

void Utenti::elimina(const QString& codice)
{
    store::Transazione t(m_db);
    const std::optional<SchedaUtente> prima = m_registro ? leggi(codice) : std::nullopt;
    m_db.esegui(QStringLiteral("DELETE FROM DatiUtente WHERE [Codice periferica] = ?"), {codice});
    m_db.esegui(QStringLiteral("DELETE FROM Telefoni_Utenti WHERE CodPer = ?"), {codice});
    IngressiUtente(m_db).elimina(codice);
    if (m_registro)
        RegistraOperazione(*m_registro, azione::UtenteEliminato, QStringLiteral("Utente ") + codice,
                           prima ? nominativo(*prima) : QString());
    t.conferma();
}

QString Utenti::controllaMatricola(const QString& matricola, const QString& codice) const
{
    if (matricola.isEmpty())
        return {};
    // In the order the serials were entered, so "the second one" is stable.
    RecordSet rs = m_db.apriRecordSet(
        QStringLiteral("SELECT [Codice periferica] FROM Matricole WHERE Matricola = ? ORDER BY rowid"), {matricola});
    if (rs.eof())
        return {};
    const QString primo = testo(rs.campo(0));
    if (primo != codice)
        return QStringLiteral("Matricola già inserita al codice ") + primo;
    rs.moveNext();
    if (!rs.eof())
        return QStringLiteral("Impossibile memorizzare, matricola già inserita al codice ") + testo(rs.campo(0));
    return {};
}

QStringList Utenti::tipiPeriferica() const
{
    QStringList tipi{QString()};
    RecordSet rs = m_db.apriRecordSet(
        QStringLiteral("SELECT IDPeriferica, PerifericaTipo FROM TipoPeriferica WHERE IDPeriferica > 0 "
                       "ORDER BY IDPeriferica"));
    for (; !rs.eof(); rs.moveNext()) {
        const int id = rs.campo(0).toInt();
        while (tipi.size() < id)
            tipi << QString();
        tipi << testo(rs.campo(1));
    }
    return tipi;
}

std::optional<Configurazione> Utenti::configurazione(const QString& codice) const
{
    RecordSet rs = m_db.apriRecordSet(SelezioneUtente, {codice});
    if (rs.eof())
        return std::nullopt;
    Configurazione c;
    c.modello = testo(rs.campo(QStringLiteral("Modello")));
    c.periodo = periodoMostrato(rs.campo(QStringLiteral("Periodo")));
    c.installatore = testo(rs.campo(QStringLiteral("Installatore")));
    c.telInstallatore = testo(rs.campo(QStringLiteral("Telefono installatore")));
    return c;
}

void AppuntiConfigurazione::Duplica(const QString& codice)
{
    if (codice.isEmpty())
        return;
    m_msg.avvisa(Icona::Informazione,
                 QStringLiteral("Si sta copiando negli appunti la configurazione dell'utente ") + codice,
                 TitoloAnagrafica);
    m_copiato = codice;
}

std::optional<Configurazione> AppuntiConfigurazione::Incolla(const QString& codice, store::Database& db)
{
    if (codice.isEmpty() || m_copiato.isEmpty() || codice == m_copiato)
        return std::nullopt;
    const Risposta r = m_msg.chiedi(
        Icona::Informazione,
        QStringLiteral("Si sta incollando dagli appunti la configurazione dell'utente ") + m_copiato,
        Pulsanti::SiNo, TitoloAnagrafica);
    if (r != Risposta::Si)
        return std::nullopt;
    auto c = Utenti(db).configurazione(m_copiato);
    if (!c)
        m_msg.avvisa(Icona::Errore,
                     QStringLiteral("Impossibile memorizzare, il Codice ") + m_copiato +
                         QStringLiteral(" non risulta essere memorizzato"),
                     QStringLiteral("Anagrafica utente"));
    return c;
}

} // namespace sorvela::registry

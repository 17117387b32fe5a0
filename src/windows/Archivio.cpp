#include "windows/Archivio.h"

#include "core/DateItaliane.h"
#include "store/Database.h"
#include "store/RecordSet.h"

#include <QRegularExpression>
#include <QVariantList>

#include <limits>

namespace sorvela::archivio {

namespace {

// The conditions every search shares, numbered: ?1 first instant of the
// range, ?2 first instant after it, ?3 alarms wanted, ?4 the rest wanted,
// ?5 the one description wanted (empty: any). Events of neither type count
// with "Test": like it, they are shown blue in the queue.
#define SORVELA_CONDIZIONI                                                                                  \
    " WHERE e.[Data e ora] >= ?1 AND e.[Data e ora] < ?2"                                                  \
    " AND ((?3 AND e.[Tipo evento] = 'Allarme') OR (?4 AND coalesce(e.[Tipo evento], '') <> 'Allarme'))"  \
    " AND (?5 = '' OR e.[Descrizione evento] = ?5)"

#define SORVELA_COLONNE                                                                                     \
    "SELECT e.[ID] AS id, e.[Codice periferica] AS codice,"                                                 \
    " CASE WHEN u.[Tipo utente] THEN u.[Ragione sociale] ELSE u.[Nome] END AS nome,"                        \
    " e.[Data e ora] AS dataOra, e.[Tipo evento] AS tipo, e.[Descrizione evento] AS descrizione,"           \
    " e.[Archiviato] AS archiviato, e.\"Archiviato il\" AS archiviatoIl, e.\"Archiviato da\" AS archiviatoDa"  \
    " FROM ArchivioEventi AS e LEFT JOIN DatiUtente AS u ON u.[Codice periferica] = e.[Codice periferica]"

// A page goes on after the last row shown: ?a the last row's time, ?b its ID.
#define SORVELA_DOPO(a, b) " AND e.[Data e ora] <= ?" #a " AND (e.[Data e ora] < ?" #a " OR e.[ID] < ?" #b ")"
#define SORVELA_ORDINE(n) " ORDER BY e.[Data e ora] DESC, e.[ID] DESC LIMIT ?" #n

const char* const kContaTutti = "SELECT count(*) FROM ArchivioEventi AS e" SORVELA_CONDIZIONI;
const char* const kContaCodice =
    "SELECT count(*) FROM ArchivioEventi AS e" SORVELA_CONDIZIONI " AND e.[Codice periferica] = ?6";
const char* const kPaginaTutti = SORVELA_COLONNE SORVELA_CONDIZIONI SORVELA_DOPO(6, 7) SORVELA_ORDINE(8);
const char* const kPaginaCodice =
    SORVELA_COLONNE SORVELA_CONDIZIONI " AND e.[Codice periferica] = ?6" SORVELA_DOPO(7, 8) SORVELA_ORDINE(9);

#undef SORVELA_CONDIZIONI
#undef SORVELA_COLONNE
#undef SORVELA_DOPO
#undef SORVELA_ORDINE

// After every stored time ("YYYY-MM-DD HH:MM:SS"), and a time the server takes.
const QString kDopoTutto = QStringLiteral("9999-12-31 23:59:59");

QVariantList parametri(const Criteri& c)
{
    QVariantList p{date::perDatabase(c.dal), date::perDatabase(c.al.addDays(1)), c.allarme ? 1 : 0,
                   c.test ? 1 : 0, c.descrizione.isNull() ? QString(QLatin1String("")) : c.descrizione};
    if (!c.codice.isEmpty())
        p << c.codice;
    return p;
}

QString testo(const QVariant& v)
{
    return v.isNull() ? QString() : v.toString();
}

} // namespace

bool DataValida(const QString& a, const QString& b)
{
    const auto da = date::leggiData(a);
    const auto db = date::leggiData(b);
    return da && db && *da <= *db;
}

QString FormaData(const QString& testo)
{
    static const QRegularExpression seiCifre(QStringLiteral("^\\d{6}$"));
    if (!seiCifre.match(testo).hasMatch())
        return testo;
    return testo.left(2) + QLatin1Char('/') + testo.mid(2, 2) + QLatin1Char('/') + testo.right(2);
}

QString CompletaCodice(const QString& testo)
{
    return testo.rightJustified(6, QLatin1Char('0'));
}

bool CodiceEsiste(store::Database& db, const QString& codice)
{
    return !db.valore(QStringLiteral("SELECT 1 FROM Dati_Utente WHERE [Codice periferica] = ?"), {codice}).isNull();
}

std::optional<QDate> PrimaData(store::Database& db)
{
    const QVariant v = db.valore(QStringLiteral("SELECT min([Data e ora]) FROM ArchivioEventi"));
    if (v.isNull())
        return std::nullopt;
    if (v.canConvert<QDateTime>() && v.toDateTime().isValid())
        return v.toDateTime().date();
    return date::daDatabaseData(v.toString());
}

QStringList Descrizioni(store::Database& db, const QString& codice)
{
    QStringList l;
    store::RecordSet rs = db.apriRecordSet(
        QStringLiteral("SELECT DISTINCT [Descrizione evento] AS d FROM ArchivioEventi "
                       "WHERE [Codice periferica] = ? AND [Descrizione evento] <> '' ORDER BY 1"),
        {codice});
    for (; !rs.eof(); rs.moveNext())
        l << rs.campo(0).toString();
    return l;
}

Istruzione IstruzioneConteggio(const Criteri& c)
{
    return {QString::fromUtf8(c.codice.isEmpty() ? kContaTutti : kContaCodice), parametri(c)};
}

Istruzione IstruzionePagina(const Criteri& c, const std::optional<Segno>& dopo, int quanti)
{
    QVariantList p = parametri(c);
    p << (dopo ? dopo->dataOra : kDopoTutto) << (dopo ? dopo->id : std::numeric_limits<qint64>::max()) << quanti;
    return {QString::fromUtf8(c.codice.isEmpty() ? kPaginaTutti : kPaginaCodice), p};
}

qint64 Conta(store::Database& db, const Criteri& c)
{
    const Istruzione i = IstruzioneConteggio(c);
    return db.valore(i.sql, i.parametri).toLongLong();
}

QList<Riga> Pagina(store::Database& db, const Criteri& c, const std::optional<Segno>& dopo, int quanti, Segno* fine)
{
    const Istruzione i = IstruzionePagina(c, dopo, quanti);
    store::RecordSet rs = db.apriRecordSet(i.sql, i.parametri);
    QList<Riga> righe;
    for (; !rs.eof(); rs.moveNext()) {
        Riga r;
        r.id = rs.campo(0).toLongLong();
        r.codice = testo(rs.campo(1));
        r.nome = testo(rs.campo(2));
        const QVariant quando = rs.campo(3);
        if (quando.typeId() == QMetaType::QDateTime)
            r.dataOra = quando.toDateTime();
        else if (const auto t = date::daDatabaseOra(testo(quando)))
            r.dataOra = *t;
        r.tipo = testo(rs.campo(4));
        r.descrizione = testo(rs.campo(5));
        r.archiviato = rs.campo(6).toBool();
        r.archiviatoIl = rs.campo(7).toDateTime();
        r.archiviatoDa = testo(rs.campo(8));
        if (fine)
            *fine = Segno{r.dataOra.isValid() ? date::perDatabase(r.dataOra) : testo(quando), r.id};
        righe << r;
    }
    return righe;
}

QString DescriviArchiviazione(const Riga& r)
{
    QStringList parti;
    if (!r.archiviatoDa.isEmpty())
        parti << r.archiviatoDa;
    if (r.archiviatoIl.isValid())
        parti << date::mostra(r.archiviatoIl);
    return parti.join(QStringLiteral(", "));
}

QString TestoMessaggio(store::Database& db, qint64 id)
{
    return testo(db.valore(QStringLiteral("SELECT [Testo messaggio] FROM ArchivioEventi WHERE [ID] = ?"), {id}));
}

} // namespace sorvela::archivio

#include "events/grammar/GrammaticaRapporto.h"

#include "core/Numeri.h"

namespace sorvela::grammar {

namespace {

constexpr float kSogliaCredito = 2.5f;
constexpr qint16 kSogliaBatteria = 20;
constexpr qint16 kSogliaSegnale = 2;
constexpr float kCreditoNonDisponibile = 50.0f;

// The text and its lower-case form, made once per reading. Lower-casing goes
// character by character so that both have the same length and a position
// found in one is valid in the other (full Unicode case mapping can turn
// one character into two).
struct Testo {
    explicit Testo(const QString& t) : originale(t)
    {
        minuscolo.resize(t.size());
        for (qsizetype i = 0; i < t.size(); ++i)
            minuscolo[i] = t[i].toLower();
    }
    const QString& originale;
    QString minuscolo;
};

QString estraiCampo(const Testo& t, QStringView chiave, QStringView terminatore)
{
    const qsizetype p = t.minuscolo.indexOf(chiave);
    if (p < 0)
        return {};
    const qsizetype inizio = p + chiave.size();
    const qsizetype fine = t.minuscolo.indexOf(terminatore, inizio);
    if (fine < 0)
        return {};
    return t.originale.mid(inizio, fine - inizio);
}

QString credito(const Testo& t) { return estraiCampo(t, u"credito:", u";"); }

float importo(const Testo& t)
{
    const QString c = credito(t);
    if (c.contains(u"N/D"))
        return kCreditoNonDisponibile;
    return ValoreSingolo(ValoreNumerico(c));
}

qint16 batteria(const Testo& t)
{
    static constexpr QStringView chiave = u"liv. batt.";
    const qsizetype p = t.minuscolo.indexOf(chiave);
    if (p < 0)
        return kBatteriaAssente;
    return InteroArrotondato(ValoreNumerico(t.minuscolo.mid(p + chiave.size())));
}

qint16 segnale(const Testo& t)
{
    static constexpr QStringView chiave = u"segnale";
    const qsizetype p = t.minuscolo.indexOf(chiave);
    if (p < 0)
        return kSegnaleAssente;
    const qsizetype inizio = p + chiave.size();
    const qsizetype fine = t.minuscolo.indexOf(u"/5", inizio);
    if (fine < 0)
        return kSegnaleAssente;
    return InteroArrotondato(ValoreNumerico(t.minuscolo.mid(inizio, fine - inizio)));
}

struct Valutazione {
    float importo;
    qint16 batteria;
    qint16 segnale;
};

Valutazione valuta(const Testo& t) { return {importo(t), batteria(t), segnale(t)}; }

QString tipo(const Testo& t, const Valutazione& v)
{
    if (v.importo > kSogliaCredito && v.batteria > kSogliaBatteria && v.segnale > kSogliaSegnale) {
        // Healthy values alone do not make a check-in: the three words show
        // the text really is a status report.
        const QString& m = t.minuscolo;
        if (m.contains(u"credito") && m.contains(u"rete") && m.contains(u"segnale"))
            return QStringLiteral("Test");
        return {};
    }
    return QStringLiteral("Allarme");
}

QString descrizione(const QString& tipoEvento, const Valutazione& v)
{
    if (tipoEvento == u"Test")
        return QStringLiteral("Stato regolare");
    if (tipoEvento != u"Allarme")
        return {};
    QString guasti;
    if (v.batteria <= kSogliaBatteria)
        guasti += u"Batteria scarica; ";
    if (v.segnale <= kSogliaSegnale)
        guasti += u"Segnale debole;";
    if (v.importo <= kSogliaCredito)
        guasti += u"Scarso credito residuo;";
    return guasti;
}

} // namespace

QString EstraiCredito(const QString& testo) { return credito(Testo(testo)); }
QString EstraiRete(const QString& testo) { return estraiCampo(Testo(testo), u"rete ", u";"); }
QString EstraiSim(const QString& testo) { return estraiCampo(Testo(testo), u"sim ", u";"); }
QString EstraiVersioneSw(const QString& testo) { return estraiCampo(Testo(testo), u"sw:", u"."); }
qint16 EstraiLivelloBatteria(const QString& testo) { return batteria(Testo(testo)); }
qint16 EstraiSegnale(const QString& testo) { return segnale(Testo(testo)); }
float ImportoCredito(const QString& testo) { return importo(Testo(testo)); }

QString ClassificaEvento(const QString& testo)
{
    const Testo t(testo);
    return tipo(t, valuta(t));
}

QString DescriviEvento(const QString& testo)
{
    const Testo t(testo);
    const Valutazione v = valuta(t);
    return descrizione(tipo(t, v), v);
}

Rapporto LeggiRapporto(const QString& testo)
{
    const Testo t(testo);
    const Valutazione v = valuta(t);
    Rapporto r;
    r.credito = credito(t);
    r.importoCredito = v.importo;
    r.rete = estraiCampo(t, u"rete ", u";");
    r.sim = estraiCampo(t, u"sim ", u";");
    r.versioneSw = estraiCampo(t, u"sw:", u".");
    r.batteria = v.batteria;
    r.segnale = v.segnale;
    r.tipo = tipo(t, v);
    r.descrizione = descrizione(r.tipo, v);
    return r;
}

} // namespace sorvela::grammar

#include "registry/PannelloUtente.h"

#include "registry/Disposizione.h"

#include <QButtonGroup>
#include <QRadioButton>

namespace sorvela::registry {

using namespace disposizione;

namespace {

void grassetto(QWidget* w, bool si)
{
    QFont f = w->font();
    f.setBold(si);
    w->setFont(f);
}

void colore(QWidget* w, const QColor& c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::ButtonText, c);
    w->setPalette(p);
}

QRadioButton* opzione(QWidget* genitore, const char* nome, const QString& testo, int y)
{
    auto* r = metti(new QRadioButton(testo, genitore), 150, y, 1500, 330);
    r->setObjectName(QLatin1String(nome));
    return r;
}

} // namespace

PannelloUtente::PannelloUtente(QWidget* genitore)
    : QWidget(genitore)
{
    setObjectName(QStringLiteral("pannelloUtente"));
    QGroupBox* dati = riquadro(this, QStringLiteral("Dati Utente"), 30, 30, 6840, 2520);
    const int xl = 120, lc = 1200, xc = 1350, lungo = 5370;
    int y = 300;
    etichetta(dati, QStringLiteral("Codice"), xl, y, lc);
    m_codice = campo(dati, "Codice", xc, y, 990);
    m_codice->setMaxLength(6);
    auto* cerca = pulsante(dati, "SSCommand2", QStringLiteral("…"), 2400, y - 30, 420);
    cerca->setToolTip(QStringLiteral("Ricerca utente"));
    pulsante(dati, "SSCommand1", QStringLiteral("Contatti"), 5490, y - 30, 1230);
    y += Passo;
    m_lblRagSociale = etichetta(dati, QStringLiteral("Rag. sociale"), xl, y, lc);
    m_lblRagSociale->setObjectName(QStringLiteral("lblRagSociale"));
    m_ragSociale = campo(dati, "RagSociale", xc, y, lungo);
    y += Passo;
    etichetta(dati, QStringLiteral("Nominativo"), xl, y, lc);
    m_nominativo = campo(dati, "Nominativo", xc, y, lungo);
    y += Passo;
    etichetta(dati, QStringLiteral("Indirizzo"), xl, y, lc);
    m_indirizzo = campo(dati, "Indirizzo", xc, y, lungo);
    y += Passo;
    etichetta(dati, QStringLiteral("Città"), xl, y, lc);
    m_citta = campo(dati, "Città", xc, y, 2580);
    etichetta(dati, QStringLiteral("Provincia"), 4020, y, 900);
    m_provincia = campo(dati, "Provincia", 4920, y, 480);
    etichetta(dati, QStringLiteral("CAP"), 5475, y, 450);
    m_cap = campo(dati, "Cap", 5925, y, 795);
    y += Passo;
    etichetta(dati, QStringLiteral("Note"), xl, y, lc);
    m_note = campo(dati, "Note", xc, y, lungo);

    QGroupBox* mon = riquadro(this, QStringLiteral("Monitoraggio"), 6930, 30, 1620, 1230);
    m_attivo = opzione(mon, "Monitoraggio_0", QStringLiteral("Attivo"), 300);
    m_nonAttivo = opzione(mon, "Monitoraggio_1", QStringLiteral("Non Attivo"), 690);
    m_monitoraggio = new QButtonGroup(this);
    m_monitoraggio->setObjectName(QStringLiteral("Monitoraggio"));
    m_monitoraggio->addButton(m_attivo, 0);
    m_monitoraggio->addButton(m_nonAttivo, 1);

    QGroupBox* ute = riquadro(this, QStringLiteral("Tipo Utenza"), 6930, 1320, 1620, 1230);
    m_azienda = opzione(ute, "Utenza1_0", QStringLiteral("Azienda"), 300);
    m_privato = opzione(ute, "Utenza1_1", QStringLiteral("Privato"), 690);
    m_utenza = new QButtonGroup(this);
    m_utenza->setObjectName(QStringLiteral("Utenza1"));
    m_utenza->addButton(m_azienda, 0);
    m_utenza->addButton(m_privato, 1);

    // The operator moves along the address with Enter, and the tabs follow
    // the same order.
    const QList<QLineEdit*> ordine = QList<QLineEdit*>{m_codice} + indirizzo();
    for (qsizetype i = 1; i < ordine.size(); ++i)
        setTabOrder(ordine[i - 1], ordine[i]);

    for (QLineEdit* e : {m_ragSociale, m_nominativo, m_indirizzo, m_citta, m_note})
        limita(e, lunghezze::Testo);
    limita(m_provincia, lunghezze::Provincia);
    limita(m_cap, lunghezze::Cap);
    for (QLineEdit* e : indirizzo())
        connect(e, &QLineEdit::textChanged, this, &PannelloUtente::modificato);
    connect(m_utenza, &QButtonGroup::idToggled, this, [this](int id, bool acceso) {
        if (acceso) {
            scegliUtenza(id == 0);
            emit modificato();
        }
    });
    connect(m_monitoraggio, &QButtonGroup::idToggled, this, [this](int id, bool acceso) {
        if (acceso) {
            scegliMonitoraggio(id == 0);
            emit modificato();
        }
    });
    scegliUtenza(true);
    scegliMonitoraggio(true);
}

QLineEdit* PannelloUtente::primoCampo() const
{
    return m_ragSociale->isEnabled() ? m_ragSociale : m_nominativo;
}

QList<QLineEdit*> PannelloUtente::indirizzo() const
{
    return {m_ragSociale, m_nominativo, m_indirizzo, m_citta, m_provincia, m_cap, m_note};
}

void PannelloUtente::leggi(SchedaUtente& s) const
{
    s.codice = m_codice->text();
    s.monitoraggio = m_attivo->isChecked();
    s.azienda = m_azienda->isChecked();
    s.ragioneSociale = m_ragSociale->text();
    s.nome = m_nominativo->text();
    s.indirizzo = m_indirizzo->text();
    s.citta = m_citta->text();
    s.provincia = m_provincia->text();
    s.cap = m_cap->text();
    s.note = m_note->text();
}

void PannelloUtente::mostra(const SchedaUtente& s)
{
    (s.azienda ? m_azienda : m_privato)->setChecked(true);
    scegliUtenza(s.azienda);
    (s.monitoraggio ? m_attivo : m_nonAttivo)->setChecked(true);
    scegliMonitoraggio(s.monitoraggio);
    mostraTesto(m_ragSociale, s.ragioneSociale);
    mostraTesto(m_nominativo, s.nome);
    mostraTesto(m_indirizzo, s.indirizzo);
    mostraTesto(m_citta, s.citta);
    mostraTesto(m_provincia, s.provincia);
    mostraTesto(m_cap, s.cap);
    mostraTesto(m_note, s.note);
}

void PannelloUtente::scegliUtenza(bool azienda)
{
    grassetto(m_azienda, azienda);
    grassetto(m_privato, !azienda);
    m_lblRagSociale->setEnabled(azienda);
    m_ragSociale->setEnabled(azienda);
    if (!azienda)
        m_ragSociale->clear();
}

void PannelloUtente::scegliMonitoraggio(bool attivo)
{
    const QColor testo = palette().color(QPalette::ButtonText);
    grassetto(m_attivo, attivo);
    grassetto(m_nonAttivo, !attivo);
    colore(m_attivo, attivo ? QColor(0, 128, 0) : testo);
    colore(m_nonAttivo, attivo ? testo : QColor(255, 0, 0));
}

} // namespace sorvela::registry

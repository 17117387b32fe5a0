#include "registry/TabImpianto.h"

#include "core/Numeri.h"
#include "registry/Disposizione.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalBlocker>

namespace sorvela::registry {

using namespace disposizione;

TabImpianto::TabImpianto(QWidget* genitore)
    : QWidget(genitore)
{
    setObjectName(QStringLiteral("tabImpianto"));
    QGroupBox* linee = riquadro(this, QStringLiteral("Linee telefoniche"), 30, 30, 3570, 1755);
    int y = 300;
    etichetta(linee, QStringLiteral("Telefono GSM fonia"), 90, y, 1800);
    m_gsmFonia = campo(linee, "GSMFonia", 1890, y, 1605);
    y += Passo;
    etichetta(linee, QStringLiteral("Telefono GSM dati"), 90, y, 1800);
    m_gsmDati = campo(linee, "GSMDati", 1890, y, 1605);
    y += Passo;
    etichetta(linee, QStringLiteral("Linea PSTN"), 90, y, 1800);
    m_pstn = campo(linee, "PSTN", 1890, y, 1605);
    y += Passo;
    etichetta(linee, QStringLiteral("Scadenza carta"), 90, y, 1800);
    m_scadenza = campo(linee, "Scadenza", 1890, y, 1200);

    QGroupBox* per = riquadro(this, QStringLiteral("Dati periferica"), 3645, 30, 4065, 1755);
    y = 300;
    etichetta(per, QStringLiteral("Periferica"), 90, y, 1290);
    // As wide as a type's name: "Sentinella GSM 4" whole, not cut.
    m_periferiche = metti(new QComboBox(per), 1380, y, 2250);
    m_periferiche->setObjectName(QStringLiteral("Periferiche"));
    m_periferiche->setEditable(true);
    // A typed name stays a typed name until it is saved as a new type.
    m_periferiche->setInsertPolicy(QComboBox::NoInsert);
    auto* tipo = pulsante(per, "SSCommand3", QStringLiteral("…"), 3645, y - 30, 345);
    tipo->setToolTip(QStringLiteral("Tipi di periferica"));
    y += Passo;
    etichetta(per, QStringLiteral("Protocollo"), 90, y, 1290);
    m_protocollo = metti(new QComboBox(per), 1380, y, 2250);
    m_protocollo->setObjectName(QStringLiteral("Protocollo"));
    m_protocollo->addItem(QStringLiteral(" "));
    y += Passo;
    etichetta(per, QStringLiteral("Test Periodico"), 90, y, 1290);
    m_sopravvivenza = campo(per, "Sopravvivenza", 1380, y, 720);
    m_passoPeriodo = metti(new QScrollBar(Qt::Vertical, per), 2115, y, 240);
    m_passoPeriodo->setObjectName(QStringLiteral("VScroll2"));
    m_passoPeriodo->setRange(-1, 1);
    m_passoPeriodo->setValue(0);
    etichetta(per, QStringLiteral("Ore "), 2415, y, 600);
    y += Passo;
    etichetta(per, QStringLiteral("Matricola"), 90, y, 1290);
    m_matricola = campo(per, "Matricola", 1380, y, 990);
    m_matricola->setMaxLength(6);

    QGroupBox* ins = riquadro(this, QStringLiteral("Dati di installazione"), 7755, 30, 3225, 1755);
    y = 300;
    etichetta(ins, QStringLiteral("Data installazione"), 90, y, 1710);
    m_installata = campo(ins, "Installata", 1800, y, 1365);
    y += Passo;
    etichetta(ins, QStringLiteral("Installatore"), 90, y, 1710);
    m_installatore = campo(ins, "Installatore", 1800, y, 1365);
    y += Passo;
    etichetta(ins, QStringLiteral("Telefono"), 90, y, 1710);
    m_telInstallatore = campo(ins, "TelInstallatore", 1800, y, 1365);

    // Room for the caption line and at least six inputs under the headings.
    m_ingressi = riquadro(this, QStringLiteral("Dati Periferica"), 30, 1800, 10950, 2700);
    m_ingressi->setObjectName(QStringLiteral("fraIngressi"));

    for (QLineEdit* e : {m_gsmFonia, m_gsmDati, m_pstn, m_telInstallatore})
        limita(e, lunghezze::Telefono);
    limita(m_installatore, lunghezze::Testo);
    limita(m_scadenza, lunghezze::Data);
    limita(m_installata, lunghezze::Data);
    m_periferiche->lineEdit()->setMaxLength(lunghezze::Testo);
    for (QLineEdit* e : {m_gsmFonia, m_gsmDati, m_pstn, m_sopravvivenza, m_matricola, m_installata,
                         m_installatore, m_telInstallatore})
        connect(e, &QLineEdit::textChanged, this, &TabImpianto::modificato);
    connect(m_scadenza, &QLineEdit::textChanged, this, &TabImpianto::scadenzaModificata);
    // The blank entry means "no type": choosing it is not a change.
    connect(m_periferiche, &QComboBox::editTextChanged, this, [this](const QString& t) {
        if (!t.trimmed().isEmpty())
            emit modificato();
    });
    connect(m_protocollo, &QComboBox::activated, this, [this](int) {
        m_protocollo->setCurrentIndex(0);
        emit modificato();
    });
    connect(m_passoPeriodo, &QScrollBar::valueChanged, this, &TabImpianto::passoPeriodo);
}

void TabImpianto::leggi(SchedaUtente& s) const
{
    s.modello = m_periferiche->currentText();
    s.periodo = m_sopravvivenza->text();
    s.pstn = m_pstn->text();
    s.gsmFonia = m_gsmFonia->text();
    s.gsmDati = m_gsmDati->text();
    s.installazione = m_installata->text();
    s.installatore = m_installatore->text();
    s.telInstallatore = m_telInstallatore->text();
    s.scadenza = m_scadenza->text();
}

void TabImpianto::mostra(const SchedaUtente& s)
{
    impostaModello(s.modello);
    m_sopravvivenza->setText(s.periodo);
    m_protocollo->setCurrentIndex(0);
    mostraTesto(m_pstn, s.pstn);
    mostraTesto(m_gsmFonia, s.gsmFonia);
    mostraTesto(m_gsmDati, s.gsmDati);
    mostraTesto(m_scadenza, s.scadenza);
    mostraTesto(m_installata, s.installazione);
    mostraTesto(m_installatore, s.installatore);
    mostraTesto(m_telInstallatore, s.telInstallatore);
}

void TabImpianto::mostraDate(const SchedaUtente& s)
{
    for (auto [campo, testo] : {std::pair{m_scadenza, s.scadenza}, {m_installata, s.installazione}}) {
        if (campo->text() != testo) {
            mostraTesto(campo, testo);
            campo->setCursorPosition(0);
        }
    }
}

void TabImpianto::mostraConfigurazione(const Configurazione& c)
{
    impostaModello(c.modello);
    m_sopravvivenza->setText(c.periodo);
    mostraTesto(m_installatore, c.installatore);
    mostraTesto(m_telInstallatore, c.telInstallatore);
}

void TabImpianto::impostaTipi(const QStringList& tipi)
{
    const QString attuale = m_periferiche->currentText();
    const QSignalBlocker blocco(m_periferiche);
    m_periferiche->clear();
    m_periferiche->addItems(tipi);
    m_periferiche->setEditText(attuale);
    // A name longer than the box is read whole in the open list.
    int piuLungo = 0;
    for (const QString& t : tipi)
        piuLungo = std::max(piuLungo, m_periferiche->fontMetrics().horizontalAdvance(t));
    m_periferiche->view()->setMinimumWidth(piuLungo + twips::inPixel(600));
}

void TabImpianto::impostaModello(const QString& modello)
{
    m_periferiche->lineEdit()->setMaxLength(std::max(lunghezze::Testo, int(modello.size())));
    const int i = m_periferiche->findText(modello, Qt::MatchExactly);
    if (i >= 0)
        m_periferiche->setCurrentIndex(i);
    m_periferiche->setEditText(modello);
}

QString TabImpianto::tipoPeriferica() const
{
    return m_periferiche->currentText();
}

bool TabImpianto::tipoInElenco(const QString& nome) const
{
    return m_periferiche->findText(nome, Qt::MatchExactly) >= 0;
}

int TabImpianto::posizioneTipo() const
{
    const int i = m_periferiche->findText(m_periferiche->currentText(), Qt::MatchExactly);
    return i < 0 ? 0 : i;
}

int TabImpianto::posizioneProtocollo() const
{
    return m_protocollo->currentIndex();
}

QWidget* TabImpianto::contenitoreIngressi() const
{
    return m_ingressi;
}

void TabImpianto::passoPeriodo(int valore)
{
    if (valore == 0)
        return;
    // The bar's upper arrow lowers its value: up means one hour more.
    const double somma = ValoreNumerico(m_sopravvivenza->text()) - valore;
    if (somma >= 0)
        m_sopravvivenza->setText(QString::number(somma));
    const QSignalBlocker blocco(m_passoPeriodo);
    m_passoPeriodo->setValue(0);
}

} // namespace sorvela::registry

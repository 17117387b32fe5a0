#include "registry/TabellaIngressi.h"

#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/Twips.h"
#include "registry/AnagraficaUtenti.h"
#include "registry/Disposizione.h"
#include "store/Database.h"
#include "windows/EditorCella.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace sorvela::registry {

using namespace disposizione;

namespace {

constexpr auto IntervalloSegui = std::chrono::milliseconds(20);
constexpr int AltezzaRiga = 315;
constexpr int LarghezzaPulsantino = 270;
const QColor VerdeChiaro(192, 255, 192);
// Designed column widths, twips: in use, code, zone, description, kind,
// treatment, number.
constexpr int Larghezze[7] = {600, 1200, 700, 3600, 1500, 1200, 1000};

} // namespace

TabellaIngressi::TabellaIngressi(Contesto& ctx, AnagraficaUtenti& finestra)
    : QWidget(finestra.contenitoreIngressi())
    , m_ctx(ctx)
    , m_finestra(finestra)
{
    setObjectName(QStringLiteral("tabellaIngressi"));
    QWidget* cornice = parentWidget();
    setGeometry(cornice->rect());

    // On the frame's caption line, at its right, so the grid keeps the height.
    m_visualTutto = new QCheckBox(QStringLiteral("Visualizza tutti gli eventi inviabili dalla periferica"), this);
    m_visualTutto->setObjectName(QStringLiteral("VisualTutto"));
    m_visualTutto->setLayoutDirection(Qt::RightToLeft);
    const QSize voce = m_visualTutto->sizeHint();
    m_visualTutto->setGeometry(width() - voce.width() - twips::inPixel(90), 0, voce.width(), voce.height());

    // The grid takes the rest of the frame, below the caption line.
    const int sotto = std::max(voce.height(), twips::inPixel(270));
    m_griglia = new QTableWidget(1, 7, this);
    m_griglia->setGeometry(twips::inPixel(90), sotto, width() - twips::inPixel(180), height() - sotto - twips::inPixel(75));
    m_griglia->setObjectName(QStringLiteral("Ingressi"));
    m_griglia->setHorizontalHeaderLabels({QStringLiteral("In uso"), QStringLiteral("Codice"), QStringLiteral("Zona"),
                                          QStringLiteral("Descrizione"), QStringLiteral("Tipo Evento"),
                                          QStringLiteral("Trattamento"), QStringLiteral("Numero")});
    cella::preparaGriglia(m_griglia, twips::inPixel(AltezzaRiga));
    m_griglia->horizontalHeader()->setFixedHeight(m_griglia->fontMetrics().height() + 4);
    for (int c = 0; c < 7; ++c)
        m_griglia->setColumnWidth(c, twips::inPixel(Larghezze[c]));

    // The type's row behind each grid row; never shown.
    m_contatore = new QTableWidget(1, 1, this);
    m_contatore->setObjectName(QStringLiteral("Contatore"));
    m_contatore->hide();

    QWidget* vista = m_griglia->viewport();
    m_ssPanel3 = new QFrame(vista);
    m_ssPanel3->setObjectName(QStringLiteral("SSPanel3"));
    m_ssPanel3->setFrameShape(QFrame::Panel);
    m_ssPanel3->setFrameShadow(QFrame::Raised);
    m_ssPanel3->setAutoFillBackground(true);
    m_check1 = new QCheckBox(m_ssPanel3);
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_text2 = new QLineEdit(vista);
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_ssCommand4 = new QPushButton(QStringLiteral("…"), vista);
    m_ssCommand4->setObjectName(QStringLiteral("SSCommand4"));
    m_text1 = new QLineEdit(vista);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_combo1 = new QComboBox(vista);
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo1->addItems(TipiEventoUtente);
    m_combo2 = new QComboBox(vista);
    m_combo2->setObjectName(QStringLiteral("Combo2"));
    m_combo2->addItems(catalog::Trattamenti);
    m_text3 = new QLineEdit(vista);
    m_text3->setObjectName(QStringLiteral("Text3"));
    // Digits only, also when pasted.
    m_text3->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_text3));
    m_ssCommand6 = new QPushButton(QStringLiteral("…"), vista);
    m_ssCommand6->setObjectName(QStringLiteral("SSCommand6"));
    // Both would open windows this console does not have: they stay
    // disabled rather than doing nothing when pressed.
    m_ssCommand4->setEnabled(false);
    m_ssCommand6->setEnabled(false);
    for (QWidget* e : {static_cast<QWidget*>(m_ssPanel3), static_cast<QWidget*>(m_text2),
                       static_cast<QWidget*>(m_ssCommand4), static_cast<QWidget*>(m_text1),
                       static_cast<QWidget*>(m_combo1), static_cast<QWidget*>(m_combo2),
                       static_cast<QWidget*>(m_text3), static_cast<QWidget*>(m_ssCommand6)})
        e->hide();
    for (QWidget* e : {static_cast<QWidget*>(m_check1), static_cast<QWidget*>(m_text2),
                       static_cast<QWidget*>(m_text1), static_cast<QWidget*>(m_combo1),
                       static_cast<QWidget*>(m_combo2), static_cast<QWidget*>(m_text3)})
        e->installEventFilter(this);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(IntervalloSegui);

    connect(m_timer1, &QTimer::timeout, this, &TabellaIngressi::segui);
    connect(m_visualTutto, &QCheckBox::clicked, this, &TabellaIngressi::cambiaVista);
    connect(m_griglia, &QTableWidget::cellClicked, this, &TabellaIngressi::apriCella);
    connect(m_check1, &QCheckBox::clicked, this, &TabellaIngressi::segnaUso);
    for (QLineEdit* e : {m_text1, m_text2, m_text3})
        connect(e, &QLineEdit::textEdited, this, &TabellaIngressi::scriviCella);
    for (QComboBox* l : {m_combo1, m_combo2})
        connect(l, &QComboBox::activated, this, [this, l](int i) { scriviCella(l->itemText(i)); });

    GanciScheda& g = m_finestra.ganci();
    g.VisualTutto = [this](bool tutti) { VisualTutto(tutti); };
    g.azzeraIngressi = [this] {
        chiudiEditor();
        m_timer1->stop();
        m_colonna = -1;
        mostraRighe(vista::vuota());
        m_letto = true;
    };
    g.fermaTracciamento = [this] { m_timer1->stop(); };
    g.chiudiEditor = [this] { chiudiEditor(); };
    g.nonInModifica = [this] { m_colonna = -1; };
    g.caricaIngressi = [this](const QString& codice) { carica(codice); };
    g.righeIngressi = [this] { return m_letto ? std::optional(righe()) : std::nullopt; };
}

QList<RigaIngresso> TabellaIngressi::righe() const
{
    QList<RigaIngresso> r;
    for (int i = 0; i < m_griglia->rowCount(); ++i) {
        auto cella = [&](int c) {
            const QTableWidgetItem* it = m_griglia->item(i, c);
            return it ? it->text() : QString();
        };
        RigaIngresso x{cella(0), cella(1), cella(2), cella(3), cella(4), cella(5), cella(6), std::nullopt};
        const QTableWidgetItem* k = m_contatore->item(i, 0);
        if (k && !k->text().isEmpty())
            x.contatore = k->text().toInt();
        r << x;
    }
    return r;
}

void TabellaIngressi::mostraRighe(const QList<RigaIngresso>& righe)
{
    m_griglia->clearContents();
    m_contatore->clearContents();
    m_griglia->setRowCount(int(righe.size()));
    m_contatore->setRowCount(int(righe.size()));
    for (int i = 0; i < righe.size(); ++i) {
        const RigaIngresso& r = righe[i];
        const QString celle[7] = {r.uso, r.codiceEvento, r.zona, r.desEvento, r.tipoEvento, r.trattamento, r.numero};
        for (int c = 0; c < 7; ++c) {
            auto* it = new QTableWidgetItem(celle[c]);
            if (c != 3)
                it->setTextAlignment(Qt::AlignCenter);
            if (c == 0 && r.uso == InUso)
                it->setBackground(VerdeChiaro);
            m_griglia->setItem(i, c, it);
        }
        m_contatore->setItem(i, 0, new QTableWidgetItem(r.contatore ? QString::number(*r.contatore) : QString()));
    }
}

void TabellaIngressi::carica(const QString& codice)
{
    chiudiEditor();
    m_timer1->stop();
    m_colonna = -1;
    QList<RigaIngresso> r = vista::vuota();
    m_letto = true;
    try {
        r = IngressiUtente(*m_ctx.db).leggi(codice);
    } catch (const store::ErroreDatabase& e) {
        // Shown empty, and a save leaves the kept rows alone.
        m_letto = false;
        m_ctx.messaggi->avvisa(Icona::Errore,
                               QStringLiteral("Impossibile leggere gli ingressi dell'utente ") + codice +
                                   QStringLiteral(".\nErrore del database: ") + QString::fromUtf8(e.what()),
                               TitoloAnagrafica);
    }
    mostraRighe(r);
}

void TabellaIngressi::VisualTutto(bool tutti)
{
    if (m_visualTutto->isChecked() == tutti)
        return;
    {
        const QSignalBlocker b(m_visualTutto);
        m_visualTutto->setChecked(tutti);
    }
    cambiaVista();
}

void TabellaIngressi::cambiaVista()
{
    // Without a type there is nothing to offer, and nothing changes.
    const QString tipo = m_finestra.tipoPeriferica();
    if (tipo.trimmed().isEmpty())
        return;
    chiudiEditor();
    m_timer1->stop();
    m_colonna = -1;
    if (m_visualTutto->isChecked()) {
        catalog::ElencoIngressi offerti;
        try {
            catalog::Catalogo c(*m_ctx.db);
            offerti = c.ingressiDelTipo(tipo);
            if (offerti.righe.isEmpty() && tipo.trimmed() != tipo)
                offerti = c.ingressiDelTipo(tipo.trimmed());
        } catch (const store::ErroreDatabase& e) {
            m_ctx.messaggi->avvisa(Icona::Errore,
                                   QStringLiteral("Impossibile leggere gli ingressi del tipo ") + tipo +
                                       QStringLiteral(".\nErrore del database: ") + QString::fromUtf8(e.what()),
                                   TitoloAnagrafica);
            return;
        }
        // A type name typed and not yet saved offers no inputs: the rows
        // already listed stay as they are.
        mostraRighe(vista::tutti(righe(), offerti.righe));
    } else {
        mostraRighe(vista::inUso(righe()));
    }
    m_finestra.segnaModificato();
}

QWidget* TabellaIngressi::editor(int colonna) const
{
    switch (colonna) {
    case 0: return m_ssPanel3;
    case 1: return m_text2;
    case 3: return m_text1;
    case 4: return m_combo1;
    case 5: return m_combo2;
    case 6: return m_text3;
    default: return nullptr;
    }
}

void TabellaIngressi::chiudiEditor()
{
    if (QWidget* e = editor(m_colonna))
        e->hide();
    m_ssCommand4->hide();
    m_ssCommand6->hide();
}

bool TabellaIngressi::trattata(int riga) const
{
    const QTableWidgetItem* t = m_griglia->item(riga, 5);
    return t && t->text() == catalog::Trattamenti[0];
}

void TabellaIngressi::apriCella(int riga, int colonna)
{
    chiudiEditor();
    // The number belongs to treated inputs only: elsewhere the treatment is
    // what there is to choose.
    if (colonna == 6 && !trattata(riga))
        colonna = 5;
    m_riga = riga;
    m_colonna = colonna;
    const QTableWidgetItem* cella = m_griglia->item(riga, colonna);
    const QString testo = cella ? cella->text() : QString();
    switch (colonna) {
    case 0: {
        const QSignalBlocker b(m_check1);
        m_check1->setChecked(testo == InUso);
        break;
    }
    case 1:
    case 3:
    case 6: {
        sorvela::cella::riempiEditor(static_cast<QLineEdit*>(editor(colonna)), testo);
        break;
    }
    case 4:
    case 5: {
        QComboBox* l = colonna == 4 ? m_combo1 : m_combo2;
        const int voce = colonna == 4 ? catalog::riconosci(TipiEventoUtente, testo, 4)
                                      : catalog::riconosciTrattamento(testo);
        if (voce >= 0) {
            const QSignalBlocker b(l);
            l->setCurrentIndex(voce);
            // The cell takes the item's own spelling; opening it is not a
            // change the operator made.
            if (cella && cella->text() != l->itemText(voce))
                m_griglia->item(riga, colonna)->setText(l->itemText(voce));
        }
        break;
    }
    default:
        break;   // the zone is shown, never edited
    }
    segui();
    if (colonna == 0)
        m_check1->setFocus(Qt::MouseFocusReason);
    else if (QWidget* e = editor(colonna))
        e->setFocus(Qt::MouseFocusReason);
    m_timer1->start();
}

void TabellaIngressi::segui()
{
    QWidget* e = editor(m_colonna);
    if (!e)
        return;
    QPushButton* pulsantino = m_colonna == 1 ? m_ssCommand4 : m_colonna == 6 ? m_ssCommand6 : nullptr;
    const QRect dove = cella::posaEditor(m_griglia, m_riga, m_colonna, e, pulsantino,
                                         twips::inPixel(LarghezzaPulsantino));
    if (m_colonna == 0 && !dove.isEmpty()) {
        // The tick box sits in the middle of the panel laid over the cell.
        const QSize s = m_check1->sizeHint();
        const QRect centro((dove.width() - s.width()) / 2, (dove.height() - s.height()) / 2, s.width(), s.height());
        if (m_check1->geometry() != centro)
            m_check1->setGeometry(centro);
    }
}

void TabellaIngressi::scriviCella(const QString& testo)
{
    // The rows in use are kept with the record: an edit is a change of it.
    // Only the description is left-aligned.
    if (cella::scriviCella(m_griglia, m_riga, m_colonna, testo, m_colonna != 3))
        m_finestra.segnaModificato();
}

void TabellaIngressi::segnaUso(bool si)
{
    if (m_colonna != 0)
        return;
    scriviCella(si ? InUso : NonInUso);
    if (QTableWidgetItem* cella = m_griglia->item(m_riga, 0))
        cella->setBackground(si ? QBrush(VerdeChiaro) : QBrush());
}

bool TabellaIngressi::eventFilter(QObject* o, QEvent* e)
{
    if (e->type() != QEvent::KeyPress)
        return QWidget::eventFilter(o, e);
    const auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
        // Enter walks along the input's own row: code, description, kind,
        // treatment, then the number only for a treated input.
        int prossima = 1;
        switch (m_colonna) {
        case 0: prossima = 1; break;
        case 1: prossima = 3; break;
        case 3: prossima = 4; break;
        case 4: prossima = 5; break;
        case 5: prossima = trattata(m_riga) ? 6 : 1; break;
        default: prossima = 1; break;
        }
        apriCella(m_riga, prossima);
        return true;
    }
    const QString t = k->text();
    if (t.isEmpty() || !t[0].isPrint())
        return false;   // control keys pass
    if (o == m_text3) {
        for (const QChar c : t)
            if (!c.isDigit() || c.unicode() > 127)
                return true;
        return false;
    }
    if (o == m_text1) {
        const bool inizio = m_text1->text().isEmpty() || m_text1->selectedText() == m_text1->text();
        if (inizio && t.toUpper() != t) {
            m_text1->insert(t.toUpper());
            scriviCella(m_text1->text());
            return true;
        }
    }
    return false;
}

} // namespace sorvela::registry

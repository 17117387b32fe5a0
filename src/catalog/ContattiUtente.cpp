#include "catalog/ContattiUtente.h"

#include <algorithm>

#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/Twips.h"
#include "store/Database.h"
#include "windows/Cornice.h"
#include "windows/EditorCella.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <chrono>

namespace sorvela {

using catalog::Contatti;
using catalog::Contatto;

namespace {

constexpr int Limiti[3] = {catalog::LunghezzaContatto, catalog::LunghezzaNumero, catalog::LunghezzaNota};
constexpr auto IntervalloSegui = std::chrono::milliseconds(20);

QString titolo(const QString& codice)
{
    return QStringLiteral("Contatti dell'utente ") + codice;
}

QPushButton* pulsante(QWidget* genitore, const char* nome, const QString& testo, int x, int y)
{
    auto* b = new QPushButton(testo, genitore);
    b->setObjectName(QLatin1String(nome));
    b->setGeometry(twips::inPixel(x), twips::inPixel(y), twips::inPixel(1200), twips::inPixel(375));
    return b;
}

} // namespace

ContattiUtente::ContattiUtente(Contesto& ctx, const QString& codice, QWidget* parent)
    : QWidget(parent), m_ctx(ctx), m_codice(codice)
{
    setObjectName(QStringLiteral("ContattiUtente"));
    setWindowTitle(titolo(m_codice));
    auto* strato = new QVBoxLayout(this);
    strato->setContentsMargins(0, 0, 0, 0);
    m_cornice = new Cornice(cornici::ContattiUtente, *m_ctx.preferenze, this);
    strato->addWidget(m_cornice);
    QWidget* in = m_cornice->interno();

    m_griglia = new QTableWidget(0, 3, in);
    m_griglia->setObjectName(QStringLiteral("Recapiti"));
    m_griglia->setHorizontalHeaderLabels(
        {QStringLiteral("Contatto"), QStringLiteral("Numero"), QStringLiteral("  Note")});
    m_griglia->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_griglia->horizontalHeader()->setHighlightSections(false);
    m_griglia->verticalHeader()->hide();
    m_griglia->verticalHeader()->setDefaultSectionSize(twips::inPixel(315));
    // Cells are edited only through the text box laid over them.
    m_griglia->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_griglia->setSelectionMode(QAbstractItemView::NoSelection);
    m_griglia->setColumnWidth(0, twips::inPixel(2500));
    m_griglia->setColumnWidth(1, m_griglia->fontMetrics().horizontalAdvance(QStringLiteral("01234567890123")) +
                                     twips::inPixel(15));
    m_griglia->setColumnWidth(2, twips::inPixel(3550));
    const int larghezza = m_griglia->columnWidth(0) + m_griglia->columnWidth(1) + m_griglia->columnWidth(2) +
                          m_griglia->verticalScrollBar()->sizeHint().width() + 2 * m_griglia->frameWidth();
    m_griglia->setGeometry(twips::inPixel(60), twips::inPixel(60), larghezza, twips::inPixel(1425));
    m_griglia->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_griglia->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    m_editor = new QLineEdit(m_griglia->viewport());
    m_editor->setObjectName(QStringLiteral("Text1"));
    m_editor->setFrame(false);
    m_editor->installEventFilter(this);
    m_editor->hide();

    const int yb = 1575;
    auto* salva = pulsante(in, "Salva", QStringLiteral("Salva"), 4710, yb);
    auto* annulla = pulsante(in, "Annulla", QStringLiteral("Annulla"), 5985, yb);
    auto* esci = pulsante(in, "Esci", QStringLiteral("Esci"), 7260, yb);

    m_segui = new QTimer(this);
    m_segui->setInterval(IntervalloSegui);
    connect(m_segui, &QTimer::timeout, this, &ContattiUtente::segui);
    connect(m_griglia, &QTableWidget::cellClicked, this, &ContattiUtente::apriCella);
    connect(m_editor, &QLineEdit::textEdited, this, &ContattiUtente::testoCambiato);
    connect(salva, &QPushButton::clicked, this, [this] { Salva(); });
    connect(annulla, &QPushButton::clicked, this, &ContattiUtente::Annulla);
    connect(esci, &QPushButton::clicked, this, [this] { m_cornice->finestra()->close(); });
}

ContattiUtente::~ContattiUtente()
{
    // A window closed properly has cleared the flag already, and by the time
    // it is deleted a new one may have set it again.
    if (m_avviata && !m_chiusa)
        m_ctx.aperte.ContattiUtente = false;
}

void ContattiUtente::avvia()
{
    m_ctx.aperte.ContattiUtente = true;
    m_avviata = true;
    m_cornice->leggiGeometria();
    carica();
    m_cornice->finestra()->show();
    m_editor->setFocus();
}

void ContattiUtente::carica()
{
    QList<Contatto> elenco;
    m_letto = true;
    try {
        elenco = Contatti(*m_ctx.db).leggi(m_codice);
    } catch (const store::ErroreDatabase& e) {
        m_letto = false;
        m_ctx.messaggi->avvisa(Icona::Errore,
                               QStringLiteral("Impossibile leggere i contatti.\nErrore del database: ") +
                                   QString::fromUtf8(e.what()),
                               titolo(m_codice));
    }
    m_griglia->clearContents();
    m_griglia->setRowCount(static_cast<int>(elenco.size()) + 1);
    for (int r = 0; r < elenco.size(); ++r) {
        m_griglia->setItem(r, 0, new QTableWidgetItem(elenco[r].nome));
        m_griglia->setItem(r, 1, new QTableWidgetItem(elenco[r].numero));
        m_griglia->setItem(r, 2, new QTableWidgetItem(elenco[r].nota));
    }
    m_griglia->scrollToTop();
    apriCella(0, 0);
    m_segui->start();
    m_modificato = false;
}

void ContattiUtente::apriCella(int riga, int colonna)
{
    m_riga = riga;
    m_colonna = colonna;
    const QTableWidgetItem* cella = m_griglia->item(riga, colonna);
    // A stored value longer than the column's limit is edited whole: the
    // editor writes its text back into the cell, and a cut would be saved.
    m_editor->setMaxLength(std::max(Limiti[colonna], cella ? int(cella->text().size()) : 0));
    // Filling the editor is not a change: only typing marks the list modified.
    sorvela::cella::riempiEditor(m_editor, cella ? cella->text() : QString());
    segui();
    m_editor->show();
    m_editor->setFocus();
}

void ContattiUtente::testoCambiato(const QString& testo)
{
    QTableWidgetItem* cella = m_griglia->item(m_riga, m_colonna);
    if (!cella) {
        cella = new QTableWidgetItem;
        m_griglia->setItem(m_riga, m_colonna, cella);
    }
    cella->setText(testo);
    m_modificato = true;
    // The entry row has been used: a new empty one goes below it.
    if (m_riga == m_griglia->rowCount() - 1 && !testo.isEmpty())
        m_griglia->setRowCount(m_griglia->rowCount() + 1);
}

void ContattiUtente::segui()
{
    const QRect cella = m_griglia->visualRect(m_griglia->model()->index(m_riga, m_colonna));
    if (cella.isEmpty() || !m_griglia->viewport()->rect().intersects(cella)) {
        m_editor->hide();
        return;
    }
    if (m_editor->geometry() != cella)
        m_editor->setGeometry(cella);
    m_editor->show();
}

bool ContattiUtente::Salva()
{
    // Saving replaces the whole stored list: without having read it, that
    // would wipe contacts the operator never saw.
    if (!m_letto) {
        m_ctx.messaggi->avvisa(Icona::Errore,
                               QStringLiteral("Impossibile memorizzare i contatti: l'elenco memorizzato non è stato letto."),
                               titolo(m_codice));
        return false;
    }
    QList<Contatto> elenco;
    for (int r = 0; r < m_griglia->rowCount(); ++r) {
        auto testo = [&](int c) {
            const QTableWidgetItem* i = m_griglia->item(r, c);
            return i ? i->text() : QString();
        };
        elenco.append({testo(0), testo(1), testo(2)});
    }
    try {
        Contatti(*m_ctx.db, &m_ctx).sostituisci(m_codice, elenco);
    } catch (const store::ErroreDatabase& e) {
        // The grid keeps every typed character; the stored list is untouched.
        m_ctx.messaggi->avvisa(Icona::Errore,
                               QStringLiteral("Impossibile memorizzare i contatti.\nErrore del database: ") +
                                   QString::fromUtf8(e.what()),
                               titolo(m_codice));
        return false;
    }
    carica();
    return true;
}

void ContattiUtente::Annulla()
{
    m_segui->stop();
    carica();
}

bool ContattiUtente::eventFilter(QObject* o, QEvent* e)
{
    if (o == m_editor && e->type() == QEvent::KeyPress) {
        const auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            // Enter walks along the contact's own row, never to another one.
            apriCella(m_riga, (m_colonna + 1) % 3);
            return true;
        }
    }
    return QWidget::eventFilter(o, e);
}

void ContattiUtente::closeEvent(QCloseEvent* e)
{
    if (m_modificato) {
        const Risposta r = m_ctx.messaggi->chiedi(Icona::Domanda,
                                                  QStringLiteral("Sono state apportate modifiche, le si voule salvare?"),
                                                  Pulsanti::SiNoAnnulla, titolo(m_codice));
        if (r == Risposta::Annulla || (r == Risposta::Si && !Salva())) {
            e->ignore();
            if (m_editor->isVisible())
                m_editor->setFocus();
            return;
        }
    }
    m_segui->stop();
    m_chiusa = true;
    if (m_avviata)
        m_cornice->salvaGeometria();
    m_ctx.aperte.ContattiUtente = false;
    e->accept();
}

} // namespace sorvela

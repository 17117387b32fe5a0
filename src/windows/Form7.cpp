#include "windows/Form7.h"

#include "core/DateItaliane.h"
#include "core/Orologio.h"
#include "interrogation/StampaStorico.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "store/Database.h"
#include "windows/Elenco.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace sorvela {

namespace {

const QString Tutti = QStringLiteral("Tutti");
const QString NessunEvento = QStringLiteral("Nessun evento");
// A printout of more events than this is asked for first: it runs to many
// pages.
constexpr qint64 RigheSenzaDomanda = 2000;

bool invio(QEvent* e)
{
    if (e->type() != QEvent::KeyPress)
        return false;
    const int t = static_cast<QKeyEvent*>(e)->key();
    return t == Qt::Key_Return || t == Qt::Key_Enter;
}

} // namespace

Form7::Form7(Contesto& ctx, QWidget* genitore)
    : QWidget(genitore)
    , m_ctx(ctx)
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(Titolo);
    costruisci();
    apri();
}

Form7::~Form7()
{
    if (!m_chiusa)
        m_ctx.aperte.Form7 = false;
}

void Form7::costruisci()
{
    auto* v = new QVBoxLayout(this);
    auto* alto = new QHBoxLayout;
    v->addLayout(alto);

    // Code and days on the left, the options beside them.
    auto* campi = new QGridLayout;
    alto->addLayout(campi);
    auto etichetta = [this](const char* nome, const QString& testo) {
        auto* l = new QLabel(testo, this);
        l->setObjectName(QString::fromLatin1(nome));
        l->setFrameStyle(QFrame::Panel | QFrame::Raised);
        l->setMargin(2);
        return l;
    };
    auto campo = [this](const char* nome, int lunghezza) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(nome));
        e->setMaxLength(lunghezza);
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 16);
        e->installEventFilter(this);
        return e;
    };
    m_codice = campo("Text3", 6);
    m_dal = campo("Text1", 10);
    m_al = campo("Text2", 10);
    m_picker = new QPushButton(QStringLiteral("..."), this);
    m_picker->setObjectName(QStringLiteral("SSCommand2"));
    m_picker->setFixedWidth(m_picker->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    m_check[2] = new QCheckBox(QStringLiteral("Ricerca per codice"), this);
    m_check[2]->setObjectName(QStringLiteral("SSCheck1(2)"));
    campi->addWidget(etichetta("SSPanel1", QStringLiteral("Codice")), 0, 0);
    campi->addWidget(m_codice, 0, 1);
    campi->addWidget(m_picker, 0, 2);
    campi->addWidget(m_check[2], 0, 3);
    campi->addWidget(etichetta("SSPanel2", QStringLiteral("Dal")), 1, 0);
    campi->addWidget(m_dal, 1, 1);
    campi->addWidget(etichetta("SSPanel3", QStringLiteral("Al")), 2, 0);
    campi->addWidget(m_al, 2, 1);
    campi->setRowStretch(3, 1);

    m_opzioni = new QGroupBox(QStringLiteral(" Opzioni di ricerca "), this);
    m_opzioni->setObjectName(QStringLiteral("Frame1"));
    auto* op = new QGridLayout(m_opzioni);
    const QString testi[2] = {QStringLiteral("&Segnalazioni in arrivo dal dispositivo"),
                              QStringLiteral("Segnalazioni di trattamento")};
    for (int i = 0; i < 2; ++i) {
        m_check[i] = new QCheckBox(testi[i], m_opzioni);
        m_check[i]->setObjectName(QStringLiteral("SSCheck1(%1)").arg(i));
        op->addWidget(m_check[i], i, 0, 1, 3);
    }
    m_check[0]->setToolTip(QStringLiteral("Eventi di tipo Test e senza tipo"));
    m_check[1]->setToolTip(QStringLiteral("Eventi di tipo Allarme"));
    m_etichette[2] = new QLabel(QStringLiteral(" Segnalazioni di evento specifico"), m_opzioni);
    m_etichette[2]->setObjectName(QStringLiteral("SSPanel4(2)"));
    m_descrizione = new QLabel(m_opzioni);
    m_descrizione->setObjectName(QStringLiteral("SSPanel5"));
    m_descrizione->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_descrizione->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Abcdefghijklmn")) * 2);
    m_descrizioni = new QPushButton(QStringLiteral("..."), m_opzioni);
    m_descrizioni->setObjectName(QStringLiteral("SSCommand1"));
    m_descrizioni->setFixedWidth(m_picker->width());
    op->addWidget(m_etichette[2], 2, 0);
    op->addWidget(m_descrizione, 2, 1);
    op->addWidget(m_descrizioni, 2, 2);
    op->setColumnStretch(1, 1);
    alto->addWidget(m_opzioni, 1);

    auto* pulsanti = new QVBoxLayout;
    m_avvia = new QPushButton(QStringLiteral("Avvia Ricerca"), this);
    m_avvia->setObjectName(QStringLiteral("Command1"));
    m_stampa = new QPushButton(QStringLiteral("Stampa"), this);
    m_stampa->setObjectName(QStringLiteral("Stampa"));
    m_stampa->setEnabled(false);
    auto* annulla = new QPushButton(QStringLiteral("Annulla"), this);
    annulla->setObjectName(QStringLiteral("Command2"));
    pulsanti->addWidget(m_avvia);
    pulsanti->addWidget(m_stampa);
    pulsanti->addWidget(annulla);
    pulsanti->addStretch();
    alto->addLayout(pulsanti);

    m_modello = new ModelloArchivio(m_ctx, this);
    m_modello->errore = [this](const QString& testo) {
        m_ctx.messaggi->avvisa(Icona::Errore,
                               QStringLiteral("Impossibile leggere l'archivio.\nErrore del database: %1").arg(testo),
                               Titolo);
    };
    m_griglia = new QTableView(this);
    m_griglia->setObjectName(QStringLiteral("gridArchivio"));
    m_griglia->setModel(m_modello);
    preparaElenco(m_griglia);
    m_griglia->horizontalHeader()->setHighlightSections(false);
    // The description takes the room left; the other columns fit their texts.
    m_griglia->horizontalHeader()->setSectionResizeMode(ModelloArchivio::Descrizione, QHeaderView::Stretch);
    const QFontMetrics fm(font());
    m_griglia->setColumnWidth(ModelloArchivio::Codice, fm.horizontalAdvance(QStringLiteral("0000000")) + 16);
    m_griglia->setColumnWidth(ModelloArchivio::Nome, fm.horizontalAdvance(QStringLiteral("Abcdefghijklmn")) * 2);
    m_griglia->setColumnWidth(ModelloArchivio::DataOra,
                              fm.horizontalAdvance(QStringLiteral("00/00/0000 00.00.00")) + 16);
    m_griglia->setColumnWidth(ModelloArchivio::Tipo, fm.horizontalAdvance(QStringLiteral("Allarme")) + 16);
    m_griglia->setColumnWidth(ModelloArchivio::Archiviato, fm.horizontalAdvance(QStringLiteral("Archiviato")) + 24);
    m_griglia->setColumnWidth(ModelloArchivio::ArchiviatoDa,
                              fm.horizontalAdvance(QStringLiteral("Abcdefghij, 00/00/0000 00.00.00")) + 16);
    v->addWidget(m_griglia, 1);

    auto* basso = new QHBoxLayout;
    m_conteggio = new QLabel(this);
    m_conteggio->setObjectName(QStringLiteral("lblConteggio"));
    basso->addWidget(m_conteggio);
    basso->addStretch();
    v->addLayout(basso);
    m_messaggio = new QPlainTextEdit(this);
    m_messaggio->setObjectName(QStringLiteral("txtMessaggio"));
    m_messaggio->setReadOnly(true);
    m_messaggio->setFixedHeight(fm.lineSpacing() * 3 + 12);
    v->addWidget(m_messaggio);

    connect(m_check[2], &QCheckBox::toggled, this, &Form7::ricercaPerCodice);
    connect(m_codice, &QLineEdit::textChanged, this, &Form7::codiceCambiato);
    connect(m_picker, &QPushButton::clicked, this, &Form7::chiediPicker);
    connect(m_descrizioni, &QPushButton::clicked, this, &Form7::mostraDescrizioni);
    connect(m_avvia, &QPushButton::clicked, this, &Form7::avviaRicerca);
    connect(m_stampa, &QPushButton::clicked, this, &Form7::stampa);
    connect(annulla, &QPushButton::clicked, this, &Form7::chiudi);
    connect(m_griglia->selectionModel(), &QItemSelectionModel::currentChanged, this, &Form7::rigaCorrente);

    const int larghezzaGriglia = m_griglia->columnWidth(0) + m_griglia->columnWidth(1) + m_griglia->columnWidth(2)
                                 + m_griglia->columnWidth(3) + m_griglia->columnWidth(5)
                                 + fm.horizontalAdvance(QStringLiteral("Abcdefghijklmn")) * 2 + 60;
    m_dimensione = QSize(std::max(larghezzaGriglia, QWidget::sizeHint().width()), 520);
    resize(m_dimensione);
}

void Form7::apri()
{
    m_ctx.aperte.Form7 = true;
    abilitaEventoSpecifico(false);
    m_codice->setText(Tutti);
    m_picker->setEnabled(false);
    std::optional<QDate> prima;
    try {
        prima = archivio::PrimaData(*m_ctx.db);
    } catch (const store::ErroreDatabase& e) {
        m_ctx.messaggi->avvisa(Icona::Errore,
                               QStringLiteral("Impossibile leggere l'archivio.\nErrore del database: %1")
                                   .arg(e.messaggio()),
                               Titolo);
    }
    if (!prima) {
        // Nothing to search: the window only says so.
        m_opzioni->setEnabled(false);
        m_avvia->setEnabled(false);
        m_picker->setEnabled(false);
        m_check[2]->setEnabled(false);
        for (QLineEdit* e : {m_dal, m_al}) {
            e->setMaxLength(32767);
            e->setText(NessunEvento);
            e->setEnabled(false);
        }
        m_codice->setEnabled(false);
        m_conteggio->setText(NessunEvento);
    } else {
        m_dataRicordata = date::mostra(*prima);
        m_dal->setText(m_dataRicordata);
        m_al->setText(date::mostra(m_ctx.orologio->oggi()));
    }
    m_ctx.tagPicker = QStringLiteral("Form7_Text3");
}

void Form7::abilitaEventoSpecifico(bool si)
{
    m_etichette[2]->setEnabled(si);
    m_descrizione->setEnabled(si);
    m_descrizioni->setEnabled(si);
}

void Form7::ricercaPerCodice(bool spuntata)
{
    m_codice->setText(spuntata ? QString() : Tutti);
    m_picker->setEnabled(spuntata);
    m_descrizione->clear();
}

void Form7::codiceCambiato()
{
    const QString t = m_codice->text();
    // A description belongs to the code it was chosen for.
    m_descrizione->clear();
    abilitaEventoSpecifico(t.size() == 6 && t != Tutti);
}

void Form7::impostaCodice(const QString& codice)
{
    if (!m_check[2]->isChecked())
        m_check[2]->setChecked(true);
    m_codice->setText(codice);
}

void Form7::invioCodice()
{
    const QString t = m_codice->text();
    if (t.isEmpty() || t == Tutti)
        return;
    const QString codice = archivio::CompletaCodice(t);
    bool trovato = false;
    try {
        trovato = archivio::CodiceEsiste(*m_ctx.db, codice);
    } catch (const store::ErroreDatabase& e) {
        m_ctx.messaggi->avvisa(Icona::Errore,
                               QStringLiteral("Impossibile cercare il codice %1.\nErrore del database: %2")
                                   .arg(codice, e.messaggio()),
                               Titolo);
        return;
    }
    if (trovato)
        m_codice->setText(codice);
    else
        chiediPicker();
}

void Form7::chiediPicker()
{
    // The subscriber window may have taken the tag since this window opened.
    m_ctx.tagPicker = QStringLiteral("Form7_Text3");
    emit apriRicerca();
}

void Form7::invioData(QLineEdit* campo, bool inizio)
{
    const QString t = archivio::FormaData(campo->text());
    campo->setText(t);
    const QString oggi = date::mostra(m_ctx.orologio->oggi());
    const QString ripiego = inizio ? m_dataRicordata : oggi;
    const bool lunghezza = t.size() == 8 || t.size() == 10;
    const bool valida = lunghezza && date::leggiData(t)
                        && (inizio ? archivio::DataValida(m_dataRicordata, t) : archivio::DataValida(t, oggi));
    if (!valida) {
        campo->setText(ripiego);
        return;
    }
    if (inizio)
        m_al->setFocus(Qt::TabFocusReason);
}

bool Form7::eventFilter(QObject* o, QEvent* e)
{
    if (o == m_codice && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (invio(e)) {
            invioCodice();
            return true;
        }
        const QString t = k->text();
        if (!t.isEmpty() && t.at(0).isPrint() && !t.at(0).isDigit())
            return true; // digits only
        // A digit typed over "Tutti" means a search by code.
        if (!t.isEmpty() && t.at(0).isDigit() && m_codice->text() == Tutti)
            m_check[2]->setChecked(true);
        return false;
    }
    if ((o == m_dal || o == m_al) && e->type() == QEvent::KeyPress) {
        if (invio(e)) {
            invioData(static_cast<QLineEdit*>(o), o == m_dal);
            return true;
        }
        const QString t = static_cast<QKeyEvent*>(e)->text();
        if (!t.isEmpty() && t.at(0).unicode() > '9')
            return true;
        return false;
    }
    return QWidget::eventFilter(o, e);
}

void Form7::avviaRicerca()
{
    const QString codice = m_codice->text();
    if (codice.isEmpty()) {
        m_codice->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!m_check[0]->isChecked() && !m_check[1]->isChecked()) {
        m_ctx.messaggi->avvisa(Icona::Errore, QStringLiteral("Non è stato selezionato nessun tipo di ricerca"),
                               Titolo);
        return;
    }
    archivio::Criteri c;
    if (codice != Tutti) {
        c.codice = archivio::CompletaCodice(codice);
        m_codice->setText(c.codice);
    }
    const auto dal = date::leggiData(m_dal->text());
    const auto al = date::leggiData(m_al->text());
    if (!dal || !al) {
        QLineEdit* sbagliato = dal ? m_al : m_dal;
        m_ctx.messaggi->avvisa(Icona::Avviso,
                               QStringLiteral("La data \"%1\" non è valida.").arg(sbagliato->text()), Titolo);
        sbagliato->setFocus(Qt::OtherFocusReason);
        return;
    }
    c.dal = *dal;
    c.al = *al;
    c.test = m_check[0]->isChecked();
    c.allarme = m_check[1]->isChecked();
    if (m_descrizioni->isEnabled())
        c.descrizione = m_descrizione->text();
    m_messaggio->clear();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        m_modello->cerca(c);
    } catch (const store::ErroreDatabase& e) {
        QApplication::restoreOverrideCursor();
        m_modello->svuota();
        m_conteggio->clear();
        m_stampa->setEnabled(false);
        m_modello->errore(e.messaggio());
        return;
    }
    QApplication::restoreOverrideCursor();
    const qint64 n = m_modello->totale();
    m_conteggio->setText(n == 0   ? QStringLiteral("Nessun evento trovato")
                         : n == 1 ? QStringLiteral("1 evento trovato")
                                  : QStringLiteral("%1 eventi trovati").arg(QLocale(QLocale::Italian).toString(n)));
    m_stampa->setEnabled(n > 0);
    if (n > 0) {
        m_griglia->scrollToTop();
        m_griglia->setCurrentIndex(m_modello->index(0, 0));
    }
}

void Form7::rigaCorrente()
{
    const QModelIndex i = m_griglia->currentIndex();
    if (!i.isValid() || i.row() >= m_modello->rowCount()) {
        m_messaggio->clear();
        return;
    }
    try {
        m_messaggio->setPlainText(archivio::TestoMessaggio(*m_ctx.db, m_modello->riga(i.row()).id));
    } catch (const store::ErroreDatabase& e) {
        m_messaggio->clear();
        m_modello->errore(e.messaggio());
    }
}

void Form7::mostraDescrizioni()
{
    const QString codice = m_codice->text();
    QStringList descrizioni;
    try {
        descrizioni = archivio::Descrizioni(*m_ctx.db, codice);
    } catch (const store::ErroreDatabase& e) {
        m_modello->errore(e.messaggio());
        return;
    }
    if (descrizioni.isEmpty()) {
        m_ctx.messaggi->avvisa(Icona::Informazione,
                               QStringLiteral("Nessun evento della periferica %1 nell'archivio.").arg(codice), Titolo);
        return;
    }
    // A list that drops under the display and goes away at the first click
    // outside it, as a combo box's does.
    auto* elenco = new QListWidget(this);
    elenco->setObjectName(QStringLiteral("lstDescrizioni"));
    elenco->setWindowFlags(Qt::Popup);
    elenco->setAttribute(Qt::WA_DeleteOnClose);
    elenco->addItem(QStringLiteral("(qualsiasi evento)"));
    elenco->addItems(descrizioni);
    const int righe = std::min<int>(12, int(elenco->count()));
    elenco->resize(std::max(m_descrizione->width() + m_descrizioni->width(), elenco->sizeHintForColumn(0) + 30),
                   righe * elenco->sizeHintForRow(0) + 2 * elenco->frameWidth());
    connect(elenco, &QListWidget::itemActivated, this, [this, elenco](QListWidgetItem* it) {
        scegliDescrizione(elenco->row(it) == 0 ? QString() : it->text());
        elenco->close();
    });
    connect(elenco, &QListWidget::itemClicked, elenco, &QListWidget::itemActivated);
    elenco->move(m_descrizione->mapToGlobal(QPoint(0, m_descrizione->height())));
    elenco->show();
    elenco->setCurrentRow(0);
}

void Form7::scegliDescrizione(const QString& descrizione)
{
    m_descrizione->setText(descrizione);
}

void Form7::stampa()
{
    const qint64 n = m_modello->totale();
    if (n == 0)
        return;
    if (n > RigheSenzaDomanda
        && m_ctx.messaggi->chiedi(Icona::Domanda,
                                  QStringLiteral("Gli eventi da stampare sono %1. Procedere con la stampa?")
                                      .arg(QLocale(QLocale::Italian).toString(n)),
                                  Pulsanti::SiNo, Titolo)
               != Risposta::Si)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_modello->leggiTutto();
    const archivio::Criteri& c = m_modello->criteri();
    QList<QStringList> righe;
    righe.reserve(m_modello->rowCount());
    for (int r = 0; r < m_modello->rowCount(); ++r) {
        const archivio::Riga& e = m_modello->riga(r);
        const QString archiviazione = archivio::DescriviArchiviazione(e);
        righe << QStringList{date::mostra(e.dataOra), e.codice, e.nome, e.tipo, e.descrizione,
                             archiviazione.isEmpty() ? QString() : QStringLiteral("archiviato: ") + archiviazione};
    }
    QStringList tipi;
    if (c.test)
        tipi << QStringLiteral("Segnalazioni in arrivo dal dispositivo");
    if (c.allarme)
        tipi << QStringLiteral("Segnalazioni di trattamento");
    const QStringList intestazione{
        QStringLiteral("Archivio Storico dal %1 al %2").arg(date::mostra(c.dal), date::mostra(c.al)),
        (c.codice.isEmpty() ? QStringLiteral("Tutte le periferiche") : QStringLiteral("Periferica ") + c.codice)
            + (c.descrizione.isEmpty() ? QString() : QStringLiteral(", evento \"%1\"").arg(c.descrizione)),
        tipi.join(QStringLiteral(", "))};
    QApplication::restoreOverrideCursor();
    StampaElenco(m_ctx,
                 {QStringLiteral("Archivio storico"),
                  QStringLiteral("Archivio_%1").arg(c.codice.isEmpty() ? Tutti : c.codice),
                  QStringLiteral("l'elenco degli eventi")},
                 intestazione, righe);
}

void Form7::chiudi()
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->close();
    else
        close();
}

void Form7::closeEvent(QCloseEvent* e)
{
    m_ctx.aperte.Form7 = false;
    m_chiusa = true;
    e->accept();
}

} // namespace sorvela

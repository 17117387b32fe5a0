#include "shell/AnagraficaOperatori.h"

#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/Operatori.h"
#include "store/Database.h"
#include "windows/Elenco.h"

#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace sorvela {

namespace {
const QString Titolo = QStringLiteral("Anagrafica Operatori");
}

AnagraficaOperatori::AnagraficaOperatori(Contesto& c, QWidget* genitore)
    : QDialog(genitore)
    , m_ctx(c)
{
    setObjectName(QStringLiteral("AnagraficaOperatori"));
    setWindowTitle(Titolo);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto* v = new QVBoxLayout(this);
    m_elenco = grigliaSolaLettura(this, QStringLiteral("gridOperatori"),
                                  {QStringLiteral("Nome"), QStringLiteral("Password"), QStringLiteral("Attivo")});
    m_elenco->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_elenco->setMinimumSize(360, 160);
    v->addWidget(m_elenco, 1);

    auto* f = new QFormLayout;
    m_nome = new QLineEdit(this);
    m_nome->setObjectName(QStringLiteral("txtNome"));
    m_nome->setMaxLength(50);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("txtPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setPlaceholderText(QStringLiteral("vuota: resta quella di prima"));
    m_conferma = new QLineEdit(this);
    m_conferma->setObjectName(QStringLiteral("txtConferma"));
    m_conferma->setEchoMode(QLineEdit::Password);
    m_senzaPassword = new QCheckBox(QStringLiteral("Nessuna password"), this);
    m_senzaPassword->setObjectName(QStringLiteral("chkNessunaPassword"));
    m_attivo = new QCheckBox(QStringLiteral("Attivo"), this);
    m_attivo->setObjectName(QStringLiteral("chkAttivo"));
    m_attivo->setChecked(true);
    f->addRow(QStringLiteral("Nome"), m_nome);
    f->addRow(QStringLiteral("Password"), m_password);
    f->addRow(QStringLiteral("Conferma password"), m_conferma);
    f->addRow(QString(), m_senzaPassword);
    f->addRow(QString(), m_attivo);
    v->addLayout(f);
    connect(m_senzaPassword, &QCheckBox::toggled, this, [this](bool senza) {
        m_password->setEnabled(!senza);
        m_conferma->setEnabled(!senza);
    });

    auto* h = new QHBoxLayout;
    auto pulsante = [&](const char* nome, const QString& testo) {
        auto* p = new QPushButton(testo, this);
        p->setObjectName(QLatin1String(nome));
        p->setAutoDefault(false);
        h->addWidget(p);
        return p;
    };
    connect(pulsante("cmdNuovo", QStringLiteral("Nuovo")), &QPushButton::clicked, this, &AnagraficaOperatori::nuovo);
    connect(pulsante("cmdSalva", QStringLiteral("Salva")), &QPushButton::clicked, this, &AnagraficaOperatori::salva);
    h->addStretch();
    connect(pulsante("cmdChiudi", QStringLiteral("Chiudi")), &QPushButton::clicked, this, &QDialog::close);
    v->addLayout(h);

    connect(m_elenco, &QTableWidget::itemSelectionChanged, this, &AnagraficaOperatori::mostraScelto);
    carica();
    nuovo();
}

void AnagraficaOperatori::carica(const QString& scegli)
{
    QList<Operatore> operatori;
    try {
        operatori = ElencoOperatori(*m_ctx.db, false);
    } catch (const store::ErroreDatabase& e) {
        m_ctx.messaggi->avvisa(Icona::Errore, QStringLiteral("Impossibile leggere gli operatori: %1").arg(e.messaggio()),
                               Titolo);
    }
    const QSignalBlocker blocco(m_elenco);
    m_elenco->setRowCount(int(operatori.size()));
    for (int r = 0; r < operatori.size(); ++r) {
        const Operatore& o = operatori.at(r);
        m_elenco->setItem(r, 0, new QTableWidgetItem(o.nome));
        m_elenco->setItem(r, 1, new QTableWidgetItem(o.conPassword ? QStringLiteral("Sì") : QStringLiteral("No")));
        m_elenco->setItem(r, 2, new QTableWidgetItem(o.attivo ? QStringLiteral("Sì") : QStringLiteral("No")));
        if (o.nome == scegli)
            m_elenco->selectRow(r);
    }
}

void AnagraficaOperatori::mostraScelto()
{
    const int r = m_elenco->currentRow();
    if (r < 0 || !m_elenco->item(r, 0))
        return;
    m_nome->setText(m_elenco->item(r, 0)->text());
    m_nome->setReadOnly(true);
    m_password->clear();
    m_conferma->clear();
    m_senzaPassword->setChecked(m_elenco->item(r, 1)->text() == u"No");
    m_attivo->setChecked(m_elenco->item(r, 2)->text() == u"Sì");
}

void AnagraficaOperatori::nuovo()
{
    m_elenco->clearSelection();
    m_nome->clear();
    m_nome->setReadOnly(false);
    m_password->clear();
    m_conferma->clear();
    m_senzaPassword->setChecked(false);
    m_attivo->setChecked(true);
    m_nome->setFocus();
}

bool AnagraficaOperatori::salva()
{
    const QString nome = m_nome->text().trimmed();
    if (nome.isEmpty()) {
        m_ctx.messaggi->avvisa(Icona::Avviso, QStringLiteral("Scrivere il nome dell'operatore."), Titolo);
        return false;
    }
    if (!m_senzaPassword->isChecked() && m_password->text() != m_conferma->text()) {
        m_ctx.messaggi->avvisa(Icona::Avviso, QStringLiteral("Le due password scritte sono diverse."), Titolo);
        return false;
    }
    std::optional<QString> password;
    if (m_senzaPassword->isChecked())
        password = QString();
    else if (!m_password->text().isEmpty())
        password = m_password->text();
    try {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        SalvaOperatore(m_ctx, nome, password, m_attivo->isChecked());
        QApplication::restoreOverrideCursor();
    } catch (const store::ErroreDatabase& e) {
        QApplication::restoreOverrideCursor();
        m_ctx.messaggi->avvisa(Icona::Errore, QStringLiteral("Impossibile salvare l'operatore: %1").arg(e.messaggio()),
                               Titolo);
        return false;
    }
    carica(nome);
    m_password->clear();
    m_conferma->clear();
    emit operatoriCambiati();
    return true;
}

} // namespace sorvela

#include "shell/SceltaOperatore.h"

#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/Operatori.h"
#include "store/Database.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace sorvela {

SceltaOperatore::SceltaOperatore(Contesto& c, bool annullabile, QWidget* genitore)
    : QDialog(genitore)
    , m_ctx(c)
    , m_annullabile(annullabile)
{
    setObjectName(QStringLiteral("SceltaOperatore"));
    setWindowTitle(QStringLiteral("Operatore di turno"));
    setWindowModality(Qt::WindowModal);
    if (!annullabile)
        setWindowFlag(Qt::WindowCloseButtonHint, false);

    auto* v = new QVBoxLayout(this);
    auto* testa = new QLabel(QStringLiteral("Chi è di turno alla console?"), this);
    v->addWidget(testa);
    auto* f = new QFormLayout;
    m_operatore = new QComboBox(this);
    m_operatore->setObjectName(QStringLiteral("cboOperatore"));
    m_operatore->setMinimumContentsLength(24);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("txtPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    f->addRow(QStringLiteral("Operatore"), m_operatore);
    f->addRow(QStringLiteral("Password"), m_password);
    v->addLayout(f);
    m_esito = new QLabel(this);
    m_esito->setObjectName(QStringLiteral("lblEsito"));
    m_esito->setStyleSheet(QStringLiteral("color: #c00000"));
    v->addWidget(m_esito);

    auto* pulsanti = new QDialogButtonBox(this);
    QPushButton* ok = pulsanti->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &SceltaOperatore::conferma);
    if (annullabile) {
        QPushButton* annulla = pulsanti->addButton(QStringLiteral("Annulla"), QDialogButtonBox::RejectRole);
        annulla->setObjectName(QStringLiteral("cmdAnnulla"));
        connect(annulla, &QPushButton::clicked, this, &SceltaOperatore::reject);
    }
    v->addWidget(pulsanti);

    try {
        const QList<Operatore> operatori = ElencoOperatori(*c.db, true);
        for (const Operatore& o : operatori)
            m_operatore->addItem(o.nome, o.conPassword);
        const int attuale = m_operatore->findText(c.operatore);
        if (attuale >= 0)
            m_operatore->setCurrentIndex(attuale);
    } catch (const store::ErroreDatabase& e) {
        m_esito->setText(QStringLiteral("Impossibile leggere gli operatori: %1").arg(e.messaggio()));
    }
    auto aggiornaPassword = [this] {
        const bool serve = m_operatore->currentData().toBool();
        m_password->setEnabled(serve);
        m_password->clear();
        m_password->setPlaceholderText(serve ? QString() : QStringLiteral("nessuna"));
    };
    connect(m_operatore, &QComboBox::currentIndexChanged, this, aggiornaPassword);
    aggiornaPassword();
    m_password->setFocus();
}

void SceltaOperatore::conferma()
{
    const QString nome = m_operatore->currentText();
    if (nome.isEmpty())
        return;
    // The key takes a moment to compute.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool consentito = false;
    QString errore;
    try {
        consentito = AccessoConsentito(*m_ctx.db, nome, m_password->text());
        if (consentito)
            CambiaOperatore(m_ctx, nome);
    } catch (const store::ErroreDatabase& e) {
        errore = e.messaggio();
    }
    QApplication::restoreOverrideCursor();
    if (!errore.isEmpty()) {
        m_ctx.messaggi->avvisa(Icona::Errore, QStringLiteral("Impossibile cambiare l'operatore di turno: %1").arg(errore));
        return;
    }
    if (!consentito) {
        m_esito->setText(QStringLiteral("Password errata."));
        m_password->clear();
        m_password->setFocus();
        return;
    }
    emit operatoreCambiato(nome);
    accept();
}

void SceltaOperatore::reject()
{
    // At start-up somebody must be named; Escape does not get past it.
    if (m_annullabile)
        QDialog::reject();
}

} // namespace sorvela

#include "platform/Messaggi.h"

#include <QApplication>
#include <QMessageBox>

namespace sorvela {

namespace {

QMessageBox::Icon iconaQt(Icona i)
{
    switch (i) {
    case Icona::Avviso: return QMessageBox::Warning;
    case Icona::Informazione: return QMessageBox::Information;
    case Icona::Domanda: return QMessageBox::Question;
    case Icona::Errore: return QMessageBox::Critical;
    case Icona::Nessuna: break;
    }
    return QMessageBox::NoIcon;
}

QString titoloOPredefinito(const QString& t)
{
    return t.isEmpty() ? TitoloApplicazione : t;
}

} // namespace

void MessaggiQt::avvisa(Icona icona, const QString& testo, const QString& titolo)
{
    QMessageBox box(iconaQt(icona), titoloOPredefinito(titolo), testo, QMessageBox::Ok, m_genitore);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

Risposta MessaggiQt::chiedi(Icona icona, const QString& testo, Pulsanti pulsanti, const QString& titolo)
{
    QMessageBox::StandardButtons b;
    switch (pulsanti) {
    case Pulsanti::Ok: b = QMessageBox::Ok; break;
    case Pulsanti::SiNo: b = QMessageBox::Yes | QMessageBox::No; break;
    case Pulsanti::SiNoAnnulla: b = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    case Pulsanti::OkAnnulla: b = QMessageBox::Ok | QMessageBox::Cancel; break;
    }
    QMessageBox box(iconaQt(icona), titoloOPredefinito(titolo), testo, b, m_genitore);
    box.setWindowModality(Qt::ApplicationModal);
    switch (box.exec()) {
    case QMessageBox::Yes: return Risposta::Si;
    case QMessageBox::No: return Risposta::No;
    case QMessageBox::Ok: return Risposta::Ok;
    default: return Risposta::Annulla;
    }
}

void MessaggiQt::notifica(const QString& tipo, Icona icona, const QString& testo)
{
    QPointer<QMessageBox>& box = m_notifiche[tipo];
    if (box) {
        // The same notice again changes nothing; a newer one replaces the text
        // in place, without raising or activating the box.
        box->setIcon(iconaQt(icona));
        box->setText(testo);
        return;
    }
    box = new QMessageBox(iconaQt(icona), TitoloApplicazione, testo, QMessageBox::Ok, m_genitore);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    // Shown, never activated: the operator may be typing in a window.
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    box->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->setFocusPolicy(Qt::NoFocus);
    box->show();
}

void MessaggiQt::ritiraNotifica(const QString& tipo)
{
    if (QPointer<QMessageBox> box = m_notifiche.take(tipo))
        box->close();
}

void MessaggiRegistrati::notifica(const QString& tipo, Icona icona, const QString& testo)
{
    m_voci.append({icona, TitoloApplicazione, testo, false, tipo});
    m_notifiche << tipo + QStringLiteral(": ") + testo;
    m_mostrate.insert(tipo, testo);
}

void MessaggiRegistrati::ritiraNotifica(const QString& tipo)
{
    m_mostrate.remove(tipo);
}

void MessaggiRegistrati::avvisa(Icona icona, const QString& testo, const QString& titolo)
{
    m_voci.append({icona, titoloOPredefinito(titolo), testo, false});
}

Risposta MessaggiRegistrati::chiedi(Icona icona, const QString& testo, Pulsanti pulsanti,
                                    const QString& titolo)
{
    m_voci.append({icona, titoloOPredefinito(titolo), testo, true});
    Risposta r = m_predefinita;
    if (!m_risposte.empty()) {
        r = m_risposte.front();
        m_risposte.pop_front();
    }
    // An answer the box could not have given is mapped to the nearest one it has.
    if (pulsanti == Pulsanti::Ok)
        return Risposta::Ok;
    if (pulsanti == Pulsanti::SiNo && r == Risposta::Annulla)
        return Risposta::No;
    return r;
}

QStringList MessaggiRegistrati::testi() const
{
    QStringList t;
    for (const auto& v : m_voci)
        t << v.testo;
    return t;
}

} // namespace sorvela

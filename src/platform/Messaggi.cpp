#include "platform/Messaggi.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

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

// The window the box belongs over: the one the operator works in. Between
// two boxes (a question, then its outcome) no window is active for a
// moment: the outcome goes over the window the question went over. A notice
// is never a parent: it may be closed while the box waits on it.
QWidget* MessaggiQt::genitore()
{
    QWidget* w = QApplication::activeModalWidget();
    if (!w)
        w = QApplication::activeWindow();
    for (const QPointer<QMessageBox>& n : m_notifiche)
        if (n && n == w)
            w = nullptr;
    if (!w && m_ultimoGenitore && m_ultimoGenitore->isVisible())
        w = m_ultimoGenitore;
    m_ultimoGenitore = w;
    return w ? w : m_genitore;
}

int MessaggiQt::mostra(QMessageBox* box)
{
    box->setWindowModality(Qt::ApplicationModal);
    // A window kept above the others (the clean-up window, a progress or
    // status window) would hide a box that is not kept above as well, and the
    // operator would answer a question he cannot read.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != box && w->isVisible() && w->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
            box->setWindowFlag(Qt::WindowStaysOnTopHint);
            break;
        }
    }
    QTimer::singleShot(0, box, [box] {
        box->raise();
        box->activateWindow();
    });
    // On the heap and watched: the box's parent may go while it waits, and
    // takes the box with it.
    QPointer<QMessageBox> guardia(box);
    const QPointer<QWidget> padre = box->parentWidget();
    const int esito = box->exec();
    delete guardia.data();
    // The keyboard goes back where it was, not to whichever window the
    // window manager picks (a notice shown meanwhile, say).
    if (padre && padre->isVisible())
        padre->activateWindow();
    return esito;
}

void MessaggiQt::avvisa(Icona icona, const QString& testo, const QString& titolo)
{
    mostra(new QMessageBox(iconaQt(icona), titoloOPredefinito(titolo), testo, QMessageBox::Ok, genitore()));
}

Risposta MessaggiQt::chiedi(Icona icona, const QString& testo, Pulsanti pulsanti, const QString& titolo)
{
    QMessageBox::StandardButtons b;
    switch (pulsanti) {
    case Pulsanti::Ok: b = QMessageBox::Ok; break;
    case Pulsanti::SiNo:
    case Pulsanti::SiNoPredefinitoNo: b = QMessageBox::Yes | QMessageBox::No; break;
    case Pulsanti::SiNoAnnulla: b = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    case Pulsanti::OkAnnulla: b = QMessageBox::Ok | QMessageBox::Cancel; break;
    }
    auto* box = new QMessageBox(iconaQt(icona), titoloOPredefinito(titolo), testo, b, genitore());
    if (pulsanti == Pulsanti::SiNoPredefinitoNo)
        box->setDefaultButton(QMessageBox::No);
    switch (mostra(box)) {
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
    // Shown, never activated: the operator may be typing in a window. It
    // takes the keyboard only when the operator goes to it, and then Enter
    // (its OK) or Escape closes it.
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
    box->show();
    // A question waiting for an answer stays in front of it.
    if (QWidget* domanda = QApplication::activeModalWidget())
        domanda->raise();
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
    m_voci.append({icona, titoloOPredefinito(titolo), testo, true, {}, pulsanti});
    Risposta r = m_predefinita;
    if (!m_risposte.empty()) {
        r = m_risposte.front();
        m_risposte.pop_front();
    }
    // An answer the box could not have given is mapped to the nearest one it has.
    if (pulsanti == Pulsanti::Ok)
        return Risposta::Ok;
    if ((pulsanti == Pulsanti::SiNo || pulsanti == Pulsanti::SiNoPredefinitoNo) && r == Risposta::Annulla)
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

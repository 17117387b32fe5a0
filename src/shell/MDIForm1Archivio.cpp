// The archive window and the subscriber picker, and the code the picker
// hands back to the window that asked for it.

#include "shell/MDIForm1.h"

#include "registry/AnagraficaUtenti.h"
#include "windows/Form15.h"
#include "windows/FinestraNonAttribuiti.h"
#include "windows/Form7.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace sorvela {

void MDIForm1::mnuStorico()
{
    QMdiSubWindow* sub = riapri(QStringLiteral("Form7"), [this] {
        auto* f = new Form7(m_ctx);
        connect(f, &Form7::apriRicerca, this, &MDIForm1::apriRicercaCodice);
        return f;
    });
    // Centred in the console's working area, and no larger than it.
    if (sub && sub->widget() && sub->widget()->objectName() == QLatin1String("Form7")) {
        sub->resize(sub->sizeHint().boundedTo(m_area->size()));
        sub->move(std::max(0, (m_area->width() - sub->width()) / 2), std::max(0, (m_area->height() - sub->height()) / 2));
    }
}

void MDIForm1::apriRicercaCodice()
{
    QMdiSubWindow* sub = riapri(QStringLiteral("Form15"), [this] {
        auto* f = new Form15(m_ctx);
        connect(f, &Form15::consegna, this,
                [this](const QString& finestra, const QString&, const QString& codice) {
                    consegnaCodice(finestra, codice);
                });
        return f;
    });
    if (sub && sub->widget() && sub->widget()->objectName() == QLatin1String("Form15")) {
        sub->resize(sub->sizeHint().boundedTo(m_area->size()));
        sub->move(0, 0);
    }
}

void MDIForm1::consegnaCodice(const QString& finestra, const QString& codice)
{
    if (finestra == QLatin1String("AnagraficaUtente")) {
        // As if typed and confirmed: the subscriber window loads the code.
        if (AnagraficaUtenti* a = anagraficaUtenti()) {
            if (auto* sub = qobject_cast<QMdiSubWindow*>(a->parentWidget()))
                m_area->setActiveSubWindow(sub);
            if (a->setCodice(codice))
                a->Carica();
        }
    } else if (finestra == QLatin1String("MessaggiNonAttribuiti")) {
        if (auto* f = qobject_cast<FinestraNonAttribuiti*>(this->finestra(QStringLiteral("MessaggiNonAttribuiti")))) {
            if (auto* sub = qobject_cast<QMdiSubWindow*>(f->parentWidget()))
                m_area->setActiveSubWindow(sub);
            f->assegnaA(codice);
        }
    } else if (finestra == QLatin1String("Form7")) {
        if (auto* f = qobject_cast<Form7*>(this->finestra(QStringLiteral("Form7")))) {
            if (auto* sub = qobject_cast<QMdiSubWindow*>(f->parentWidget()))
                m_area->setActiveSubWindow(sub);
            f->impostaCodice(codice);
        }
    }
}

} // namespace sorvela

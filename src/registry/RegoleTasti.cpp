#include "registry/RegoleTasti.h"

#include "registry/Utenti.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace sorvela::registry {

void RegoleTasti::applica(QLineEdit* campo, Regola regola)
{
    if (!m_regole.contains(campo) && !m_catena.contains(campo))
        campo->installEventFilter(this);
    m_regole.insert(campo, regola);
}

void RegoleTasti::catena(const QList<QLineEdit*>& campi)
{
    for (QLineEdit* c : campi)
        if (!m_regole.contains(c) && !m_catena.contains(c))
            c->installEventFilter(this);
    m_catena = campi;
}

bool RegoleTasti::eventFilter(QObject* o, QEvent* e)
{
    if (e->type() != QEvent::KeyPress)
        return false;
    auto* le = static_cast<QLineEdit*>(o);
    auto* k = static_cast<QKeyEvent*>(e);

    if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
        const qsizetype i = m_catena.indexOf(le);
        if (i >= 0 && i + 1 < m_catena.size()) {
            m_catena[i + 1]->setFocus(Qt::TabFocusReason);
            return true;
        }
        return false;
    }

    const auto regola = m_regole.constFind(le);
    if (regola == m_regole.cend())
        return false;
    const QString t = k->text();
    if (t.isEmpty() || !t[0].isPrint())
        return false;   // control keys and shortcuts pass
    if (*regola == Regola::Cifre)
        return !codici::soloCifre(t);
    // Typing over the whole text starts the field afresh, as into an empty one.
    const bool inizio = le->text().isEmpty() || le->selectedText() == le->text();
    if (*regola == Regola::Maiuscole || inizio) {
        const QString maiuscolo = t.toUpper();
        if (maiuscolo != t) {
            le->insert(maiuscolo);
            return true;
        }
    }
    return false;
}

} // namespace sorvela::registry

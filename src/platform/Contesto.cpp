#include "platform/Contesto.h"

#include "store/Database.h"

#include <QTimer>

namespace sorvela {

bool Contesto::suServer() const
{
    return store::Database::eServer(percorsoDatabase());
}

TickSospeso::TickSospeso(Contesto& c)
    : m_timer(c.Timer1)
{
    if (m_timer) {
        m_eraAttivo = m_timer->isActive();
        m_timer->stop();
    }
}

TickSospeso::~TickSospeso()
{
    if (m_timer && m_eraAttivo)
        m_timer->start();
}

} // namespace sorvela

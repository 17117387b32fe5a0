#include "core/Orologio.h"

namespace sorvela {

QDateTime Orologio::adesso() const
{
    return QDateTime::currentDateTime();
}

} // namespace sorvela

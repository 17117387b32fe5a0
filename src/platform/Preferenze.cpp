#include "platform/Preferenze.h"

#include <QSettings>

namespace sorvela {

Preferenze::Preferenze()
    : m_s(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                      QStringLiteral("Sorvela"), QStringLiteral("Sorvela")))
{
}

Preferenze::Preferenze(const QString& fileIni)
    : m_s(std::make_unique<QSettings>(fileIni, QSettings::IniFormat))
{
}

Preferenze::~Preferenze() = default;

QString Preferenze::percorso() const
{
    return m_s->fileName();
}

QString Preferenze::leggi(const QString& sezione, const QString& chiave) const
{
    return m_s->value(sezione + QLatin1Char('/') + chiave).toString();
}

void Preferenze::scrivi(const QString& sezione, const QString& chiave, const QString& valore)
{
    m_s->setValue(sezione + QLatin1Char('/') + chiave, valore);
    m_s->sync();
}

QString Preferenze::numPort() const
{
    return leggi(QStringLiteral("Impostazioni"), QStringLiteral("NumPort"));
}

void Preferenze::setNumPort(int numero)
{
    scrivi(QStringLiteral("Impostazioni"), QStringLiteral("NumPort"), QString::number(numero));
}

QString Preferenze::dispositivoPorta(int numero) const
{
    const QString d = leggi(QStringLiteral("Porte"), QStringLiteral("COM%1").arg(numero));
    if (!d.isEmpty())
        return d;
    return QStringLiteral("/dev/ttyS%1").arg(numero - 1);
}

void Preferenze::setDispositivoPorta(int numero, const QString& dispositivo)
{
    scrivi(QStringLiteral("Porte"), QStringLiteral("COM%1").arg(numero), dispositivo);
}

GeometriaSalvata Preferenze::geometria(const QString& sezione) const
{
    return {leggi(sezione, QStringLiteral("XPos")), leggi(sezione, QStringLiteral("YPos")),
            leggi(sezione, QStringLiteral("WiPos")), leggi(sezione, QStringLiteral("HePos"))};
}

void Preferenze::salvaGeometria(const QString& sezione, int x, int y, int larghezza, int altezza)
{
    m_s->setValue(sezione + QStringLiteral("/XPos"), QString::number(x));
    m_s->setValue(sezione + QStringLiteral("/YPos"), QString::number(y));
    m_s->setValue(sezione + QStringLiteral("/WiPos"), QString::number(larghezza));
    m_s->setValue(sezione + QStringLiteral("/HePos"), QString::number(altezza));
    m_s->sync();
}

} // namespace sorvela

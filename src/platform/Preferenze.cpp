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
    // The file may have been edited by hand since it was last read.
    m_s->sync();
    return m_s->value(sezione + QLatin1Char('/') + chiave).toString();
}

void Preferenze::scrivi(const QString& sezione, const QString& chiave, const QString& valore)
{
    scriviChiavi(sezione, {{chiave, valore}});
}

void Preferenze::scriviChiavi(const QString& sezione, const QList<std::pair<QString, QString>>& valori)
{
    // Merged into the file as it is on disk at this moment, and only when a
    // value really differs: a key, a section or a comment the operator
    // changed by hand while the console ran stays as he left it.
    QSettings file(m_s->fileName(), QSettings::IniFormat);
    file.sync();   // reads the file again when it changed on disk
    bool cambiato = false;
    for (const auto& [chiave, valore] : valori) {
        const QString k = sezione + QLatin1Char('/') + chiave;
        if (file.contains(k) && file.value(k).toString() == valore)
            continue;
        file.setValue(k, valore);
        cambiato = true;
    }
    if (!cambiato)
        return;
    file.sync();
    m_s->sync();
}

QString Preferenze::urlDatabase() const
{
    return leggi(QStringLiteral("Database"), QStringLiteral("Url")).trimmed();
}

QString Preferenze::nomeRicevitore() const
{
    const QString nome = leggi(QStringLiteral("Ricevitore"), QStringLiteral("Nome")).trimmed();
    return nome.isEmpty() ? QStringLiteral("principale") : nome;
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
    scriviChiavi(sezione, {{QStringLiteral("XPos"), QString::number(x)},
                           {QStringLiteral("YPos"), QString::number(y)},
                           {QStringLiteral("WiPos"), QString::number(larghezza)},
                           {QStringLiteral("HePos"), QString::number(altezza)}});
}

} // namespace sorvela

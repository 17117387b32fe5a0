#pragma once
// The one clock of the console. Every read of the time of day (the tick's
// schedule, event timestamps, polling and expiry passes) goes through it, so a
// test can replace it with OrologioVirtuale and run hours of console life in
// seconds.

#include <QDateTime>
#include <chrono>

namespace sorvela {

class Orologio {
public:
    virtual ~Orologio() = default;
    virtual QDateTime adesso() const;
    QDate oggi() const { return adesso().date(); }
};

// A clock that only moves when told to. Starts at a fixed, ordinary moment.
class OrologioVirtuale : public Orologio {
public:
    explicit OrologioVirtuale(QDateTime inizio = QDateTime(QDate(2026, 3, 2), QTime(10, 0, 0)))
        : m_ora(std::move(inizio)) {}
    QDateTime adesso() const override { return m_ora; }
    void imposta(const QDateTime& ora) { m_ora = ora; }
    void avanza(std::chrono::milliseconds passo) { m_ora = m_ora.addMSecs(passo.count()); }

private:
    QDateTime m_ora;
};

} // namespace sorvela

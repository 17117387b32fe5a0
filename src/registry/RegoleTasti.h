#pragma once
// The key rules of the subscriber window's text fields, as one event filter:
// digits only (codes, serial numbers, postcodes), a capital initial (names,
// address, notes: a lower-case key typed into an empty field, or over the
// whole text, becomes its capital), capitals throughout (province), and Enter
// moving along a chain of fields. A field gets its rule once; fields without
// one are left alone.

#include <QHash>
#include <QList>
#include <QObject>

class QLineEdit;

namespace sorvela::registry {

class RegoleTasti : public QObject {
    Q_OBJECT
public:
    enum class Regola { Cifre, Iniziale, Maiuscole };

    explicit RegoleTasti(QObject* genitore = nullptr) : QObject(genitore) {}

    void applica(QLineEdit* campo, Regola regola);
    // Enter in one of these fields moves the focus to the next one.
    void catena(const QList<QLineEdit*>& campi);

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    QHash<QLineEdit*, Regola> m_regole;
    QList<QLineEdit*> m_catena;
};

} // namespace sorvela::registry

#pragma once
// The status strip at the bottom of the main window: panels `Picture2`(1..6)
// and the picture `Image1`, placed in twips. Panel 1 shows the count of new
// events, panel 4 the clock; the others are spacers that `Monitor` stretches
// to the screen's width.

#include <QColor>
#include <QFrame>
#include <QRect>
#include <array>

class QLabel;

namespace sorvela {

class PannelloTesto : public QFrame {
    Q_OBJECT
public:
    explicit PannelloTesto(QWidget* genitore = nullptr);
    // Clears the panel and prints `testo` at x twips from the left, centred
    // vertically on the height of `campione` in the panel's font.
    void stampa(const QString& testo, int xTwips, const QString& campione = {});
    void pulisci();
    QString testo() const { return m_testo; }
    // The panel's background; an invalid colour gives back the ordinary one.
    void setSfondo(const QColor& colore);
    QColor sfondo() const { return m_sfondo; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QString m_testo;
    QString m_campione;
    QColor m_sfondo;
    int m_x = 0;
};

class StrisciaStato : public QFrame {
    Q_OBJECT
public:
    explicit StrisciaStato(QWidget* genitore = nullptr);

    static constexpr int Altezza = 570;

    // Recomputes the widths of panels 3 and 6 and moves the picture and the
    // clock panel for a screen `larghezzaSchermo` twips wide.
    void Monitor(int larghezzaSchermo);

    // Designed geometry in twips: index 1..6 are the panels, 7 is `Image1`.
    QRect geometriaTwips(int indice) const { return m_geo.at(indice); }
    PannelloTesto* pannello(int indice) const { return m_pannelli.at(indice); }

    // Panels 2 and 5: the handset's port ("Telefono COM1") and its state
    // ("connesso", "non connesso", "non risponde"), on red while it cannot be
    // reached, since a console that cannot hear its handset hears no alarm.
    void mostraTelefono(int porta, const QString& stato, bool guasto);
    QLabel* immagine() const { return m_immagine; }

    // Panel 3: the operator on duty; panel 6: "Mittenti sconosciuti: N" on
    // red while messages of unknown senders wait, empty when there are none.
    void mostraOperatore(const QString& nome);
    void mostraSconosciuti(int quanti);
    // Panel 6 as well: the desk does not hear the server's announcements
    // (`motivo` why); empty when it hears them again.
    void mostraScollegato(const QString& motivo);
    // Panels 2 and 5 for a centre of several receivers: how many live, which
    // leads, one line each in the tooltip; red when `guasto`.
    void mostraRicevitori(const QString& conteggio, const QString& guida, const QString& dettaglio, bool guasto);

private:
    void applica();
    void aggiornaPannello6();

    int m_sconosciuti = 0;
    QString m_scollegato;

    std::array<QRect, 8> m_geo;
    std::array<PannelloTesto*, 7> m_pannelli{};
    QLabel* m_immagine;
};

} // namespace sorvela

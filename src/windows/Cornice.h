#pragma once
// The geometry settings and the scrolling frame shared by the operator
// windows (queue, subscriber, catalog, contacts).
//
// A window puts one Cornice in itself and lays its working controls on
// `interno()` (the inner container, "Picture1") at their designed places. The
// Cornice is the viewport ("Picture2"): when the window is made smaller than
// its designed size it shows the scroll bars "HScroll1" and "VScroll1" and the
// corner panel "SSPanel2" (a click restores the default size) instead of
// cutting the content off. It also reads the window's last position and size
// from the settings when the window opens and writes them back when it
// closes. Sizes are twips, as stored in the settings.

#include <QFrame>
#include <QPointer>
#include <QString>

class QScrollBar;

namespace sorvela {

class Preferenze;

struct ParametriCornice {
    QString sezione;        // settings section
    int larghezza;          // default size, twips
    int altezza;
    int larghezzaMinima;    // a width at or below this snaps to it
    int sogliaAltezza;      // a height at or below this ...
    int altezzaMinima;      // ... becomes this
};

namespace cornici {
inline const ParametriCornice CodaEventi{QStringLiteral("CodaEventi"), 11430, 2745, 3375, 2200, 2205};
inline const ParametriCornice AnagraficaUtenti{QStringLiteral("Anagraficautenti"), 11460, 8115, 7500, 2200, 2205};
inline const ParametriCornice Periferica{QStringLiteral("Periferiche"), 7800, 3240, 3375, 2200, 2205};
inline const ParametriCornice ContattiUtente{QStringLiteral("ContattiUtente"), 8700, 2370, 3375, 1875, 1875};
} // namespace cornici

// Height of the main window's status strip, which the centring leaves free.
inline constexpr int AltezzaBarraStato = 570;

class Cornice : public QFrame {
    Q_OBJECT
public:
    Cornice(const ParametriCornice& parametri, Preferenze& preferenze, QWidget* genitore = nullptr);

    const ParametriCornice& parametri() const { return m_p; }
    QWidget* interno() const { return m_interno; }          // "Picture1"
    QScrollBar* barraOrizzontale() const { return m_h; }    // "HScroll1"
    QScrollBar* barraVerticale() const { return m_v; }      // "VScroll1"
    QFrame* angolo() const { return m_angolo; }             // "SSPanel2"

    // Designed size of the inner container, in twips.
    void setDimensioneInterna(int larghezzaTwips, int altezzaTwips);

    // The window that is moved and sized: the MDI sub-window holding us, or
    // our top-level window. Resolved on first use; callers may set it.
    QWidget* finestra() const;
    void setFinestra(QWidget* f);

    // Reads "XPos", "YPos", "WiPos", "HePos" and applies them with their
    // fallbacks. Call from the window's load, before it shows.
    void leggiGeometria();
    // Writes the window's current geometry. Call whenever the window is
    // allowed to close.
    void salvaGeometria();

    // Window geometry in twips: relative to the MDI area, or the screen.
    QRect geometriaTwips() const;
    void setGeometriaTwips(const QRect& r);
    void ridimensionaTwips(int larghezza, int altezza);

    bool scorrimento() const { return m_scorrimento; }
    // Restores the default size (the corner panel's click).
    void ripristinaDimensione();
    // Pulls the window back inside its MDI area when it lies partly outside.
    void tieniInVista();

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void applicaRegole();
    void disponi();
    static bool normale(const QWidget* f);   // neither minimised nor maximised

    ParametriCornice m_p;
    Preferenze& m_pref;
    QWidget* m_interno;
    QScrollBar* m_h;
    QScrollBar* m_v;
    QFrame* m_angolo;
    mutable QPointer<QWidget> m_finestra;
    QRect m_normale;        // the window's last geometry while it was normal, in pixels
    bool m_scorrimento = false;
    bool m_inRegole = false;
};

// Pure arithmetic of the scroll bars' range, in twips: the excess of the
// inner container over the viewport plus the other bar, then the maximum
// (0 for a negative excess, else excess + 75) and the steps (half and a
// quarter, rounded half to even).
struct IntervalloBarra {
    int massimo;
    int passoGrande;
    int passoPiccolo;
};
IntervalloBarra intervalloBarra(int interno, int vista, int barraOpposta);

} // namespace sorvela

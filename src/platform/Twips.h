#pragma once
// Window geometry is designed and stored in twips (1440 per inch). One helper
// converts with the screen's logical DPI: 15 twips per pixel at 96 DPI.

namespace sorvela::twips {

double perPixel();                 // twips per pixel on the primary screen
int daPixel(int pixel);            // pixels -> twips
int inPixel(int twips);            // twips -> pixels (rounded)
int larghezzaSchermo();            // screen width in twips
int altezzaSchermo();              // screen height in twips

// Tests pin the scale and the screen so layouts are checked in exact twips.
void imposta(double twipsPerPixel, int larghezzaTwips, int altezzaTwips);
void ripristina();

} // namespace sorvela::twips

#pragma once
// Window geometry is designed in twips (1440 per inch); the one conversion
// to pixels for the screen in use.
#include <QRect>
#include <QWidget>

namespace velta {

constexpr int kTwipsPerInch = 1440;

// Logical vertical dots per inch of the screen `w` is on (96 when unknown).
int ScreenDpi(const QWidget *w);
int Px(int twips, const QWidget *w);
int Twips(int pixels, const QWidget *w);
// Left, Top, Width, Height in twips, placed on `widget` in its parent.
void PlaceTwips(QWidget *widget, int left, int top, int width, int height);

}  // namespace velta

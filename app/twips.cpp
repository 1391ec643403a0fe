#include "twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace velta {

int ScreenDpi(const QWidget *w) {
    const QScreen *screen = w != nullptr && w->screen() != nullptr ? w->screen()
                                                                   : QGuiApplication::primaryScreen();
    const double dpi = screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
    return dpi >= 48.0 ? static_cast<int>(std::lround(dpi)) : 96;
}

int Px(int twips, const QWidget *w) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * ScreenDpi(w) / kTwipsPerInch));
}

int Twips(int pixels, const QWidget *w) {
    return static_cast<int>(std::lround(static_cast<double>(pixels) * kTwipsPerInch / ScreenDpi(w)));
}

void PlaceTwips(QWidget *widget, int left, int top, int width, int height) {
    widget->setGeometry(Px(left, widget), Px(top, widget), Px(width, widget), Px(height, widget));
}

}  // namespace velta

// velta: hides a data file in a PNG or BMP image and gets it back.
#include <QApplication>
#include <sys/resource.h>

#include "frmMain.h"
#include "qt_ui_port.h"

int main(int argc, char *argv[]) {
#ifdef NDEBUG
    // The key lives in this process's memory; keep it out of core files.
    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
#endif
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Brannock Works"));
    QApplication::setApplicationName(QStringLiteral("VELTA"));
    velta::QtUiPort ui;
    velta::frmMain window(ui);
    ui.setOwner(&window);
    if (!window.Form_Load()) {
        return 1;
    }
    return app.exec();
}

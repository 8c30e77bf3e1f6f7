// ZanDriverSrv: the Palmkey button service.

#include <QApplication>
#include <QCoreApplication>
#include <clocale>
#include <iostream>
#include <memory>

#include "display_probe.h"
#include "zan_driver_srv_app.h"

int main(int argc, char* argv[]) {
    // Document texts convert through the locale's codeset. A locale that
    // cannot be set leaves the C locale, which the document layer reads as
    // UTF-8.
    if (std::setlocale(LC_ALL, "") == nullptr) {
        std::cerr << "ZanDriverSrv: the environment's locale is not installed; texts are read as "
                     "UTF-8\n";
    }
    // QApplication ends the process when its display cannot be reached, so
    // the service asks first; without one it runs headless and shows nothing.
    const bool displayAvailable = DisplayReachable();
    std::unique_ptr<QCoreApplication> app;
    if (displayAvailable) {
        app = std::make_unique<QApplication>(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    CZanDriverSrvApp service(*app, displayAvailable);
    return service.InitInstance();
}

// ZanDriverSrv: the Palmkey button service.

#include <locale.h>

#include <QApplication>
#include <QCoreApplication>
#include <iostream>
#include <memory>

#include "display_probe.h"
#include "zan_driver_srv_app.h"

namespace {

bool EnvironmentLocaleInstalled() {
    const locale_t environmentLocale = ::newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
    if (environmentLocale == static_cast<locale_t>(nullptr)) {
        return false;
    }
    ::freelocale(environmentLocale);
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    // The service takes no arguments, and Qt must not act on any either
    // (-platform, -display, -style ...): it gets the program name only. Both
    // live as long as the application object, as Qt requires.
    char fallbackName[] = "ZanDriverSrv";
    char* qtArguments[] = {argc > 0 && argv[0] != nullptr ? argv[0] : fallbackName, nullptr};
    int qtArgumentCount = 1;

    // Document texts convert through the locale's codeset. QCoreApplication
    // applies the environment's locale itself (setlocale(LC_ALL, "")); a
    // locale that is not installed leaves the C locale, which the document
    // layer reads as UTF-8, and the user should hear why.
    if (!EnvironmentLocaleInstalled()) {
        std::cerr << "ZanDriverSrv: the environment's locale is not installed; texts are read as "
                     "UTF-8\n";
    }
    // QApplication ends the process when its display cannot be reached, so
    // the service asks first; without one it runs headless and shows nothing.
    const bool displayAvailable = DisplayReachable();
    std::unique_ptr<QCoreApplication> app;
    if (displayAvailable) {
        app = std::make_unique<QApplication>(qtArgumentCount, qtArguments);
        QApplication::setQuitOnLastWindowClosed(false);
    } else {
        app = std::make_unique<QCoreApplication>(qtArgumentCount, qtArguments);
    }
    CZanDriverSrvApp service(*app, displayAvailable);
    return service.InitInstance();
}

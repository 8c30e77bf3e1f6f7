#pragma once
// The service's application object: the start-up sequence. It builds the
// main window, starts it and runs the event loop until the window ends;
// SIGTERM and SIGINT end the window the way WM_CLOSE does.

#include <QCoreApplication>

class CZanDriverSrvApp {
public:
    // app: the QApplication or QCoreApplication main() made; displayAvailable:
    // whether it is a QApplication with a reachable display.
    CZanDriverSrvApp(QCoreApplication& app, bool displayAvailable);

    // Runs the service and returns the process's exit status: 0 after an
    // orderly end and when another service already runs in this session, 1
    // when the service could not start.
    int InitInstance();

private:
    QCoreApplication& app_;
    bool displayAvailable_;
};

#include "zan_driver_srv_app.h"

#include <iostream>

#include "termination_signals.h"
#include "zan_driver_srv_dlg.h"

CZanDriverSrvApp::CZanDriverSrvApp(QCoreApplication& app, bool displayAvailable)
    : app_(app), displayAvailable_(displayAvailable) {}

int CZanDriverSrvApp::InitInstance() {
    TerminationSignals terminationSignals;
    ServiceEnvironment environment;
    environment.displayAvailable = displayAvailable_;
    CZanDriverSrvDlg dialog(std::move(environment));

    switch (dialog.OnInitDialog()) {
        case CZanDriverSrvDlg::StartResult::AlreadyRunning:
            std::cerr << "ZanDriverSrv: already running in this session; leaving it be\n";
            return 0;
        case CZanDriverSrvDlg::StartResult::Failed:
            std::cerr << "ZanDriverSrv: cannot start: " << dialog.StartError() << "\n";
            return 1;
        case CZanDriverSrvDlg::StartResult::Started:
            break;
    }

    QObject::connect(&terminationSignals, &TerminationSignals::terminationRequested, &dialog,
                     &CZanDriverSrvDlg::Destroy);
    QObject::connect(&dialog, &CZanDriverSrvDlg::finished, &app_, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    app_.exec();
    dialog.Destroy();
    return 0;
}

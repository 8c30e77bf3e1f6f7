#pragma once
// The service's main window. On Linux it is the endpoint "#32770" /
// "ZanDriverSrv" (a datagram socket watched on the Qt loop) rather than a
// hidden dialog; it owns the service's timers, the device-notice
// registrations, the device connection and the configuration record, and
// every handler runs on the main thread.
//
// Life: construct (built-in key codes), OnInitDialog (the start-up steps in
// their order), then the Qt loop delivers messages, timers, notices and
// signals; Destroy (or WM_CLOSE, or a termination signal) releases the
// device first and then everything else, and emits finished().

#include <QObject>
#include <QSocketNotifier>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "button_config.h"
#include "config/config_document.h"
#include "device_connection.h"
#include "device_notice_watch.h"
#include "driver_state.h"
#include "local_actions.h"
#include "no_input_synthesis.h"
#include "platform/endpoints.h"
#include "press_counter.h"
#include "qt_timer_port.h"
#include "service_report_sink.h"

// Where the service looks for its document and whether it counts as run by
// an administrator. The defaults come from the process (the program's
// folder, $XDG_CONFIG_HOME, effective uid 0); tests set their own.
struct ServiceEnvironment {
    ConfigLocations locations = ConfigLocations::ForThisProcess();
    std::optional<bool> administrator;  // nullopt: IsUserAdministrator()
    bool displayAvailable = false;      // the about box needs one
};

class CZanDriverSrvDlg : public QObject {
    Q_OBJECT
public:
    enum class StartResult {
        Started,
        AlreadyRunning,  // another service holds the endpoint of this session
        Failed,          // the endpoint could not be made; see StartError()
    };

    explicit CZanDriverSrvDlg(ServiceEnvironment environment = {}, QObject* parent = nullptr);
    ~CZanDriverSrvDlg() override;
    CZanDriverSrvDlg(const CZanDriverSrvDlg&) = delete;
    CZanDriverSrvDlg& operator=(const CZanDriverSrvDlg&) = delete;

    StartResult OnInitDialog();
    const std::string& StartError() const { return startError_; }

    // Message handlers.
    void OnReloadConfig();
    void OnShowPrompt(std::int64_t kind);
    void OnSysCommand(std::uint64_t command);
    void HandleMessage(const zan::WindowMessage& message);

    // The shutdown path: the device first, then notices, timers and the
    // endpoint (its file is removed). Idempotent; emits finished() once.
    void Destroy();

    const ButtonConfigStore& Config() const { return config_; }
    const DriverState& State() const { return state_; }
    const DeviceConnection& Connection() const { return *connection_; }

signals:
    void finished();

private:
    void OnEndpointReadable();
    void OnTimer(std::uint32_t timerId);
    void DriverTimerProc(std::uint32_t timerId);
    void RegisterDeviceNotices();
    void LoadButtonConfig();
    bool CreateEndpoint();

    ServiceEnvironment environment_;
    DriverState state_;
    ButtonConfigStore config_;
    ConfigDocument document_;
    zan::LinuxWindowSystem windows_;
    NoLocalActions localActions_;
    NoInputSynthesis input_;
    QtTimerPort timers_;
    PressCounter pressCounter_;
    ServiceReportSink reportSink_;
    Cregedit m_regedit;
    std::vector<std::unique_ptr<DeviceNoticeWatch>> noticeWatches_;
    std::optional<zan::OwnedEndpoint> endpoint_;
    // A child of the window: Destroy may run inside its own activation, so
    // it is released with deleteLater, and the window deletes it at the
    // latest.
    QSocketNotifier* endpointNotifier_ = nullptr;
    std::string startError_;
    bool destroyed_ = false;
    // Last: destroyed first, so the reader is joined while everything it
    // uses still exists.
    std::unique_ptr<DeviceConnection> connection_;
};

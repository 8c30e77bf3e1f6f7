#include "zan_driver_srv_dlg.h"

#include <string_view>

#include "about_box.h"
#include "hid_device.h"
#include "service_constants.h"

CZanDriverSrvDlg::CZanDriverSrvDlg(ServiceEnvironment environment, QObject* parent)
    : QObject(parent),
      environment_(std::move(environment)),
      timers_([this](std::uint32_t timerId) { OnTimer(timerId); }),
      pressCounter_(timers_),
      reportSink_(config_, pressCounter_, ActionPorts{windows_, localActions_}) {
    config_.ResetKeyDefaults();
    DeviceConnectionPorts ports{
        .findDevicePath =
            [this](std::wstring& path) {
                return m_regedit.GetHIDDevicePathName(path, DEVICE_VENDOR_ID, DEVICE_PRODUCT_ID,
                                                      0) != 0;
            },
        .makeDevice = [] { return std::make_unique<CHidDevice>(); },
        .armPollTimer = [this] { timers_.SetTimer(TIMER_POLL_DEVICE, TIMER_POLL_DEVICE_MS); },
        .killPollTimer = [this] { timers_.KillTimer(TIMER_POLL_DEVICE); },
        .reloadConfig = [this] { LoadButtonConfig(); },
    };
    connection_ = std::make_unique<DeviceConnection>(reportSink_, std::move(ports));
}

CZanDriverSrvDlg::~CZanDriverSrvDlg() {
    // The reader must be gone before the members it uses are destroyed.
    connection_->ReleaseDevice();
}

CZanDriverSrvDlg::StartResult CZanDriverSrvDlg::OnInitDialog() {
    // The endpoint stands where the dialog is created: it is the window that
    // everyone finds by "#32770" / "ZanDriverSrv".
    if (!CreateEndpoint()) {
        return startError_.empty() ? StartResult::AlreadyRunning : StartResult::Failed;
    }
    // Nothing is visible to hide, but the step keeps its place and its timer.
    timers_.SetTimer(TIMER_HIDE_WINDOW, TIMER_HIDE_WINDOW_MS);
    RegisterDeviceNotices();
    state_.bAdmin.store(environment_.administrator.value_or(IsUserAdministrator()) ? 1 : 0);
    LoadButtonConfig();
    timers_.SetTimer(TIMER_POLL_DEVICE, TIMER_POLL_DEVICE_MS);
    return StartResult::Started;
}

bool CZanDriverSrvDlg::CreateEndpoint() {
    auto created = zan::OwnedEndpoint::Create(SERVICE_WINDOW_CLASS, SERVICE_WINDOW_TITLE);
    if (!created.ok()) {
        if (created.error().kind != zan::EndpointErrorKind::NameTaken) {
            startError_ = created.error().message;
        }
        return false;
    }
    endpoint_.emplace(std::move(created.value()));
    endpointNotifier_ = new QSocketNotifier(endpoint_->fd(), QSocketNotifier::Read, this);
    connect(endpointNotifier_, &QSocketNotifier::activated, this, [this] { OnEndpointReadable(); });
    return true;
}

void CZanDriverSrvDlg::RegisterDeviceNotices() {
    for (const wchar_t* classText : NOTICE_INTERFACE_CLASSES) {
        noticeWatches_.push_back(std::make_unique<DeviceNoticeWatch>(
            m_regedit, this, classText,
            [this](std::uint32_t event, const DevBroadcastHeader* header) {
                connection_->OnDeviceChange(event, header);
            }));
    }
}

void CZanDriverSrvDlg::LoadButtonConfig() {
    config_.Reload(document_, std::wstring(DOCUMENT_FILE_NAME), std::wstring(DOCUMENT_FOLDER),
                   std::wstring(DOCUMENT_RELATIVE_PATH), state_.bAdmin.load() != 0,
                   environment_.locations);
}

void CZanDriverSrvDlg::OnEndpointReadable() {
    // Destroy() may run inside HandleMessage and drop the endpoint.
    while (endpoint_) {
        const auto message = endpoint_->Receive();
        if (!message) {
            return;
        }
        HandleMessage(*message);
    }
}

void CZanDriverSrvDlg::HandleMessage(const zan::WindowMessage& message) {
    switch (message.message) {
        case MSG_RELOAD_CONFIG:
            OnReloadConfig();
            break;
        case MSG_SHOW_PROMPT:
            OnShowPrompt(message.lParam);
            break;
        case WM_SYSCOMMAND:
            OnSysCommand(message.wParam);
            break;
        case WM_CLOSE:
            Destroy();
            break;
        default:
            break;
    }
}

void CZanDriverSrvDlg::OnReloadConfig() {
    LoadButtonConfig();
}

void CZanDriverSrvDlg::OnShowPrompt(std::int64_t /*kind*/) {
    // The notification popup plugs in here.
}

void CZanDriverSrvDlg::OnSysCommand(std::uint64_t command) {
    const std::uint64_t masked = command & SYSCOMMAND_MASK;
    if (masked == SYSCOMMAND_ABOUT) {
        if (environment_.displayAvailable) {
            ShowAboutBox();
        }
        return;
    }
    // Every other command goes to the dialog's default handling, of which
    // only closing means anything for a window nobody sees.
    if (masked == SYSCOMMAND_CLOSE) {
        Destroy();
    }
}

void CZanDriverSrvDlg::OnTimer(std::uint32_t timerId) {
    // Kills are queued; a tick that slips in after shutdown must not reopen
    // the device.
    if (destroyed_) {
        return;
    }
    if (timerId == TIMER_HIDE_WINDOW) {
        timers_.KillTimer(TIMER_HIDE_WINDOW);
        return;
    }
    DriverTimerProc(timerId);
}

void CZanDriverSrvDlg::DriverTimerProc(std::uint32_t timerId) {
    if (timerId == TIMER_POLL_DEVICE) {
        connection_->Poll();
    } else if (timerId == TIMER_CLICK_WINDOW) {
        ResolvePresses(pressCounter_, windows_, input_);
    }
}

void CZanDriverSrvDlg::Destroy() {
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    connection_->ReleaseDevice();
    noticeWatches_.clear();
    timers_.KillTimer(TIMER_POLL_DEVICE);
    timers_.KillTimer(TIMER_CLICK_WINDOW);
    timers_.KillTimer(TIMER_HIDE_WINDOW);
    if (endpointNotifier_ != nullptr) {
        endpointNotifier_->setEnabled(false);
        endpointNotifier_->deleteLater();
        endpointNotifier_ = nullptr;
    }
    endpoint_.reset();
    emit finished();
}

// The main window in-process: the reload handler, the document each kind of
// user reads, one window per session, and the orderly end.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <filesystem>
#include <fstream>

#include "service_constants.h"
#include "service_harness.h"
#include "zan_driver_srv_dlg.h"

namespace {

using service_test::BuiltInRows;
using service_test::DocumentRow;
using service_test::MakeDocument;

QCoreApplication& Application() {
    static int argc = 1;
    static char name[] = "service_shell_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    return application;
}

std::vector<DocumentRow> RowsWithKey1Click(int click) {
    auto rows = BuiltInRows();
    rows[0].click = click;
    return rows;
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application();
        ::setenv("XDG_RUNTIME_DIR", (dir_.path() / "run").c_str(), 1);
        std::filesystem::create_directory(dir_.path() / "run");
        std::filesystem::permissions(dir_.path() / "run", std::filesystem::perms::owner_all);
        WriteFile(DeliveredCopy(), MakeDocument(0, RowsWithKey1Click(33), BuiltInRows()));
    }

    ServiceEnvironment Environment(bool administrator) const {
        ServiceEnvironment environment;
        environment.locations.programDir = dir_.path() / "program";
        environment.locations.appDataDir = dir_.path() / "config";
        environment.administrator = administrator;
        return environment;
    }
    std::filesystem::path DeliveredCopy() const { return dir_.path() / "program" / "Palmkey.xml"; }
    std::filesystem::path PerUserCopy() const {
        return dir_.path() / "config" / "ZanSoftware" / "Drivers" / "Palmkey.xml";
    }
    std::filesystem::path EndpointFile() const {
        return dir_.path() / "run" / "zansoftware" / "windows" / "%2332770@ZanDriverSrv";
    }

    service_test::TempDir dir_;
};

int Key1Click(const CZanDriverSrvDlg& window) {
    return window.Config().Snapshot()->keys[0].click;
}

TEST_F(MainWindowTest, ReloadMessageReadsTheEditedPerUserDocument) {
    CZanDriverSrvDlg window(Environment(false));
    ASSERT_EQ(window.OnInitDialog(), CZanDriverSrvDlg::StartResult::Started);
    ASSERT_TRUE(std::filesystem::exists(PerUserCopy())) << "first start copies the document";
    EXPECT_EQ(Key1Click(window), 33);

    WriteFile(PerUserCopy(), MakeDocument(0, RowsWithKey1Click(71), BuiltInRows()));
    WriteFile(DeliveredCopy(), MakeDocument(0, RowsWithKey1Click(55), BuiltInRows()));
    window.HandleMessage({MSG_RELOAD_CONFIG, 0, 0});
    EXPECT_EQ(Key1Click(window), 71);

    WriteFile(PerUserCopy(), MakeDocument(1, BuiltInRows(), RowsWithKey1Click(72)));
    window.HandleMessage({MSG_RELOAD_CONFIG, 0, 0});
    EXPECT_EQ(Key1Click(window), 72) << "a switch to custom mode takes effect in one reload";
    EXPECT_EQ(window.State().bAdmin.load(), 0) << "the administrator flag is kept from start";
}

TEST_F(MainWindowTest, AdministratorReadsTheDeliveredCopy) {
    CZanDriverSrvDlg window(Environment(true));
    ASSERT_EQ(window.OnInitDialog(), CZanDriverSrvDlg::StartResult::Started);
    WriteFile(DeliveredCopy(), MakeDocument(0, RowsWithKey1Click(55), BuiltInRows()));
    window.OnReloadConfig();
    EXPECT_EQ(Key1Click(window), 55);
    EXPECT_FALSE(std::filesystem::exists(PerUserCopy()));
}

TEST_F(MainWindowTest, UnreadableDocumentLeavesTheBuiltInCodes) {
    WriteFile(DeliveredCopy(), "<Config><Palmkey><Key0 Click=");
    CZanDriverSrvDlg window(Environment(true));
    ASSERT_EQ(window.OnInitDialog(), CZanDriverSrvDlg::StartResult::Started);
    EXPECT_EQ(Key1Click(window), 33);
    EXPECT_EQ(window.Config().Snapshot()->keys[7].doubleClick, 273);
}

TEST_F(MainWindowTest, SecondWindowInTheSessionIsRefused) {
    CZanDriverSrvDlg first(Environment(true));
    ASSERT_EQ(first.OnInitDialog(), CZanDriverSrvDlg::StartResult::Started);
    CZanDriverSrvDlg second(Environment(true));
    EXPECT_EQ(second.OnInitDialog(), CZanDriverSrvDlg::StartResult::AlreadyRunning);
    EXPECT_TRUE(std::filesystem::exists(EndpointFile())) << "the refused one leaves it alone";
}

TEST_F(MainWindowTest, UnusableRuntimeFolderIsAFailureWithAReason) {
    const auto folder = dir_.path() / "run" / "zansoftware";
    std::filesystem::create_directory(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all |
                                             std::filesystem::perms::group_read |
                                             std::filesystem::perms::group_exec);
    CZanDriverSrvDlg window(Environment(true));
    EXPECT_EQ(window.OnInitDialog(), CZanDriverSrvDlg::StartResult::Failed);
    EXPECT_FALSE(window.StartError().empty());
}

TEST_F(MainWindowTest, CloseMessageEndsOnceAndRemovesTheEndpoint) {
    CZanDriverSrvDlg window(Environment(true));
    ASSERT_EQ(window.OnInitDialog(), CZanDriverSrvDlg::StartResult::Started);
    int finished = 0;
    QObject::connect(&window, &CZanDriverSrvDlg::finished, [&] { ++finished; });
    window.HandleMessage({2428, 0, 4});
    window.HandleMessage({WM_SYSCOMMAND, 0xF020, 0});  // minimise: nothing to do
    window.HandleMessage({WM_SYSCOMMAND, 16, 0});      // headless: no about box
    EXPECT_EQ(finished, 0) << "other messages do not end the service";
    window.HandleMessage({WM_CLOSE, 0, 0});
    window.Destroy();
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(std::filesystem::exists(EndpointFile()));
}

}  // namespace

// The about box as a person sees it: opened by the system menu's command 16
// on a service that has a display, with the program's texts and an OK button
// that closes it. Runs on Qt's offscreen platform and leaves a picture of the
// box next to the test program.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "service_constants.h"
#include "service_harness.h"
#include "zan_driver_srv_dlg.h"

// fontconfig keeps its font cache for the life of the process and Qt never
// frees it, so LeakSanitizer would count it at exit. Nothing of ours.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace {

QApplication& Application() {
    static int argc = 1;
    static char name[] = "service_about_box_test";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
    return application;
}

struct SeenBox {
    bool shown = false;
    QString title;
    QStringList labels;
    QStringList buttons;
};

// Reads the modal box once the event loop runs it, saves its picture and
// presses its OK button.
void InspectAndCloseBox(SeenBox& seen) {
    QTimer::singleShot(0, [&seen] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        seen.shown = true;
        seen.title = box->windowTitle();
        for (const QLabel* label : box->findChildren<QLabel*>()) {
            seen.labels << label->text();
        }
        for (QPushButton* button : box->findChildren<QPushButton*>()) {
            seen.buttons << button->text();
        }
        box->grab().save(QString::fromStdString(
            (std::filesystem::path(ZAN_TEST_BIN_DIR) / "about_box.png").string()));
        box->findChildren<QPushButton*>().value(0)->click();
    });
}

class AboutBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application();
        std::filesystem::create_directory(dir_.path() / "run");
        std::filesystem::permissions(dir_.path() / "run", std::filesystem::perms::owner_all);
        ::setenv("XDG_RUNTIME_DIR", (dir_.path() / "run").c_str(), 1);
    }

    ServiceEnvironment Environment(bool display) const {
        ServiceEnvironment environment;
        environment.locations.programDir = dir_.path() / "program";
        environment.locations.appDataDir = dir_.path() / "config";
        environment.administrator = true;
        environment.displayAvailable = display;
        return environment;
    }

    service_test::TempDir dir_;
};

TEST_F(AboutBoxTest, SystemMenuCommand16ShowsTheBoxWithTheProgramsTexts) {
    CZanDriverSrvDlg window(Environment(true));
    ASSERT_EQ(window.OnInitDialog(), CZanDriverSrvDlg::StartResult::Started);
    SeenBox seen;
    InspectAndCloseBox(seen);
    // The low four bits of the command are the system's own and do not count.
    window.HandleMessage({WM_SYSCOMMAND, 0x0013, 0});
    QApplication::processEvents();  // runs the inspection even when no box came
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.title, QStringLiteral("关于 ZanDriverSrv"));
    EXPECT_TRUE(seen.labels.contains(QStringLiteral("ZanDriverSrv，1.0 版")));
    EXPECT_EQ(seen.buttons, QStringList{QStringLiteral("确定")});
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "OK closes the box";
    window.Destroy();
}

TEST_F(AboutBoxTest, WithoutADisplayNothingIsShown) {
    CZanDriverSrvDlg window(Environment(false));
    ASSERT_EQ(window.OnInitDialog(), CZanDriverSrvDlg::StartResult::Started);
    SeenBox seen;
    InspectAndCloseBox(seen);
    window.HandleMessage({WM_SYSCOMMAND, 16, 0});
    QApplication::processEvents();
    EXPECT_FALSE(seen.shown);
    window.Destroy();
}

}  // namespace

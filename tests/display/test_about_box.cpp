// The about box in a program on a private X server: the maker's web host,
// reached through a proxy, lists a newer release and its zipped installer;
// the box offers it, and a click fetches, unpacks and starts it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "GenC/hl_about.h"
#include "OOPS_cpp/oglp_layout.h"
#include "support/app_driver.h"
#include "support/http_servers.h"
#include "support/release_builder.h"
#include "support/test_util.h"
#include "support/xvfb_server.h"

namespace {

using namespace brx_test;

// The box's lower-left corner on the canvas (600 by 300, centred).
constexpr int kBoxX = 212, kBoxY = 234;

const std::string kList =
    "I\n820 version\nSERVERS\n"
    "FINAL Brennix 9.10\n"
    "FINAL_VERSION 91000\n"
    "FINAL_INSTALLER_LIN www.corvath.example /get/Brennix Installer 9.10.zip\n"
    "SERVER dl.corvath.example\n/brennix/\nMain server\n"
    "ENDOFLIST\n";
// The installer: writes its argument count to a marker file.
const std::string kScript = "#!/bin/sh\necho \"started $#\" > installer_started\n";

class AboutBoxApp : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.running());
        ASSERT_TRUE(screen.ok());
        mkdir(site.c_str(), 0755);
        write_file(site + "serverlist.txt", kList);
        mkdir(app_dir.c_str(), 0755);
        mkdir((app_dir + "Resources").c_str(), 0755);
        mkdir((app_dir + "Resources/preferences").c_str(), 0755);
    }

    // Runs the program until the box offers the update.
    void open_until_offered()
    {
        app = std::make_unique<AppProcess>(
            BRX_ABOUT_APP, app_dir, server.display(),
            std::vector<std::string>{"BRX_TEST_PROXY_PORT=" + std::to_string(proxy.port())},
            std::vector<std::string>{});
        ASSERT_TRUE(app->wait_for("ABOUT OPEN")) << app->seen();
        // The update button at (492, 17) of the box, as wide as its label.
        const int y = kBoxY + 17;
        EXPECT_TRUE(eventually([&] {
            const rgb back = screen.pixel(kBoxX + 420, y);
            const auto [left, right] = screen.extent(kBoxX + 400, kBoxX + 590, y, y, back);
            return left > 0 && std::abs((right - left + 1) -
                                        (21 + OGL_string_width("Update Brennix!"))) <= 2;
        })) << "no update button";
    }
    // The message line of the box shows `text`: drawn as wide as it is.
    bool shows_message(const std::string& text)
    {
        const bool shown = eventually([&] {
            const rgb back = screen.pixel(kBoxX + 15, kBoxY + 68);
            const auto [left, right] =
                screen.extent(kBoxX + 15, kBoxX + 585, kBoxY + 62, kBoxY + 72, back);
            // The first glyph's bearing is a pixel or two.
            return left >= kBoxX + 20 && left <= kBoxX + 23 &&
                   std::abs((right - left + 1) - OGL_string_width(text)) <= 3;
        });
        if (!shown) {
            const rgb back = screen.pixel(kBoxX + 15, kBoxY + 68);
            const auto [left, right] =
                screen.extent(kBoxX + 15, kBoxX + 585, kBoxY + 62, kBoxY + 72, back);
            ADD_FAILURE() << "message line from " << left - kBoxX << " to " << right - kBoxX
                          << ", " << OGL_string_width(text) << " wide";
        }
        return shown;
    }

    XvfbServer server{"1280x1024x24"};
    CanvasReader screen{server.display()};
    TempDir dir;
    std::string site = dir / "site/";
    std::string app_dir = dir / "app/";
    std::unique_ptr<NginxServer> nginx_ptr =
        std::make_unique<NginxServer>(dir / "", std::map<std::string, std::string>{
                                                    {"www.corvath.example", site}});
    TinyProxy proxy{dir / "", nginx_ptr->port()};
    std::unique_ptr<AppProcess> app;
};

TEST_F(AboutBoxApp, OfferedInstallerIsFetchedUnpackedAndStarted)
{
    make_zip(site + "get/Brennix Installer 9.10.zip",
             {ZipEntry{"install.sh", kScript, 0100755}, ZipEntry{"readme.txt", "9.10"}});
    open_until_offered();
    click_canvas(server.display(), kBoxX + 492, kBoxY + 17);

    // This program ends as a started installer makes it; the installer runs
    // in the box's folder with no arguments.
    EXPECT_EQ(app->wait_exit(), 1) << app->seen();
    EXPECT_TRUE(eventually([&] { return read_file(app_dir + "installer_started") == "started 0\n"; }));
    EXPECT_EQ(read_file(app_dir + "readme.txt"), "9.10");
    EXPECT_EQ(read_file(app_dir + kAboutListFile), kList);
    EXPECT_TRUE(exists(app_dir + kAboutInstallerZip));
    EXPECT_NE(read_file(app_dir + "Log.txt").find("\nLaunching: install.sh with \n"),
              std::string::npos);
    EXPECT_EQ(app->seen().find("ABOUT CLOSED"), std::string::npos);
}

TEST_F(AboutBoxApp, HostileArchiveStartsNothing)
{
    make_zip(site + "get/Brennix Installer 9.10.zip",
             {ZipEntry{"../install.sh", kScript, 0100755}});
    open_until_offered();
    click_canvas(server.display(), kBoxX + 492, kBoxY + 17);

    const std::string message = "There was an error unzipping the installer: Invalid argument (22)";
    EXPECT_TRUE(shows_message(message));
    ASSERT_TRUE(xdotool(server.display(), "key Return"));
    ASSERT_TRUE(app->wait_for("APP UPDATE")) << app->seen();
    ASSERT_TRUE(app->wait_for("ABOUT CLOSED 4 " + message)) << app->seen();
    ASSERT_TRUE(app->wait_for("EXIT")) << app->seen();
    EXPECT_EQ(app->wait_exit(), 0);
    EXPECT_FALSE(exists(dir / "install.sh"));
    EXPECT_FALSE(exists(dir / "installer_started"));
    EXPECT_FALSE(exists(app_dir + "installer_started"));
    EXPECT_EQ(read_file(app_dir + "Log.txt").find("Launching:"), std::string::npos);
}

TEST_F(AboutBoxApp, WithoutTheNetTheBoxSaysSoAndCloses)
{
    // Nothing listens on the proxy port: every frame's attempt fails.
    app = std::make_unique<AppProcess>(
        BRX_ABOUT_APP, app_dir, server.display(),
        std::vector<std::string>{"BRX_TEST_PROXY_PORT=" + std::to_string(free_loopback_port())},
        std::vector<std::string>{});
    ASSERT_TRUE(app->wait_for("ABOUT OPEN")) << app->seen();
    // The version line at (20, 215) of the box names the host it could not reach.
    const std::string line =
        "I could not connect to the net to find the current version of Brennix at "
        "www.corvath.example!";
    EXPECT_TRUE(eventually([&] {
        const rgb back = screen.pixel(kBoxX + 15, kBoxY + 218);
        const auto [left, right] =
            screen.extent(kBoxX + 15, kBoxX + 585, kBoxY + 212, kBoxY + 222, back);
        return left >= kBoxX + 20 && left <= kBoxX + 23 &&
               std::abs((right - left + 1) - OGL_string_width(line)) <= 3;
    }));
    // The right title-bar box closes it.
    ASSERT_TRUE(click_canvas(server.display(), kBoxX + 583, kBoxY + 290));
    ASSERT_TRUE(app->wait_for("ABOUT CLOSED 0 ")) << app->seen();
    ASSERT_TRUE(app->wait_for("EXIT")) << app->seen();
    EXPECT_EQ(app->wait_exit(), 0);
}

}  // namespace

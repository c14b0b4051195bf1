// The program's frame through its windows: the banner, the pages in their
// disconnected form, and following units as they are plugged and pulled.
#include "gui_driver.h"

#include <gtest/gtest.h>

namespace {

using namespace gui;

constexpr int kBannerArea = 505 * 35;

void expectDisconnectedPages(const Program& p) {
    HWND summary = currentPage(p);
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(text(summary, 1043), "Bexo Summary:");
    EXPECT_EQ(text(summary, 1049), "Version 3.5");
    for (int id : {1011, 1022, 1034, 1036, 1037}) EXPECT_EQ(text(summary, id), "None") << id;
    EXPECT_EQ(text(summary, 1038), "No");
    EXPECT_EQ(text(summary, 1050), "");

    selectTab(p, 1);
    HWND configure = nullptr;
    ASSERT_TRUE(eventually([&] { return (configure = currentPage(p)) != summary && configure; }));
    EXPECT_FALSE(IsWindow(summary)); // the page before is destroyed, not hidden
    EXPECT_EQ(text(configure, 1044), "Bexo Configuration:");
    for (int id : {1026, 1027, 1028, 1047}) EXPECT_FALSE(enabled(configure, id)) << id;
    EXPECT_TRUE(enabled(configure, 1032));
    EXPECT_EQ(text(configure, 1032), "Apply");

    selectTab(p, 2);
    HWND download = nullptr;
    ASSERT_TRUE(eventually([&] { return (download = currentPage(p)) != configure && download; }));
    EXPECT_EQ(text(download, 1045), "Bexo Log Download:");
    EXPECT_EQ(text(download, 1013), "Download logs && retain Bexo memory");
    EXPECT_EQ(text(download, 1015), "Download logs && clear Bexo memory");
    EXPECT_EQ(text(download, 1014), "Clear Bexo memory only");
    for (int id : {1048, 1049, 1013, 1015, 1014}) EXPECT_FALSE(enabled(download, id)) << id;
    // A fresh page has no check marks until a unit fills it.
    EXPECT_FALSE(checked(download, 1048));
    EXPECT_FALSE(checked(download, 1049));
    selectTab(p, 0);
}

using Texts = std::vector<std::string>;

TEST(Shell, EveryPageShowsEachOfItsControlsTexts) {
    UnitFolder unit;
    auto p = start({&unit});
    ASSERT_TRUE(bannerIs(*p, kGreen));
    ASSERT_TRUE(windowGone(*p, "Communicating with Bexo"));
    EXPECT_EQ(controlTexts(p->main), Texts{"Tab1"});
    const Texts summary{"Bexo Summary:", "Bexo Log Export:", "Version 3.5", "Bexo version:", "USB 1.03  CPU 1.29",
                        "",              "CPU:",             "1087",        "Logging capable:", "Yes",
                        "Serial number:", "00042",           "Bytes used:", "20000",            "Logs:",
                        "0 files and 0 bytes"};
    EXPECT_EQ(controlTexts(currentPage(*p)), summary);
    selectTab(*p, 1);
    const Texts configure{"Bexo Configuration:",
                          "Volume level",
                          "Mute",
                          "Low",
                          "High",
                          "Battery saver",
                          "When using batteries, automatically shut down if the ",
                          "vehicle remains stationary for",
                          "30",
                          "minutes.",
                          "Apply",
                          "After applying the changes, the new settings will take effect next time Bexo is restarted."};
    // Polled: the page's controls exist a moment before it fills them.
    eventually([&] { return controlTexts(currentPage(*p)) == configure; });
    EXPECT_EQ(controlTexts(currentPage(*p)), configure);
    selectTab(*p, 2);
    const Texts download{"Bexo Log Download:",
                         "Merge log records for dead wildlife.",
                         "Merge log records for crossing wildlife.",
                         "Download logs && retain Bexo memory",
                         "Download logs && clear Bexo memory",
                         "Clear Bexo memory only"};
    eventually([&] { return controlTexts(currentPage(*p)) == download; });
    EXPECT_EQ(controlTexts(currentPage(*p)), download);
    EXPECT_EQ(p->close(), 0);
}

TEST(Shell, ApplyWithoutAUnitRunsItsDialogsAndWritesNothing) {
    auto p = start({});
    ASSERT_TRUE(bannerIs(*p, kRed));
    selectTab(*p, 1);
    HWND page = nullptr;
    ASSERT_TRUE(eventually([&] { return (page = currentPage(*p)) && controlTexts(page).size() == 12; }));
    click(page, 1032);
    EXPECT_NE(waitForWindow(*p, "Communicating with Bexo", 5000), nullptr);
    EXPECT_TRUE(windowGone(*p, "Communicating with Bexo"));
    EXPECT_EQ(clientPixel(*p, 12, 12), kRed);
    EXPECT_EQ(p->close(), 0);
}

TEST(Shell, StartsWithoutAUnitRedBannerAndEveryPageDisconnected) {
    auto p = start({});
    ASSERT_NE(p->main, nullptr);
    ASSERT_TRUE(bannerIs(*p, kRed));
    // White text on the red fill: "Bexo is disconnected" is drawn into it.
    const int red = bannerPixels(*p, kRed), white = bannerPixels(*p, kWhite);
    EXPECT_GT(red, kBannerArea / 2);
    EXPECT_GT(white, 500);
    EXPECT_EQ(bannerPixels(*p, kGreen), 0);
    expectDisconnectedPages(*p);
    EXPECT_EQ(p->close(), 0);
}

TEST(Shell, PluggingAUnitShowsTheCommunicationDialogThenTheGreenBanner) {
    UnitFolder unit(0x8100, false);
    auto p = start({&unit});
    ASSERT_TRUE(bannerIs(*p, kRed));
    unit.plug();
    HWND dialog = waitForWindow(*p, "Communicating with Bexo");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(bannerIs(*p, kGreen));
    EXPECT_TRUE(windowGone(*p, "Communicating with Bexo"));
    EXPECT_GT(bannerPixels(*p, kBlack), 300); // "  Bexo is connected" in black
    EXPECT_EQ(bannerPixels(*p, kRed), 0);
    EXPECT_EQ(p->close(), 0);
}

TEST(Shell, PullingOutTheOpenUnitTurnsTheBannerRedAnotherDeviceChangesNothing) {
    UnitFolder first, second;
    auto p = start({&first, &second});
    ASSERT_TRUE(bannerIs(*p, kGreen));
    ASSERT_TRUE(windowGone(*p, "Communicating with Bexo"));
    // The program took the first unit; the second is only present.
    second.unplug();
    Sleep(1000);
    EXPECT_EQ(clientPixel(*p, 12, 12), kGreen);
    // An arrival while a unit is open touches nothing: no refresh dialog.
    second.plug();
    const bool refreshed = waitForWindow(*p, "Communicating with Bexo", 1500) != nullptr;
    EXPECT_FALSE(refreshed);
    first.unplug();
    EXPECT_TRUE(bannerIs(*p, kRed));
    // The second unit, still present, is opened by the next arrival.
    first.plug();
    EXPECT_TRUE(bannerIs(*p, kGreen));
    EXPECT_EQ(p->close(), 0);
}

} // namespace

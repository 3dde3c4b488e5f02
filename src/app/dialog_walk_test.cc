// Seeded random walks over the main dialog (dialog_walk.h), the same on Wine
// and on the native layer: what the fuzz target checks natively holds on the
// real system too.
#include "testing/drivers/dialog_walk.h"

#include <cstdio>
#include <random>
#include <vector>

#include "testing/drivers/app_testing.h"
#include "testing/temp_folder.h"
#include "testing/test.h"
#include "testing/test_util.h"

TEST(DialogWalk, SeededWalksKeepWhatTheDialogMustKeep) {
  testing::TempFolder folder;
  dialog_walk::write_mail_folder(folder);
  app_testing::InFolder here(folder.path());
  // Fewer on Wine, where every dialog is a real window.
  const unsigned walks = testing::on_native_layer() ? 40 : 16;
  size_t finds = 0, steps = 0;
  for (unsigned seed = 1; seed <= walks; ++seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> data(300);
    for (uint8_t& byte : data) byte = static_cast<uint8_t>(random());
    dialog_walk::Options options;
    options.shell_commands = testing::on_native_layer();
    options.longest_typing = 400;
    dialog_walk::Bytes bytes(data.data(), data.size());
    dialog_walk::Walk walk(folder, options);
    // A Find of a folder typed away says so in a box; on Wine a watcher answers it.
    testing::message_boxes_during([&] {
      while (walk.step(bytes)) ++steps;
    });
    EXPECT_EQ(walk.failure(), std::string());
    finds += walk.finds();
  }
  std::printf("dialog walks: %u, %zu steps, %zu finds\n", walks, steps, finds);
  EXPECT_TRUE(finds > walks / 4);
  EXPECT_TRUE(steps > walks * 5);
}

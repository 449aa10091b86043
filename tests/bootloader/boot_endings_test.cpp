// Conversations that do not end well leave no valid record: the host's side played by
// the test (a transfer that stops early, a wrong end marker in either round), and a flash
// page that no longer erases, which the read-back finds.
#include "tests/bootloader/boot_fixture.h"
#include "tests/bootloader/host_side.h"

namespace {

class BootEndingTest : public BootTest {};

TEST_F(BootEndingTest, AWrongEndMarkerOrAnEarlyEndLeavesNoValidRecord) {
  const std::vector<uint8_t> app = App(130, 13);
  const std::vector<uint8_t> image = Read(Image("app", app));
  BootSimProcess sim;
  StartSim(sim);
  struct Ending {
    const char* name;
    std::vector<uint8_t> markers;  // the end rounds the host plays
    std::vector<int> echoes;       // what the device answers
  };
  for (const Ending& ending : {Ending{"first round", {0xFE}, {0xFE}},
                               Ending{"second round", {0xFF, 0x7F}, {0xFF, 0x00}},
                               Ending{"both right", {0xFF, 0xFF}, {0xFF, 0xFF}}}) {
    SCOPED_TRACE(ending.name);
    HostSide host(Link());
    host.Send(image, image.size());
    for (size_t round = 0; round < ending.markers.size(); ++round)
      EXPECT_EQ(host.Exchange(ending.markers[round]), ending.echoes[round]);
    EXPECT_EQ(Json(sim.NextLine()), ending.echoes.back() == 0xFF && ending.markers.size() == 2 ? Valid(app)
                                                                                               : Invalid());
  }
  // The host goes silent at the request for byte 101: the device gives up after its
  // time-out. (The request is read: a terminal keeps an unread byte for the next program.)
  {
    HostSide host(Link());
    host.Send(image, 100);
    EXPECT_EQ(host.Read(), 0x80);
  }
  EXPECT_EQ(Json(sim.NextLine()), Invalid());
  FlashValid(sim, "again", app);
}

TEST_F(BootEndingTest, APageThatNoLongerErasesFailsTheReadBackAndTheHostReportsIt) {
  const std::vector<uint8_t> old = App(200, 14), fresh = App(200, 15);
  Install(old);
  BootSimProcess worn;
  EXPECT_EQ(StartSim(worn, {"--worn-page", "1"}), Valid(old));
  const ProgramResult run = Flash(Image("fresh", fresh));
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("failed at byte 208 of 208"), std::string::npos) << run.out;
  EXPECT_EQ(Json(worn.NextLine()), Invalid());
}

}  // namespace

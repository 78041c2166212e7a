// Where Next and Back lead for each operation and backup file.
#include <gtest/gtest.h>

#include "wizard/WizardInfo.h"
#include "wizard/resources/resource.h"

namespace {

enum { W = 107, OP = 208, DRIVE = 204, FILE_ = 209, EDIT = 206, DEST = 205, ADD = 211 };
enum { EXPORT = 212, TRACKS = 210, DISCS = 215, REC = 213, PROG = 108, DONE = 203 };

struct Road {
  const char* name;
  int operation;
  int discs;
  bool pictures;
  std::vector<std::pair<int, int>> next;  // page, answer
  std::vector<std::pair<int, int>> back;
};

class Navigation : public ::testing::TestWithParam<Road> {};

TEST_P(Navigation, FollowsTheOperationsRoad) {
  const Road& road = GetParam();
  CWizardInfo info;
  info->operation = road.operation;
  info->discs.resize(road.discs);
  if (road.pictures) info->discs.front().pictures.resize(1);
  for (const auto& [page, answer] : road.next) EXPECT_EQ(answer, info.NextPageId(page)) << page;
  for (const auto& [page, answer] : road.back) EXPECT_EQ(answer, info.PrevPageId(page)) << page;
}

// 0 is the next or previous page in the sheet's order.
INSTANTIATE_TEST_SUITE_P(
    Roads, Navigation,
    ::testing::Values(
        Road{"NoOperationStaysOnTheOperationPage",
             OpNone,
             0,
             false,
             {{W, OP}, {OP, OP}, {FILE_, DONE}, {EDIT, 0}, {DONE, 0}, {999, 0}},
             {{W, 0}, {OP, 0}, {999, 0}}},
        Road{"Backup",
             OpBackup,
             0,
             false,
             {{OP, DRIVE}, {DRIVE, DEST}, {EDIT, 0}, {DEST, ADD}, {ADD, PROG}, {PROG, DONE}},
             {{DRIVE, OP}, {EDIT, DRIVE}, {DEST, DRIVE}, {ADD, DEST}, {PROG, OP}, {DONE, OP}}},
        Road{"Extract",
             OpExtract,
             2,
             true,
             {{OP, FILE_}, {FILE_, TRACKS}, {TRACKS, PROG}, {PROG, DONE}},
             {{FILE_, OP}, {TRACKS, FILE_}, {PROG, OP}}},
        Road{"RestoreOneDiscWithoutPictures",
             OpRestore,
             1,
             false,
             {{OP, FILE_}, {FILE_, REC}, {REC, PROG}, {PROG, DONE}},
             {{REC, FILE_}, {FILE_, OP}}},
        Road{"RestoreOneDiscWithPictures",
             OpRestore,
             1,
             true,
             {{FILE_, EXPORT}, {EXPORT, REC}},
             {{REC, EXPORT}, {EXPORT, FILE_}}},
        Road{"RestoreTwoDiscsWithPictures",
             OpRestore,
             2,
             true,
             {{FILE_, EXPORT}, {EXPORT, DISCS}, {DISCS, REC}},
             {{REC, DISCS}, {DISCS, EXPORT}, {EXPORT, FILE_}}},
        Road{"RestoreTwoDiscsWithoutPictures",
             OpRestore,
             2,
             false,
             {{FILE_, DISCS}, {DISCS, REC}},
             {{REC, DISCS}, {DISCS, FILE_}}},
        Road{"RestoreWithoutDiscs", OpRestore, 0, false, {{FILE_, 0}}, {{REC, FILE_}}}),
    [](const ::testing::TestParamInfo<Road>& info) { return std::string(info.param.name); });

}  // namespace

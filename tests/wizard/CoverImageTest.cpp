#include <gtest/gtest.h>

#include <stdexcept>

#include "wizard/coverart/CoverImage.h"

namespace {

PictureBytes Bytes(unsigned char b) {
  return std::make_shared<const std::vector<unsigned char>>(4, b);
}

TEST(CoverImages, IdsCountFromOneAndAreNeverReused) {
  CoverImageCollection c;
  EXPECT_TRUE(c.empty());
  EXPECT_EQ(c.Add(0, Bytes(1), L"front", KindFront), 1);
  EXPECT_EQ(c.Add(1, Bytes(2), L"back", KindBack), 2);
  c.Clear();
  EXPECT_TRUE(c.empty());
  EXPECT_EQ(c.TakeFreeSlot(), -1);  // clearing gives no slots back
  EXPECT_EQ(c.Add(-1, Bytes(3), L"again", KindUnspecified), 3);
  CoverImage r;
  r.id = 3;
  ASSERT_TRUE(c.Remove(r));
  EXPECT_EQ(c.Add(-1, Bytes(4), L"after", 200), 4);  // any APIC type byte is kept
  EXPECT_EQ(c.begin()->kind, 200);
}

TEST(CoverImages, RemovedSlotsGoToTheNextThumbnailsLastFirst) {
  CoverImageCollection c;
  for (int slot = 0; slot < 5; ++slot) c.Add(slot, Bytes(slot), L"p" + std::to_wstring(slot), 0);
  CoverImage r;
  r.id = 2;  // slot 1
  ASSERT_TRUE(c.Remove(r));
  r.id = 5;  // slot 4
  ASSERT_TRUE(c.Remove(r));
  EXPECT_EQ(c.TakeFreeSlot(), 4);
  EXPECT_EQ(c.TakeFreeSlot(), 1);
  EXPECT_EQ(c.TakeFreeSlot(), -1);
  // A picture without a thumbnail gives no slot back.
  r.id = c.Add(-1, Bytes(7), L"no thumbnail", 0);
  ASSERT_TRUE(c.Remove(r));
  EXPECT_EQ(c.TakeFreeSlot(), -1);
  // The others keep their order, which is the order of the pictures in the file.
  std::vector<int> ids;
  for (const CoverImage& e : c) ids.push_back(e.id);
  EXPECT_EQ(ids, (std::vector<int>{1, 3, 4}));
}

TEST(CoverImages, LookupsByIdAndMissingIds) {
  CoverImageCollection c;
  const auto bytes = Bytes(9);
  const int id = c.Add(3, bytes, L"label", KindLabel);
  CoverImage r;
  r.id = id;
  ASSERT_TRUE(c.Find(r));
  EXPECT_EQ(r.thumbnailSlot, 3);
  EXPECT_EQ(r.bytes, bytes);  // shared, not copied
  EXPECT_EQ(r.description, L"label");
  EXPECT_EQ(r.kind, KindLabel);

  c.Get(id).description = L"renamed";
  c.Get(id).kind = KindInlay;
  ASSERT_TRUE(c.Find(r));
  EXPECT_EQ(r.description, L"renamed");
  EXPECT_EQ(r.kind, KindInlay);

  CoverImage missing;
  missing.id = 77;
  missing.description = L"untouched";
  EXPECT_FALSE(c.Find(missing));
  EXPECT_EQ(missing.description, L"untouched");
  EXPECT_FALSE(c.Remove(missing));
  EXPECT_EQ(c.TakeFreeSlot(), -1);
  try {
    c.Get(77);
    FAIL() << "no exception";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "no image");
  }
}

}  // namespace

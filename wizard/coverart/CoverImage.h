#pragma once
// The cover pictures of one wizard run, each a complete JPEG file in memory.
#include <memory>
#include <string>
#include <vector>

using PictureBytes = std::shared_ptr<const std::vector<unsigned char>>;

// Kinds the add-images page offers; pictures from backup files may carry any
// APIC picture-type byte.
enum CoverKind { KindUnspecified = 0, KindFront = 1, KindBack = 2, KindInlay = 3, KindLabel = 4 };

struct CoverImage {
  int id = 0;              // handed out by the collection from 1 upward
  int thumbnailSlot = -1;  // index in the showing page's image list, -1 while none
  PictureBytes bytes;      // never changed after it is made; copies share it
  std::wstring description;
  int kind = KindUnspecified;
};

class CoverImageCollection {
 public:
  using const_iterator = std::vector<CoverImage>::const_iterator;

  CoverImageCollection() = default;
  CoverImageCollection(const CoverImageCollection&) = delete;
  CoverImageCollection& operator=(const CoverImageCollection&) = delete;

  // Empties the pictures and the free slots; ids are never handed out twice.
  void Clear();
  // The slot given back last, -1 when none is free.
  int TakeFreeSlot();
  // Appends a picture and returns its new id.
  int Add(int thumbnailSlot, PictureBytes bytes, const std::wstring& description, int kind);
  // Copies the entry with record.id into record; false (record unchanged) when none has it.
  bool Find(CoverImage& record) const;
  // The stored entry with that id; throws std::runtime_error("no image") when none has it.
  CoverImage& Get(int id);
  // Removes the entry with record.id and frees its thumbnail slot.
  bool Remove(const CoverImage& record);
  // Every picture without a thumbnail and no slot free: for a page whose
  // image list was emptied.
  void ForgetSlots();

  const_iterator begin() const { return entries_.begin(); }
  const_iterator end() const { return entries_.end(); }
  bool empty() const { return entries_.empty(); }

 private:
  std::vector<CoverImage>::iterator At(int id);

  std::vector<int> freeSlots_;
  std::vector<CoverImage> entries_;
  int nextId_ = 1;
};

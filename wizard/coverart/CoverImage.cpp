#include "wizard/coverart/CoverImage.h"

#include <algorithm>
#include <stdexcept>

void CoverImageCollection::Clear() {
  entries_.clear();
  freeSlots_.clear();
}

int CoverImageCollection::TakeFreeSlot() {
  if (freeSlots_.empty()) return -1;
  const int slot = freeSlots_.back();
  freeSlots_.pop_back();
  return slot;
}

int CoverImageCollection::Add(int thumbnailSlot, PictureBytes bytes,
                              const std::wstring& description, int kind) {
  CoverImage image;
  image.id = nextId_;
  image.thumbnailSlot = thumbnailSlot;
  image.bytes = std::move(bytes);
  image.description = description;
  image.kind = kind;
  entries_.push_back(std::move(image));
  return nextId_++;
}

std::vector<CoverImage>::iterator CoverImageCollection::At(int id) {
  return std::find_if(entries_.begin(), entries_.end(),
                      [id](const CoverImage& e) { return e.id == id; });
}

bool CoverImageCollection::Find(CoverImage& record) const {
  const auto it = const_cast<CoverImageCollection*>(this)->At(record.id);
  if (it == entries_.end()) return false;
  record = *it;
  return true;
}

CoverImage& CoverImageCollection::Get(int id) {
  const auto it = At(id);
  if (it == entries_.end()) throw std::runtime_error("no image");
  return *it;
}

bool CoverImageCollection::Remove(const CoverImage& record) {
  const auto it = At(record.id);
  if (it == entries_.end()) return false;
  // A picture that never had a thumbnail frees no slot.
  if (it->thumbnailSlot >= 0) freeSlots_.push_back(it->thumbnailSlot);
  entries_.erase(it);
  return true;
}

void CoverImageCollection::ForgetSlots() {
  for (CoverImage& e : entries_) e.thumbnailSlot = -1;
  freeSlots_.clear();
}

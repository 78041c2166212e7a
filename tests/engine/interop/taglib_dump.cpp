// Prints what TagLib reads from an MP3 file's ID3v2 tag, one line per item,
// fields separated by tabs: the tag size, the first audio frame, then every
// top-level frame in tag order with the details of chapters and pictures.
#include <taglib/attachedpictureframe.h>
#include <taglib/chapterframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tableofcontentsframe.h>

#include <iostream>
#include <string>

namespace {

std::string Str(const TagLib::ByteVector& v) { return std::string(v.data(), v.size()); }

std::string Ids(const TagLib::ID3v2::FrameList& frames) {
  std::string ids;
  for (const auto* f : frames) ids += (ids.empty() ? "" : ",") + Str(f->frameID());
  return ids;
}

std::string Title(const TagLib::ID3v2::FrameList& frames) {
  for (const auto* f : frames)
    if (f->frameID() == "TIT2") return f->toString().toCString(true);
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  TagLib::MPEG::File file(argv[1]);
  if (!file.isValid() || !file.hasID3v2Tag()) return 1;
  TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
  std::cout << "tag\t" << tag->header()->completeTagSize() << "\t" << tag->header()->majorVersion()
            << "\n";
  std::cout << "first\t" << file.firstFrameOffset() << "\n";
  for (const auto* f : tag->frameList()) {
    std::cout << "frame\t" << Str(f->frameID());
    if (const auto* c = dynamic_cast<const TagLib::ID3v2::TableOfContentsFrame*>(f)) {
      std::string children;
      for (const auto& child : c->childElements())
        children += (children.empty() ? "" : "|") + Str(child);
      std::cout << "\t" << Str(c->elementID()) << "\t" << c->isTopLevel() << "\t" << c->isOrdered()
                << "\t" << children << "\t" << Ids(c->embeddedFrameList());
    } else if (const auto* c = dynamic_cast<const TagLib::ID3v2::ChapterFrame*>(f)) {
      std::cout << "\t" << Str(c->elementID()) << "\t" << c->startTime() << "\t" << c->endTime()
                << "\t" << c->startOffset() << "\t" << c->endOffset() << "\t"
                << Ids(c->embeddedFrameList()) << "\t" << Title(c->embeddedFrameList());
    } else if (const auto* p = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(f)) {
      std::cout << "\t" << p->mimeType().toCString(true) << "\t" << int(p->type()) << "\t"
                << p->description().toCString(true) << "\t" << p->picture().size();
    }
    std::cout << "\n";
  }
  return 0;
}

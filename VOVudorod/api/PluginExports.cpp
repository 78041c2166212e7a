#include "VOVudorod/api/PluginExports.h"

#include <cwchar>

#include "VOVudorod/core/Toc.h"

namespace DbPlugin {

std::vector<unsigned char> CopyRawToc(const unsigned char* rawToc) {
  if (!rawToc) return {};
  const std::size_t last = rawToc[3];
  const std::size_t dataLength = rawToc[0] * 256u + rawToc[1];
  using DbCore::kTocDescriptorSize;
  using DbCore::kTocHeaderSize;
  std::size_t size = last * kTocDescriptorSize + kTocHeaderSize + kTocDescriptorSize;
  if (dataLength + 2 < size) size = dataLength + 2;
  if (size < kTocHeaderSize) size = kTocHeaderSize;
  return std::vector<unsigned char>(rawToc, rawToc + size);
}

void WriteText(DbString& out, const std::wstring& text) {
  const std::size_t needed = text.size() + 1;
  if (out.capacity == 0) {
    out.buffer = nullptr;
    out.capacity = static_cast<uint32_t>(needed);
  } else if (out.capacity < needed) {
    if (out.buffer) out.buffer[0] = L'\0';
  } else if (out.buffer) {
    std::wmemcpy(out.buffer, text.c_str(), needed);
  }
}

DbSessionHandle CreateSession(const unsigned char* rawToc, SessionFactory factory) {
  try {
    auto handle = std::make_unique<DbCore::SessionHandle>();
    handle->session = factory(CopyRawToc(rawToc));
    return handle.release();
  } catch (...) {
    return nullptr;
  }
}

int32_t Submit(DbSessionHandle handle, int32_t revision) {
  DbCore::SessionHandle* h = FromHandle(handle);
  try {
    return h && h->session->Submit(revision) ? 0 : 1;
  } catch (...) {
    return 1;
  }
}

}  // namespace DbPlugin

// Images from files: the head of the file is checked before the rest is
// read, and images decoded from the same file are shared.
#include "korvane3d/platform/win/FileAccess.h"
#include "korvane3d/rm/image/Image.h"
#include "korvane3d/rm/image/ImageCommon.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <new>
#include <vector>

namespace kv::image {

namespace {

// Files larger than this cannot hold an image within the pixel limits in any
// supported encoding (the widest is ASCII Netpbm), so they are not read.
constexpr std::uint64_t kMaxFileBytes = std::uint64_t{1} << 30;

Result FromFileError(const files::Result& failure) {
  return detail::Fail(failure.error == files::Error::TooLarge ? Status::TooLarge : Status::FileNotFound,
                      failure.message);
}

Result Named(const std::string& name, Result result) {
  if (!result) result.message = name + ": " + result.message;
  return result;
}

// Reads and decodes an open file: its head first, so that a file that
// cannot be an acceptable image costs no more than its head. A PNG is read
// as it decodes; the other formats are read whole.
Result ReadImage(const files::InputFile& file, const std::string& name, Image& out) {
  const std::uint64_t size = file.Size();
  if (size > kMaxFileBytes) return detail::Fail(Status::TooLarge, "'" + name + "' is larger than any image this reader accepts");
  std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min<std::uint64_t>(size, detail::kHeadBytes)));
  if (files::Result read = file.ReadAt(0, head); !read) return FromFileError(read);
  if (Result checked = detail::CheckHead(head, size); !checked) return Named(name, checked);
  if (DetectFormat(head) == Format::Png) return Named(name, detail::DecodePngFile(file, out));
  try {
    files::FileBytes bytes(static_cast<std::size_t>(size));
    std::copy(head.begin(), head.end(), bytes.writable().begin());
    if (files::Result read = file.ReadAt(head.size(), bytes.writable().subspan(head.size())); !read)
      return FromFileError(read);
    return Named(name, Decode(bytes.bytes(), out));
  } catch (const std::bad_alloc&) {
    return detail::Fail(Status::TooLarge, "not enough memory to read '" + name + "'");
  }
}

// Images decoded from files, by the identity of the file's content. Entries
// only watch their images: an image lives as long as its users hold it.
class SharedImages {
 public:
  std::shared_ptr<const Image> Find(const files::FileIdentity& file) {
    std::lock_guard lock(mutex_);
    const auto it = images_.find(file);
    return it == images_.end() ? nullptr : it->second.lock();
  }

  void Add(const files::FileIdentity& file, const std::shared_ptr<const Image>& image) {
    std::lock_guard lock(mutex_);
    std::erase_if(images_, [](const auto& entry) { return entry.second.expired(); });
    images_[file] = image;
  }

 private:
  std::mutex mutex_;
  std::map<files::FileIdentity, std::weak_ptr<const Image>> images_;
};

SharedImages& Shared() {
  static SharedImages images;
  return images;
}

}  // namespace

Result LoadImageFile(std::string_view path, Image& out) {
  const std::string name(path);
  files::InputFile file;
  if (files::Result opened = file.Open(name); !opened) return FromFileError(opened);
  return ReadImage(file, name, out);
}

Result LoadSharedImageFile(std::string_view path, std::shared_ptr<const Image>& out) {
  const std::string name(path);
  files::InputFile file;
  if (files::Result opened = file.Open(name); !opened) return FromFileError(opened);
  if (std::shared_ptr<const Image> known = Shared().Find(file.Identity())) {
    out = std::move(known);
    return {};
  }
  Image image;
  if (Result read = ReadImage(file, name, image); !read) return read;
  auto decoded = std::make_shared<const Image>(std::move(image));
  Shared().Add(file.Identity(), decoded);
  out = std::move(decoded);
  return {};
}

}  // namespace kv::image

#include "SkinPack.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "acSkinArchive.h"

namespace cb {

namespace {

std::vector<uint8_t> ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) throw ESkinPackError("cannot read " + p.string());
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TSkinPackResult PackSkinFolder(const std::filesystem::path& folder,
                               const std::optional<std::filesystem::path>& preview) {
  namespace fs = std::filesystem;
  if (!fs::is_directory(folder)) throw ESkinPackError(folder.string() + " is not a folder");
  std::vector<std::string> names;
  for (const fs::directory_entry& e : fs::directory_iterator(folder))
    if (e.is_regular_file()) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  auto options = std::find_if(names.begin(), names.end(), [](const std::string& n) { return AnsiUpper(n) == "OPTIONS.DAT"; });
  if (options == names.end()) throw ESkinPackError(folder.string() + " has no Options.dat");
  std::rotate(names.begin(), options, options + 1);

  std::vector<TacArchiveEntry> entries;
  for (const std::string& n : names) {
    if (n.size() > 255) throw ESkinPackError("file name too long: " + n);
    entries.push_back({n, ReadAll(folder / n)});
    if (entries.back().Content.size() > 0x7FFFFFFF) throw ESkinPackError("file too large: " + n);
  }
  std::vector<uint8_t> image;
  if (preview) image = ReadAll(*preview);
  TSkinPackResult r;
  r.Archive = WriteSkinArchive(entries, preview ? &image : nullptr);
  r.Names = names;

  // Read the result back: what was packed must be what the reader sees.
  TMemoryStream check(r.Archive);
  TacSkinConvertor c;
  c.PackedData = &check;
  if (!ReadSkinArchive(c, nullptr) || !c.Options || c.Options->Bytes() != entries[0].Content ||
      c.FileCount != static_cast<int>(entries.size()) - 1)
    throw ESkinPackError("the packed archive does not read back");
  for (int i = 0; i < c.FileCount; ++i)
    if (c.Files[static_cast<size_t>(i)].Stream->Bytes() != entries[static_cast<size_t>(i) + 1].Content)
      throw ESkinPackError("entry " + names[static_cast<size_t>(i) + 1] + " does not read back");
  return r;
}

}  // namespace cb

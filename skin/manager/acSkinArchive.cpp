#include "acSkinArchive.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "sSkinHost.h"

namespace cb {

const char* const SNotPackedSkin = "Loaded data is not a packed Lumiskin file";

namespace {

constexpr size_t kInputBlock = 128 * 1024;
// Longest entry name accepted; real names are plain file names.
constexpr int32_t kMaxNameLength = 4096;
// Largest unpacked size of one entry; deflate cannot expand by more than
// about 1032:1, so a stated size beyond that ratio is a lie as well.
constexpr int64_t kMaxEntrySize = 256 * 1024 * 1024;
constexpr int64_t kMaxRatio = 1032;
// A zlib stream is at least 8 bytes; an entry adds 8 more.
constexpr int64_t kMinEntryBytes = 16;

std::string Where(size_t pos) { return " at offset " + std::to_string(pos); }

struct InflateGuard {
  z_stream zs{};
  bool live = false;
  ~InflateGuard() {
    if (live) inflateEnd(&zs);
  }
};

// Inflates the zlib stream that starts at ps's position into out (exactly
// size bytes), then leaves ps on the first byte after the stream.
void InflateEntry(TMemoryStream& ps, TMemoryStream& out, size_t size, const std::string& name) {
  InflateGuard g;
  if (inflateInit(&g.zs) != Z_OK) throw EacSkinArchiveError("Cannot start the zlib decoder");
  g.live = true;
  z_stream& zs = g.zs;
  out.Bytes().clear();
  size_t produced = 0;
  uint8_t scratch[64];
  for (;;) {
    if (zs.avail_in == 0 && ps.Remaining() > 0) {
      size_t n = std::min(kInputBlock, ps.Remaining());
      zs.next_in = ps.Bytes().data() + static_cast<size_t>(ps.Position());
      zs.avail_in = static_cast<uInt>(n);
      ps.SetPosition(ps.Position() + static_cast<int64_t>(n));
    }
    bool toScratch = produced >= size;
    if (!toScratch) {
      if (out.Bytes().size() == produced) {
        // The stated size is taken at its word up to 16 MB; beyond that the
        // buffer grows with what the stream really yields.
        size_t grow = produced == 0 ? std::min<size_t>(size, 16 * 1024 * 1024) : produced;
        out.Bytes().resize(std::min(size, produced + grow));
      }
      zs.next_out = out.Bytes().data() + produced;
      zs.avail_out = static_cast<uInt>(std::min<size_t>(out.Bytes().size() - produced, UINT_MAX));
    } else {
      zs.next_out = scratch;
      zs.avail_out = sizeof scratch;
    }
    uInt before = zs.avail_out;
    int r = inflate(&zs, Z_NO_FLUSH);
    size_t got = before - zs.avail_out;
    if (toScratch && got > 0)
      throw EacSkinArchiveError("Entry \"" + name + "\" unpacks to more than its stated " +
                                std::to_string(size) + " bytes");
    produced += toScratch ? 0 : got;
    if (r == Z_STREAM_END) break;
    if (r == Z_OK) continue;
    if (r == Z_BUF_ERROR && zs.avail_in == 0 && ps.Remaining() == 0)
      throw EacSkinArchiveError("Entry \"" + name + "\" is cut short: the archive ends inside its data");
    if (r == Z_BUF_ERROR) continue;
    throw EacSkinArchiveError("Entry \"" + name + "\" holds damaged compressed data" +
                              (zs.msg ? std::string(" (") + zs.msg + ")" : std::string()));
  }
  if (produced < size)
    throw EacSkinArchiveError("Entry \"" + name + "\" unpacks to " + std::to_string(produced) +
                              " bytes, fewer than its stated " + std::to_string(size));
  // The decoder read whole blocks: step back over the input it did not use.
  ps.SetPosition(ps.Position() - zs.avail_in);
  out.Bytes().resize(produced);
  out.SetPosition(0);
}

}  // namespace

std::string AnsiUpper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

TacFileType FileTypeOfName(const std::string& name) {
  std::string up = AnsiUpper(name);
  size_t dot = up.rfind('.');
  std::string ext = dot == std::string::npos ? std::string() : up.substr(dot);
  if (ext == ".BMP") return ftBmp;
  if (ext == ".TTF" || ext == ".OTF") return ftFont;
  return ftOther;
}

void TacSkinConvertor::SetOwnedPackedData(std::unique_ptr<TMemoryStream> s) {
  FOwnedPacked = std::move(s);
  PackedData = FOwnedPacked.get();
}

void TacSkinConvertor::FreePackedData() {
  PackedData = nullptr;
  FOwnedPacked.reset();
}

void TacSkinConvertor::Clear() {
  while (!Files.empty()) Files.pop_back();
  FileCount = 0;
  Options.reset();
  FreePackedData();
}

const TacFileItem* TacSkinConvertor::FindByUpperName(const std::string& upperName) const {
  int n = std::min<int>(FileCount, static_cast<int>(Files.size()));
  for (int i = 0; i < n; ++i)
    if (AnsiUpper(Files[i].AnsiName) == upperName) return &Files[i];
  return nullptr;
}

const TacFileItem* TacSkinConvertor::FindByExactName(const std::string& name) const {
  int n = std::min<int>(FileCount, static_cast<int>(Files.size()));
  for (int i = 0; i < n; ++i)
    if (Files[i].AnsiName == name) return &Files[i];
  return nullptr;
}

bool ReadSkinArchive(TacSkinConvertor& c, TacSkinHost* host) {
  if (!c.PackedData) throw EacSkinArchiveError("No archive data to read");
  TMemoryStream& ps = *c.PackedData;
  uint8_t head[16] = {};
  ps.Read(head, sizeof head);
  if (std::memcmp(head, "ASzf", 4) != 0) {
    if (host) host->ShowMessage(host->FromAnsi(SNotPackedSkin), TacMsgKind::mkError);
    return false;
  }
  int32_t n = static_cast<int32_t>(uint32_t(head[4]) | uint32_t(head[5]) << 8 |
                                   uint32_t(head[6]) << 16 | uint32_t(head[7]) << 24);
  if (n < 0) throw EacSkinArchiveError("Archive states a negative entry count (" + std::to_string(n) + ")");
  // A count cut short reads as its bytes padded with zeros: "ASzf" alone holds no entries.
  if (n > 0 && (ps.Size() < 8 || n > static_cast<int64_t>(ps.Size() - 8) / kMinEntryBytes))
    throw EacSkinArchiveError("Archive states " + std::to_string(n) + " entries, more than its " +
                              std::to_string(ps.Size()) + " bytes can hold");
  ps.SetPosition(std::min<int64_t>(8, ps.Size()));
  for (int32_t i = 0; i < n; ++i) {
    size_t at = static_cast<size_t>(ps.Position());
    if (ps.Remaining() < 4) throw EacSkinArchiveError("Archive is cut short in entry " + std::to_string(i) + Where(at));
    int32_t len = ps.ReadInt32();
    if (len < 0 || len > kMaxNameLength || static_cast<size_t>(len) > ps.Remaining())
      throw EacSkinArchiveError("Entry " + std::to_string(i) + " has a bad name length (" +
                                std::to_string(len) + ")" + Where(at));
    std::string name(static_cast<size_t>(len), '\0');
    ps.ReadBuffer(name.data(), name.size());
    if (ps.Remaining() < 4) throw EacSkinArchiveError("Entry \"" + name + "\" is cut short" + Where(at));
    int32_t size = ps.ReadInt32();
    int64_t limit = std::min<int64_t>(kMaxEntrySize, static_cast<int64_t>(ps.Remaining()) * kMaxRatio);
    if (size < 0 || size > limit)
      throw EacSkinArchiveError("Entry \"" + name + "\" states an impossible unpacked size (" +
                                std::to_string(size) + ")" + Where(at));
    if (AnsiUpper(name) == "OPTIONS.DAT") {
      // A second options entry replaces the first.
      auto opts = std::make_unique<TMemoryStream>();
      InflateEntry(ps, *opts, static_cast<size_t>(size), name);
      c.Options = std::move(opts);
    } else {
      TacFileItem item;
      item.AnsiName = name;
      item.Name = host ? host->FromAnsi(name) : std::u16string(name.begin(), name.end());
      item.FileType = FileTypeOfName(name);
      item.Stream = std::make_unique<TMemoryStream>();
      InflateEntry(ps, *item.Stream, static_cast<size_t>(size), name);
      c.Files.push_back(std::move(item));
    }
  }
  // Counted from what was read, so that walking FileCount items never passes
  // the end of Files, whatever the number of options entries.
  c.FileCount = static_cast<int>(c.Files.size());
  return true;
}

void LoadSkinArchiveFile(const std::u16string& fileName, TacSkinConvertor& c, TacSkinHost& host) {
  if (!host.FileExists(fileName)) return;
  c.Clear();
  auto data = std::make_unique<TMemoryStream>();
  if (!host.ReadWholeFile(fileName, data->Bytes()))
    throw EacSkinArchiveError("Cannot read the skin file");
  data->SetPosition(0);
  c.SetOwnedPackedData(std::move(data));
  struct Release {
    TacSkinConvertor& c;
    ~Release() { c.FreePackedData(); }
  } release{c};
  ReadSkinArchive(c, &host);
}

std::vector<uint8_t> WriteSkinArchive(const std::vector<TacArchiveEntry>& entries,
                                      const std::vector<uint8_t>* preview) {
  TMemoryStream s;
  s.Write("ASzf", 4);
  s.WriteInt32(static_cast<int32_t>(entries.size()));
  for (const TacArchiveEntry& e : entries) {
    s.WriteInt32(static_cast<int32_t>(e.Name.size()));
    s.Write(e.Name.data(), e.Name.size());
    s.WriteInt32(static_cast<int32_t>(e.Content.size()));
    uLongf bound = compressBound(static_cast<uLong>(e.Content.size()));
    std::vector<uint8_t> packed(bound);
    if (compress2(packed.data(), &bound, e.Content.data(), static_cast<uLong>(e.Content.size()),
                  Z_BEST_COMPRESSION) != Z_OK)
      throw EacSkinArchiveError("Cannot compress entry \"" + e.Name + "\"");
    s.Write(packed.data(), bound);
  }
  if (preview) {
    s.Write("previewimg", 10);
    s.WriteInt32(static_cast<int32_t>(preview->size()));
    s.Write(preview->data(), preview->size());
  }
  return std::move(s.Bytes());
}

std::ptrdiff_t FindBytes(const uint8_t* hay, size_t size, const char* needle, size_t len) {
  if (len == 0) return 0;
  if (size < len) return -1;
  size_t skip[256];
  for (size_t& k : skip) k = len;
  for (size_t i = 0; i + 1 < len; ++i) skip[static_cast<uint8_t>(needle[i])] = len - 1 - i;
  const uint8_t* nd = reinterpret_cast<const uint8_t*>(needle);
  size_t pos = 0;
  while (pos <= size - len) {
    size_t j = len - 1;
    while (hay[pos + j] == nd[j]) {
      if (j == 0) return static_cast<std::ptrdiff_t>(pos);
      --j;
    }
    pos += skip[hay[pos + len - 1]];
  }
  return -1;
}

bool ExtractSkinPreview(TMemoryStream& dest, const TMemoryStream& archive) {
  const std::vector<uint8_t>& d = archive.Bytes();
  std::ptrdiff_t p = FindBytes(d.data(), d.size(), "previewimg", 10);
  if (p < 0) return false;
  size_t at = static_cast<size_t>(p) + 10;
  if (d.size() - at < 4) return false;
  int32_t s = static_cast<int32_t>(uint32_t(d[at]) | uint32_t(d[at + 1]) << 8 |
                                   uint32_t(d[at + 2]) << 16 | uint32_t(d[at + 3]) << 24);
  if (s < 0 || static_cast<size_t>(s) > d.size() - at - 4) return false;
  dest.Bytes().assign(d.begin() + static_cast<std::ptrdiff_t>(at + 4),
                   d.begin() + static_cast<std::ptrdiff_t>(at + 4 + static_cast<size_t>(s)));
  dest.SetPosition(0);
  return true;
}

bool ExtractSkinPreview(TMemoryStream& dest, const std::u16string& fileName, TacSkinHost& host) {
  if (!host.FileExists(fileName)) return false;
  TMemoryStream archive;
  if (!host.ReadWholeFile(fileName, archive.Bytes())) return false;
  return ExtractSkinPreview(dest, archive);
}

}  // namespace cb

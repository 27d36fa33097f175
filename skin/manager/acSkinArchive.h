#pragma once
// Skin archives: "ASzf", an entry count, entries of (name, unpacked size,
// one zlib stream) back to back, and an optional uncompressed preview image.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/Stream.h"

namespace cb {

class TacSkinHost;

// Damaged archive data: the message says what is wrong and where.
class EacSkinArchiveError : public EClearbayError {
public:
  using EClearbayError::EClearbayError;
};

enum TacFileType { ftBmp, ftFont, ftOther };

TacFileType FileTypeOfName(const std::string& name);
std::string AnsiUpper(std::string s);

struct TacFileItem {
  std::u16string Name;   // as stored, widened
  std::string AnsiName;  // as stored, 8-bit
  TacFileType FileType = ftOther;
  std::unique_ptr<TMemoryStream> Stream;
};

class TacSkinConvertor {
public:
  TacSkinConvertor() = default;
  TacSkinConvertor(const TacSkinConvertor&) = delete;
  TacSkinConvertor& operator=(const TacSkinConvertor&) = delete;
  ~TacSkinConvertor() { Clear(); }

  std::unique_ptr<TMemoryStream> Options;
  // The archive while it is read: either lent by a stored skin (never freed
  // here) or owned through SetOwnedPackedData.
  TMemoryStream* PackedData = nullptr;
  int FileCount = 0;
  std::vector<TacFileItem> Files;

  void SetOwnedPackedData(std::unique_ptr<TMemoryStream> s);
  void FreePackedData();
  void Clear();

  // First of the first FileCount items whose upper-cased name equals upperName.
  const TacFileItem* FindByUpperName(const std::string& upperName) const;
  // First of the first FileCount items whose name equals name exactly.
  const TacFileItem* FindByExactName(const std::string& name) const;

private:
  std::unique_ptr<TMemoryStream> FOwnedPacked;
};

extern const char* const SNotPackedSkin;  // "Loaded data is not a packed Lumiskin file"

// Reads convertor.PackedData (positioned at 0 by the caller) into Options and
// Files. Wrong magic: shows SNotPackedSkin through host (when given) and answers
// false. Damaged data throws EacSkinArchiveError.
bool ReadSkinArchive(TacSkinConvertor& convertor, TacSkinHost* host);

// Nothing when the file does not exist; otherwise reads it into convertor.
void LoadSkinArchiveFile(const std::u16string& fileName, TacSkinConvertor& convertor,
                         TacSkinHost& host);

struct TacArchiveEntry {
  std::string Name;
  std::vector<uint8_t> Content;
};

// Packs entries (in the given order, maximum compression) and an optional
// preview image. The same input always gives the same bytes.
std::vector<uint8_t> WriteSkinArchive(const std::vector<TacArchiveEntry>& entries,
                                      const std::vector<uint8_t>* preview = nullptr);

// Copies the preview image of an archive into dest (rewound to 0). False when
// the archive has no preview, or when its stated size does not fit the data;
// dest is then unchanged.
bool ExtractSkinPreview(TMemoryStream& dest, const TMemoryStream& archive);
bool ExtractSkinPreview(TMemoryStream& dest, const std::u16string& fileName, TacSkinHost& host);

// First occurrence of needle in haystack (Boyer-Moore-Horspool), or -1.
std::ptrdiff_t FindBytes(const uint8_t* haystack, size_t size, const char* needle, size_t len);

}  // namespace cb

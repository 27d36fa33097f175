#include "uUpdate.h"

#include <windows.h>

#include "Commands.h"
#include "base/IniFile.h"
#include "uCommonFunc.h"

namespace cb {

TUpdate::TUpdate(int VerLen) : FDetail(std::make_unique<TStringList>()) {
  FRemoteContent.Detail = FDetail.get();
  FL_Ver = GetLocalVer(VerLen);
  FRemoteContent.L_Ver = FL_Ver;
}

TUpdate::~TUpdate() = default;

void TUpdate::Perform() {
  FIsHasNet = IsNetConnected();
  LoadRemoteContent();
}

std::u16string TUpdate::GetLocalVer(int VerLen) { return ToU16(GetAppVersion(VerLen)); }

void TUpdate::LoadRemoteContent() {
  TStringList detail;
  TUpdateContent content;
  content.Detail = &detail;
  if (GetRemoteContent(content)) {
    FRemoteContent.N_Ver = content.N_Ver;
    FRemoteContent.D_Url = content.D_Url;
    FRemoteContent.Detail->AddStrings(detail);
  }
}

bool TUpdate::IsNeedUpdate() const { return IsNewerVersion(FL_Ver, FRemoteContent.N_Ver); }

TUrlUpdate::TUrlUpdate(int VerLen, char16_t DeliMt) : TUrlUpdate(VerLen, DeliMt, ToU16(kDescriptorUrl)) {}

TUrlUpdate::TUrlUpdate(int VerLen, char16_t DeliMt, const std::u16string& Link)
    : TUpdate(VerLen), FLink(Link), FDelimiter(DeliMt) {
  Perform();
}

std::u16string DescriptorTempPath() {
  std::u16string dir = ToU16(TempDirectory());
  if (dir.empty() || (dir.back() != u'\\' && dir.back() != u'/')) dir += u'\\';
  return dir + u"_Update.INI";
}

bool TUrlUpdate::GetRemoteContent(TUpdateContent& Content) {
  if (!FIsHasNet) return false;
  std::u16string path;
  if (!FLink.empty()) {
    path = DescriptorTempPath();
    // Whatever stands there (a planted link too) goes first, so the download
    // only ever creates a new file.
    DeleteFileW(W(path));
    if (!DownloadFile(ToWide(FLink), ToWide(path))) {
      DeleteFileW(W(path));
      return false;
    }
  }
  if (path.empty()) return false;
  DWORD attr = GetFileAttributesW(W(path));
  if (attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_DIRECTORY)) return false;
  bool read = false;
  try {
    TMemIniFile ini{std::filesystem::path(ToWide(path))};
    Content.N_Ver = ini.ReadString(u"MAIN", u"VER", u"");
    Content.D_Url = ini.ReadString(u"MAIN", u"URL", u"");
    Content.Detail->SetDelimiter(FDelimiter);
    Content.Detail->SetQuoteChar(u'"');
    Content.Detail->SetDelimitedText(ini.ReadString(u"MAIN", u"Detail", u""));
    read = true;
  } catch (const std::exception&) {
    // An unreadable descriptor means no update, like every other failure.
  }
  DeleteFileW(W(path));
  return read;
}

}  // namespace cb

// The update check: the descriptor on the maker's server against the program's
// own version.
#pragma once
#include <memory>
#include <string>

#include "base/StringList.h"

namespace cb {

struct TUpdateContent {
  std::u16string L_Ver;
  std::u16string N_Ver;
  std::u16string D_Url;
  TStringList* Detail = nullptr;  // borrowed
};

class TUpdate {
 public:
  virtual ~TUpdate();
  TUpdate(const TUpdate&) = delete;
  TUpdate& operator=(const TUpdate&) = delete;

  bool IsHasNet() const { return FIsHasNet; }
  const std::u16string& L_Ver() const { return FL_Ver; }
  const TUpdateContent& RemoteContent() const { return FRemoteContent; }
  bool IsNeedUpdate() const;

 protected:
  explicit TUpdate(int VerLen);
  // C++ constructors do not dispatch to overrides, so the most derived
  // constructor finishes the check once its own fields are set.
  void Perform();
  virtual bool GetRemoteContent(TUpdateContent& Content) = 0;
  std::u16string GetLocalVer(int VerLen);
  void LoadRemoteContent();

  std::u16string FL_Ver;
  bool FIsHasNet = false;
  TUpdateContent FRemoteContent;

 private:
  std::unique_ptr<TStringList> FDetail;
};

class TUrlUpdate : public TUpdate {
 public:
  TUrlUpdate(int VerLen, char16_t DeliMt);
  // For tests: the same check against another descriptor address.
  TUrlUpdate(int VerLen, char16_t DeliMt, const std::u16string& Link);

 protected:
  bool GetRemoteContent(TUpdateContent& Content) override;

 private:
  std::u16string FLink;
  char16_t FDelimiter;
};

// Where the descriptor is downloaded: "temp" plus a delimiter plus "_Update.INI".
std::u16string DescriptorTempPath();

}  // namespace cb

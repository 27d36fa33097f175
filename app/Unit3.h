// The new-version dialog, shown when the update check finds a newer version.
#pragma once
#include <string>

#include "ui/Forms.h"
#include "sButton.h"
#include "sLabel.h"
#include "ui/StdCtrls.h"

namespace cb {

class TfrmVer : public TForm {
  CB_CLASS(TfrmVer, TForm)
 public:
  explicit TfrmVer(TComponent* AOwner);

  TLabel* lbl1 = nullptr;
  TsLabel* lbl2 = nullptr;  // lbl1, the headline, stays a plain label
  TsButton* btn1 = nullptr;
  std::wstring FUrl;

  void btn1Click(TObject* Sender);
};

// Creates, fills, shows modally and frees the dialog.
void ShowNewVersion(const std::wstring& ServerVer, const std::wstring& LocalVer, const std::wstring& Url);

}  // namespace cb

#include "Unit3.h"

#include <memory>

#include "sControls.h"
#include "uCommonFunc.h"

namespace cb {

TfrmVer::TfrmVer(TComponent* AOwner) : TForm(AOwner) {
  RegisterField(L"lbl1", lbl1);
  RegisterField(L"lbl2", lbl2);
  RegisterField(L"btn1", btn1);
  RegisterMethod(L"btn1Click", &TfrmVer::btn1Click);
  RegisterSkinControlClasses();
  InitializeForm();
}

void TfrmVer::btn1Click(TObject*) {
  // The address comes from a descriptor fetched over plain HTTP; OpenUrl opens
  // web addresses only.
  OpenUrl(FUrl);
  Close();
}

void ShowNewVersion(const std::wstring& ServerVer, const std::wstring& LocalVer, const std::wstring& Url) {
  std::unique_ptr<TfrmVer> dialog(new TfrmVer(nullptr));
  dialog->lbl1->SetCaption(L"有新版本更新：" + ServerVer);
  dialog->lbl2->SetCaption(L"当前版本： " + LocalVer + L"       服务器版本：" + ServerVer);
  dialog->FUrl = Url;
  dialog->ShowModal();
}

}  // namespace cb

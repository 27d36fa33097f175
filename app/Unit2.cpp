#include "Unit2.h"

#include "sControls.h"
#include "uCommonFunc.h"

namespace cb {

TForm2* Form2 = nullptr;

TForm2::TForm2(TComponent* AOwner) : TForm(AOwner) {
  RegisterField(L"lbl1", lbl1);
  RegisterField(L"lbl2", lbl2);
  RegisterField(L"btn2", btn2);
  RegisterField(L"btn1", btn1);
  RegisterMethod(L"btn1Click", &TForm2::btn1Click);
  RegisterMethod(L"btn2Click", &TForm2::btn2Click);
  RegisterSkinControlClasses();
  InitializeForm();
}

void TForm2::btn1Click(TObject*) { Close(); }

void TForm2::btn2Click(TObject*) { OpenUrl(kMakerPageUrl); }

}  // namespace cb

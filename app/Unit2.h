// The About dialog.
#pragma once
#include "ui/Buttons.h"
#include "ui/Forms.h"
#include "ui/StdCtrls.h"

namespace cb {

class TForm2 : public TForm {
  CB_CLASS(TForm2, TForm)
 public:
  explicit TForm2(TComponent* AOwner);

  TLabel* lbl1 = nullptr;
  TLabel* lbl2 = nullptr;
  TSpeedButton* btn2 = nullptr;
  TButton* btn1 = nullptr;

  void btn1Click(TObject* Sender);
  void btn2Click(TObject* Sender);
};

extern TForm2* Form2;

}  // namespace cb

// The About dialog.
#pragma once
#include "ui/Forms.h"
#include "sButton.h"
#include "sLabel.h"
#include "sSpeedButton.h"

namespace cb {

class TForm2 : public TForm {
  CB_CLASS(TForm2, TForm)
 public:
  explicit TForm2(TComponent* AOwner);

  TsLabel* lbl1 = nullptr;
  TsLabel* lbl2 = nullptr;
  TsSpeedButton* btn2 = nullptr;
  TsButton* btn1 = nullptr;

  void btn1Click(TObject* Sender);
  void btn2Click(TObject* Sender);
};

extern TForm2* Form2;

}  // namespace cb

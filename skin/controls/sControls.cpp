#include "sControls.h"

#include <mutex>

#include "acSlider.h"
#include "sButton.h"
#include "sLabel.h"
#include "sPanel.h"
#include "sSpeedButton.h"

namespace cb {

void RegisterSkinControlClasses() {
  static std::once_flag Once;
  std::call_once(Once, [] { RegisterClasses<TsSpeedButton, TsLabel, TsPanel, TsSlider, TsButton>(); });
}

}  // namespace cb

// Input: INI bytes of an update descriptor (any encoding). The first byte, when the
// input is long enough, also picks reader and list settings so that the other modes
// get exercised from the same corpus. Beyond "no crash", the harness checks that what
// was read writes back to text that reads the same, and that the Detail list survives
// its own delimited text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/Errors.h"
#include "base/IniFile.h"
#include "base/StringList.h"

namespace {

void Check(bool Ok) {
  if (!Ok) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::uint8_t Mode = Size > 0 ? Data[0] : 0;
  TMemIniFile Ini;
  Ini.SetCaseSensitive(Mode & 1);
  Ini.SetStripQuotes(!(Mode & 2));
  try {
    Ini.LoadFromBuffer(Data, Size);
  } catch (const EIniFileError&) {
    return 0; // only for oversized input
  }

  const std::u16string Ver = Ini.ReadString(u"MAIN", u"VER", u"");
  const std::u16string Url = Ini.ReadString(u"MAIN", u"URL", u"");
  const std::u16string Detail = Ini.ReadString(u"MAIN", u"Detail", u"");
  (void)Ini.ReadInteger(u"MAIN", u"VER", 0);
  (void)Ini.ReadBool(u"MAIN", u"URL", false);

  TStringList Items;
  Items.SetDelimiter((Mode & 4) ? u',' : u'&');
  Items.SetStrictDelimiter(Mode & 8);
  Items.SetDelimitedText(Detail);
  TStringList Again;
  Again.SetDelimiter(Items.Delimiter());
  Again.SetStrictDelimiter(Items.StrictDelimiter());
  Again.SetDelimitedText(Items.DelimitedText());
  Check(Again.Count() == Items.Count());
  for (int I = 0; I < Items.Count(); ++I) Check(Again[I] == Items[I]);

  // Text written from what was read reads back the same.
  const std::u16string Text = Ini.GetText();
  TMemIniFile Back;
  Back.SetCaseSensitive(Ini.CaseSensitive());
  Back.SetStripQuotes(Ini.StripQuotes());
  Back.SetText(Text);
  Check(Back.GetText() == Text);
  Check(Back.ReadString(u"MAIN", u"VER", u"") == Ver);
  Check(Back.ReadString(u"MAIN", u"URL", u"") == Url);

  TStringList Sections, Values;
  Ini.ReadSections(Sections);
  for (const auto& S : Sections) {
    Check(Ini.SectionExists(S));
    Ini.ReadSectionValues(S, Values);
  }

  // Writing the values read keeps them (quoted where the text form needs it).
  if (!Ver.empty() && Ver.find_first_of(u"\r\n") == std::u16string::npos) {
    Back.WriteString(u"Copy", u"VER", Ver);
    TMemIniFile Third;
    Third.SetStripQuotes(Back.StripQuotes());
    Third.SetText(Back.GetText());
    if (Back.StripQuotes()) Check(Third.ReadString(u"Copy", u"VER", u"") == Ver);
  }
  return 0;
}

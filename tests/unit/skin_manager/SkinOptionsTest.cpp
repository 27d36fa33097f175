#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>
#include <vector>

#include "sSkinOptions.h"

using namespace cb;

TEST(MemIni, CaseSensitiveNamesOrderAndLineRules) {
  TacMemIni ini("; comment\r\n[GLOBALINFO]\r\n  VERSION=14.01  \r\nKey=a=b\n[button]\rCOLOR=1\n[BUTTON]\nCOLOR=2\n"
                "COLOR=3\n[button]\nX=4\nnoequals\n");
  ASSERT_EQ(ini.Sections().size(), 3u);
  EXPECT_EQ(ini.Sections()[0].Name, "GLOBALINFO");
  EXPECT_EQ(ini.Sections()[1].Name, "button");
  EXPECT_EQ(ini.Sections()[2].Name, "BUTTON");
  EXPECT_EQ(ini.ReadString("GLOBALINFO", "VERSION", ""), "14.01");
  EXPECT_EQ(ini.ReadString("GLOBALINFO", "Key", ""), "a=b");
  EXPECT_FALSE(ini.ValueExists("GLOBALINFO", "KEY"));
  EXPECT_FALSE(ini.SectionExists("Button"));
  EXPECT_EQ(ini.ReadInteger("button", "COLOR", 0), 1);
  EXPECT_EQ(ini.ReadInteger("BUTTON", "COLOR", 0), 2);  // first of repeated keys
  EXPECT_EQ(ini.ReadInteger("button", "X", 0), 4);      // repeated section joins the first
  EXPECT_EQ(ini.SectionIndex("BUTTON"), 2);
}

TEST(MemIni, IntegerConversion) {
  int32_t v = 0;
  EXPECT_TRUE(TryStrToInt("-263173", v));
  EXPECT_EQ(v, -263173);
  EXPECT_TRUE(TryStrToInt("0x1F", v));
  EXPECT_EQ(v, 31);
  EXPECT_TRUE(TryStrToInt("$FFFFFFFF", v));
  EXPECT_EQ(v, -1);
  EXPECT_TRUE(TryStrToInt("2147483647", v));
  EXPECT_TRUE(TryStrToInt("-2147483648", v));
  EXPECT_EQ(v, INT32_MIN);
  EXPECT_FALSE(TryStrToInt("2147483648", v));
  EXPECT_FALSE(TryStrToInt("", v));
  EXPECT_FALSE(TryStrToInt("12a", v));
  EXPECT_FALSE(TryStrToInt("1 ", v));
  EXPECT_FALSE(TryStrToInt("0x123456789", v));
  int64_t w = 0;
  EXPECT_TRUE(TryStrToInt64("4294704123", w));
  EXPECT_EQ(w, 4294704123LL);
  EXPECT_EQ(static_cast<uint32_t>(w), 0xFFFBFBFBu);
}

TEST(ImageReference, RecognisedForms) {
  for (const char* v : {"^1", "@", "~0001", "!X.PNG!1", "&0000", "button.bmp", "a.jpg"})
    EXPECT_TRUE(IsImageReference(v)) << v;
  for (const char* v : {"", "N/A", "photo.png", "12", "Tahoma"}) EXPECT_FALSE(IsImageReference(v)) << v;
}

// Every short text of the letters that matter, against a plain search of the
// upper-cased text: the extension at the start, the end, after other dots.
TEST(ImageReference, FileNamesAreFoundInAnyCaseAnywhere) {
  const std::string letters = ".bBmMpPjJgGx";
  std::mt19937 rng(12);
  for (int i = 0; i < 20000; ++i) {
    std::string v(rng() % 9, ' ');
    for (char& c : v) c = letters[rng() % letters.size()];
    std::string up = v;
    for (char& c : up) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const bool want = up.find(".BMP") != std::string::npos || up.find(".JPG") != std::string::npos;
    ASSERT_EQ(IsImageReference(v), want) << v;
  }
}

// Loading reads a reference's fields without writing its canonical text; they
// must be what that text reads back as, for every form, field count and
// number, short values, junk and file names in any case.
TEST(ImageReference, FieldsAreThoseOfTheCanonicalText) {
  std::mt19937 rng(31);
  const char* const files[] = {"", "a.bmp", "Edge.BMP", "x.png", "dir\\f.jpg", "!"};
  auto number = [&]() -> std::string {
    switch (rng() % 6) {
      case 0: return std::to_string(static_cast<int>(rng() % 20000) - 5000);
      case 1: return "00" + std::to_string(rng() % 100);
      case 2: return "";
      case 3: return "x" + std::to_string(rng() % 10);
      default: return std::to_string(rng() % 10);
    }
  };
  std::vector<std::string> values = {"", "@", "~0", "^1", "&", "N/A", "button.bmp", "&0106001901170041000500050005000511009000000x.bmp",
                                     "&12", "!buttonhuge.bmp!3!1!0!0031!0031!0031!0031!5"};
  for (int i = 0; i < 20000; ++i) {
    const char marker = "^@~!&p"[rng() % 6];
    std::string v;
    if (marker == 'p') {
      v = files[1 + rng() % 4];
    } else if (marker == '&') {
      v = "&";
      for (int d = static_cast<int>(rng() % 50); d > 0; --d) v += static_cast<char>('0' + rng() % 10);
      v += files[rng() % 5];
    } else {
      v = std::string(1, marker);
      if (marker == '!') v += files[1 + rng() % 4] + std::string(1, marker);
      for (int n = static_cast<int>(rng() % 14); n > 0; --n) v += number() + std::string(1, marker);
      if (marker == '~' && rng() % 2) v += files[rng() % 5];
    }
    values.push_back(v);
  }
  for (const std::string& v : values) {
    const TacImageRef want = ParseCanonicalImageRef(CanonicalImageRef(v)), got = ImageRefOf(v);
    ASSERT_EQ(std::vector<int>({got.Left, got.Top, got.Right, got.Bottom, got.WL, got.WT, got.WR, got.WB,
                                got.ImageCount, got.MaskType, static_cast<int>(got.ImgType), got.DrawMode}),
              std::vector<int>({want.Left, want.Top, want.Right, want.Bottom, want.WL, want.WT, want.WR, want.WB,
                                want.ImageCount, want.MaskType, static_cast<int>(want.ImgType), want.DrawMode}))
        << v;
    ASSERT_EQ(got.FileName, want.FileName) << v;
  }
}

TEST(ImageReference, CanonicalFormOfEveryForm) {
  EXPECT_EQ(CanonicalImageRef("^0057^0001^0060^0002^0001^0000^0000^0000^1^0^1^1"),
            "&0057000100600002000100000000000010001000000");
  EXPECT_EQ(CanonicalImageRef("@0026@0011@0039@0024@1@0"), "&0026001100390024000000000000000010200000000");
  EXPECT_EQ(CanonicalImageRef("!buttonhuge.bmp!3!1!0!0031!0031!0031!0031!5"),
            "&0000000000000000003100310031003131005000000BUTTONHUGE.BMP");
  // Numbers beyond a field's width are clamped to its largest value, negative ones to 0.
  EXPECT_EQ(CanonicalImageRef("@-3@12345@0039@0024@12@0"), "&0000999900390024000000000000000090200000000");
  // Canonical values pass unchanged (upper-cased).
  EXPECT_EQ(CanonicalImageRef("&0106001901170041000500050005000511009000000x.bmp"),
            "&0106001901170041000500050005000511009000000X.BMP");
  // Border images without borders: a twelfth field gives all four, else half the frame.
  EXPECT_EQ(CanonicalImageRef("^0000^0000^0030^0020^0000^0000^0000^0000^1^0^9^0003"),
            "&0000000000300020000300030003000310009000000");
  EXPECT_EQ(CanonicalImageRef("^0000^0000^0030^0020^0000^0000^0000^0000^3^1^9^0000"),
            "&0000000000300020000400040004000431009000000");  // frame 10x10: (10-1) div 2 = 4
  // Short "^" value (not longer than 47): borders stay 0.
  EXPECT_EQ(CanonicalImageRef("^0^0^30^20^0^0^0^0^1^0^9"), "&0000000000300020000000000000000010009000000");
  // Texture: mask type from the character at position 25, file from field 7.
  EXPECT_EQ(CanonicalImageRef("~0001~0002~0003~0004~05~1~pat.bmp"),
            "&0001000200030004000000000000000011105000000PAT.BMP");
  EXPECT_EQ(CanonicalImageRef("~0001~0002~0003~0004~05"), "&0001000200030004000000000000000010105000000");
  // Separate files of the other types.
  EXPECT_EQ(CanonicalImageRef("!T.PNG!1!0!1!5!5!5!5!3"), "&0000000000000000000000000000000010103000000T.PNG");
  EXPECT_EQ(CanonicalImageRef("!G.PNG!2!1!3"), "&0000000000000000000000000000000010300000000G.PNG");
  EXPECT_EQ(CanonicalImageRef("!G.PNG!2!1!3!1!2!3!4!7"), "&0000000000000000000100020003000421307000000G.PNG");
  EXPECT_EQ(CanonicalImageRef("!G.PNG!2!1!2"), "&0000000000000000000000000000000021200000000G.PNG");
  EXPECT_EQ(CanonicalImageRef("!G.PNG!2!1!9!1!2!3!4!7"), "&0001000200030004000000000000000021407000000G.PNG");
  // Very short values and plain file names.
  EXPECT_EQ(CanonicalImageRef("@1"), "&0000000000000000000000000000000030201000000");
  EXPECT_EQ(CanonicalImageRef("back.jpg"), "&0000000000000000000000000000000010100000000BACK.JPG");
  // Over-long numbers are held to the field width instead of shifting the fields.
  EXPECT_EQ(CanonicalImageRef("@12345@-2@3@4@1@0"), "&9999000000030004000000000000000010200000000");
}

TEST(ImageReference, ParseCanonical) {
  TacImageRef r = ParseCanonicalImageRef("&0106001901170041000200040006000811009000000");
  EXPECT_EQ(r.Left, 106);
  EXPECT_EQ(r.Top, 19);
  EXPECT_EQ(r.Right, 117);
  EXPECT_EQ(r.Bottom, 41);
  // Four different widths: a swapped pair of fields shows.
  EXPECT_EQ(r.WL, 2);
  EXPECT_EQ(r.WT, 4);
  EXPECT_EQ(r.WR, 6);
  EXPECT_EQ(r.WB, 8);
  EXPECT_EQ(r.ImageCount, 1);
  EXPECT_EQ(r.MaskType, 1);
  EXPECT_EQ(r.ImgType, itisaBorder);
  EXPECT_EQ(r.DrawMode, 9);
  EXPECT_EQ(r.FileName, "");
  r = ParseCanonicalImageRef("&0000000000000000003100310031003131005000000BUTTONHUGE.BMP");
  EXPECT_EQ(r.ImageCount, 3);
  EXPECT_EQ(r.WR, 31);
  EXPECT_EQ(r.DrawMode, 5);
  EXPECT_EQ(r.FileName, "BUTTONHUGE.BMP");
  r = ParseCanonicalImageRef("&00x5");
  EXPECT_EQ(r.Left, 0);
  EXPECT_EQ(ParseCanonicalImageRef("&0000000000000000000000000000000010900000000").ImgType, itisaPngGlyph);
}

TEST(GradientData, BothLayouts) {
  // Fields of the packed points are read by value.
  auto V = [](auto x) { return x; };
  auto p = ParseGradientData("183902;14854402;97;1;0;14854402;14854402;0;1;0");
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(V(p[0].Index), 0);
  EXPECT_EQ(V(p[0].Color), 0xFF000000u | 183902u);
  EXPECT_EQ(V(p[0].Percent), 0);
  EXPECT_EQ(V(p[0].Mode), 1u);
  EXPECT_EQ(V(p[1].Index), 1);
  EXPECT_EQ(V(p[1].Color), 0xFF000000u | 14854402u);
  EXPECT_EQ(V(p[1].Percent), 100);
  EXPECT_EQ(V(p[1].Mode), 1u);
  // Mode bit 4 cleared; percent is the running total (field 3 limited to 0..100).
  p = ParseGradientData("1;0;150;17;0;2;0;30;1;0;3;0;5;1;0");
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(V(p[0].Mode), 1u);
  EXPECT_EQ(V(p[1].Percent), 100);
  EXPECT_EQ(V(p[2].Percent), 100);
  p = ParseGradientData("1;0;-5;0;0;2;0;30;1;0;3;0;5;1;0");
  EXPECT_EQ(V(p[1].Percent), 0);
  EXPECT_EQ(V(p[2].Percent), 100);
  // Mode 2 in the low bits widens the list to five copies.
  p = ParseGradientData("7;0;40;2;0;8;0;0;2;0");
  ASSERT_EQ(p.size(), 5u);
  EXPECT_EQ(V(p[2].Color), V(p[1].Color));
  EXPECT_EQ(V(p[4].Index), 1);
  EXPECT_EQ(V(p[3].Percent), 40);
  EXPECT_EQ(V(p[4].Percent), 100);
  // Second layout: count letter, (colour, percent, mode) triples.
  p = ParseGradientData("255;30;0;65280;150;16;B");
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(V(p[0].Color), 255u);
  EXPECT_EQ(V(p[0].Percent), 30);
  EXPECT_EQ(V(p[0].Mode), 0x20u);
  EXPECT_EQ(V(p[1].Color), 65280u);
  EXPECT_EQ(V(p[1].Percent), 100);
  EXPECT_EQ(V(p[1].Mode), 16u);
  // Count letter larger than the triples present.
  EXPECT_EQ(ParseGradientData("255;30;0;Z").size(), 1u);
  EXPECT_TRUE(ParseGradientData("N/A").empty());
  EXPECT_TRUE(ParseGradientData("1;2;x;4;0").empty());
}

TEST(ScaleRules, IndexesAndScaling) {
  EXPECT_EQ(ScaleIndexOfPPI(110), 0);
  EXPECT_EQ(ScaleIndexOfPPI(111), 1);
  EXPECT_EQ(ScaleIndexOfPPI(134), 1);
  EXPECT_EQ(ScaleIndexOfPPI(135), 2);
  EXPECT_EQ(ScaleIndexOfPPI(170), 2);
  EXPECT_EQ(ScaleIndexOfPPI(171), 3);
  EXPECT_EQ(ScaleByIndex(7, 1), 8);
  EXPECT_EQ(ScaleByIndex(7, 2), 10);
  EXPECT_EQ(ScaleByIndex(7, 3), 14);
  EXPECT_EQ(ScaleByIndex(-1, 2), -1);
}

TEST(SectionReader, InheritanceIntegerRuleFlagsAndLoops) {
  TacMemIni ini(
      "[BASE]\nSTATES=2\nCOLOR=-1\nGIVEOWNFONT=TRUE\nGLOW=300\nTEXT=base\n"
      "[CHILD]\nPARENTCLASS=BASE\nSTATES=-1\nSHIFTCLICK=True\nCOLOR=\n"
      "[SELF]\nPARENTCLASS=SELF\n"
      "[A]\nPARENTCLASS=B\n[B]\nPARENTCLASS=C\n[C]\nPARENTCLASS=A\nX=7\n");
  TacSectionReader r(ini);
  EXPECT_EQ(r.ReadInt("CHILD", "STATES", 3, 255), 2);  // negative: from the parent
  EXPECT_EQ(r.ReadInt("CHILD", "GLOW", 0, 255), 255);  // limited
  EXPECT_EQ(r.ReadInt("CHILD", "MISSING", 3, 255), 3);
  EXPECT_EQ(r.ReadColor("CHILD", "COLOR", 5), -1);      // empty value: the parent's
  EXPECT_TRUE(r.ReadFlag("CHILD", "GIVEOWNFONT", false));
  EXPECT_FALSE(r.ReadFlag("CHILD", "SHIFTCLICK", true));  // mixed case is false
  EXPECT_EQ(r.ReadText("CHILD", "TEXT", ""), "base");
  EXPECT_EQ(r.ReadInt("SELF", "STATES", 3, 255), 3);
  EXPECT_EQ(r.Chain("SELF").size(), 1u);
  // A loop through three sections ends.
  EXPECT_EQ(r.Chain("A"), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(r.ReadInt("A", "X", 0, 255), 7);
  EXPECT_EQ(r.ReadInt("B", "Y", 9, 255), 9);
}

// The sections of a chain are found without the names' copies, as the
// sections that the names of Chain find: loops, missing parents, empty and
// quoted parents, and chains longer than the short list of names seen.
TEST(SectionReader, ChainOfFindsTheSectionsOfChain) {
  std::string text =
      "[SELF]\nPARENTCLASS=SELF\n[A]\nPARENTCLASS=B\n[B]\nPARENTCLASS=C\n[C]\nPARENTCLASS=A\n"
      "[LOST]\nPARENTCLASS=NOWHERE\n[EMPTY]\nPARENTCLASS=\n[NONE]\nX=1\n[Q]\nPARENTCLASS=\"A\"\n"
      "[TWICE]\nPARENTCLASS=B\nPARENTCLASS=SELF\n";
  // A chain of 40 sections whose last one points back into its middle.
  for (int i = 0; i < 40; ++i)
    text += "[L" + std::to_string(i) + "]\nPARENTCLASS=L" + std::to_string(i < 39 ? i + 1 : 20) + "\n";
  for (bool strip : {false, true}) {
    TacMemIni ini(text);
    ini.SetStripQuotes(strip);
    TacSectionReader r(ini);
    std::vector<std::string> names = {"SELF", "A", "B", "C", "LOST", "EMPTY", "NONE", "Q", "TWICE", "MISSING", "L0",
                                      "L25"};
    for (const auto& sec : ini.Sections()) names.push_back(sec.Name);
    for (const std::string& name : names) {
      std::vector<const TacMemIni::TSection*> want;
      for (const std::string& n : r.Chain(name))
        if (const TacMemIni::TSection* s = ini.FindSection(n)) want.push_back(s);
      EXPECT_EQ(r.ChainOf(name), want) << name << (strip ? " with quotes stripped" : "");
    }
    EXPECT_EQ(r.ChainOf("L0").size(), 40u);
    EXPECT_EQ(r.ChainOf("Q").size(), strip ? 4u : 1u);
  }
}

TEST(SectionReader, VariantChoiceAtEveryDensity) {
  TacMemIni ini("[GLOBALINFO]\nBOXCHECKED=plain\nBOXCHECKED*200=big\nONLY150*150=mid\n");
  TacSectionReader r(ini);
  int idx = -1;
  EXPECT_EQ(*r.ChooseVariant("GLOBALINFO", "BOXCHECKED", 0, 96, idx), "plain");
  EXPECT_EQ(idx, 0);
  EXPECT_EQ(*r.ChooseVariant("GLOBALINFO", "BOXCHECKED", 1, 120, idx), "big");
  EXPECT_EQ(idx, 3);
  EXPECT_EQ(*r.ChooseVariant("GLOBALINFO", "BOXCHECKED", 3, 192, idx), "big");
  // A density above its index's own starts one index higher.
  EXPECT_EQ(*r.ChooseVariant("GLOBALINFO", "BOXCHECKED", 0, 100, idx), "big");
  EXPECT_EQ(*r.ChooseVariant("GLOBALINFO", "ONLY150", 3, 192, idx), "mid");
  EXPECT_EQ(idx, 2);
  EXPECT_EQ(*r.ChooseVariant("GLOBALINFO", "ONLY150", 3, 250, idx), "mid");
  EXPECT_FALSE(r.ChooseVariant("GLOBALINFO", "NONE", 2, 144, idx));
}

// The one-walk reader of a section's keys answers as the reader that searches
// each key: random sections with parent chains and loops, repeated, empty,
// negative and malformed values.
TEST(SectionReader, SectionValuesAnswerAsKeyByKeySearches) {
  const char* const keys[] = {"STATES", "COLOR", "GLOW", "FLAG", "HOTCOLOR"};
  const char* const values[] = {"", "1", "-1", "TRUE", "x7", "300", "0", "True", "2147483648", "12"};
  const TacKeySlots slots{"STATES", "COLOR", "GLOW", "FLAG", "HOTCOLOR", "ABSENT"};
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    std::string text;
    for (int s = 0; s < 6; ++s) {
      text += "[S" + std::to_string(s) + "]\n";
      if (rng() % 4) text += "PARENTCLASS=S" + std::to_string(rng() % 7) + "\n";  // S6 does not exist
      for (int k = rng() % 7; k > 0; --k) text += std::string(keys[rng() % 5]) + "=" + values[rng() % 10] + "\n";
    }
    TacMemIni ini(text);
    TacSectionReader r(ini);
    for (int s = 0; s < 6; ++s) {
      std::string section = "S" + std::to_string(s);
      TacSectionValues v(r, section, slots);
      for (int k = 0; k < 6; ++k) {
        std::string key = k < 5 ? keys[k] : "ABSENT";
        SCOPED_TRACE(text + section + "." + key);
        EXPECT_EQ(v.ReadInt(k, 3, 255), r.ReadInt(section, key, 3, 255));
        EXPECT_EQ(v.ReadInt(k, -1, 255), r.ReadInt(section, key, -1, 255));
        EXPECT_EQ(v.ReadColor(k, 5), r.ReadColor(section, key, 5));
        EXPECT_EQ(v.ReadFlag(k, true), r.ReadFlag(section, key, true));
        auto found = r.Lookup(section, key);
        ASSERT_EQ(v.Lookup(k) != nullptr, found.has_value());
        if (found) {
          EXPECT_EQ(*v.Lookup(k), *found);
        }
      }
    }
  }
}

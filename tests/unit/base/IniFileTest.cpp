#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/IniFile.h"
#include "base/Stream.h"
#include "base/StringList.h"

namespace fs = std::filesystem;

namespace {

using Items = std::vector<std::u16string>;

Items ItemsOf(const TStringList& L) { return Items(L.begin(), L.end()); }

std::unique_ptr<TMemIniFile> FromBytes(const std::string& B) { return TMemIniFile::FromBuffer(B.data(), B.size()); }

class TempDir : public ::testing::Test {
protected:
  fs::path Dir;
  void SetUp() override {
    Dir = fs::temp_directory_path() /
          ("cb_base_ini_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }
  void Put(const fs::path& P, const std::string& Bytes) { WriteFileBytes(P, Bytes.data(), Bytes.size()); }
};

TEST(MemIni, ReadsTheUpdateDescriptor) {
  auto Ini = FromBytes("[MAIN]\r\nVER=1.1\r\nURL=http://www.example.com/3505.html\r\nDetail=a&b c\r\n");
  EXPECT_EQ(Ini->ReadString(u"MAIN", u"VER", u""), u"1.1");
  EXPECT_EQ(Ini->ReadString(u"MAIN", u"URL", u""), u"http://www.example.com/3505.html");
  EXPECT_EQ(Ini->ReadString(u"MAIN", u"Detail", u""), u"a&b c");
  EXPECT_EQ(Ini->ReadString(u"MAIN", u"Missing", u"dflt"), u"dflt");
  EXPECT_EQ(Ini->ReadString(u"OTHER", u"VER", u""), u"");
}

TEST(MemIni, ProfileQuirks) {
  const std::string Text =
      "; a comment line\n"
      "VER=0.1\n"                // before any section: belongs to none
      "[ Main ]\n"               // blanks inside the brackets
      "  ver  =  1.1  \n"        // blanks around key and value
      "VER=9.9\n"                // duplicate key: the first wins
      ";URL=commented\n"
      "no separator line\n"
      "=value without key\n"
      "Empty=\n"
      "Eq=a=b\n"                 // split at the first '='
      "Quoted=\"  q  \"\n"       // one pair of quotes stripped, inside kept
      "Single='s'\n"
      "Half=\"h\n"
      "Inner=a\"b\"\n"
      "Twice=\"\"x\"\"\n"
      "[main] trailing text\n"   // duplicate section: its keys are not seen
      "Only=second\n"
      "[Other]\n"
      "Last=no newline";
  auto Ini = FromBytes(Text);
  EXPECT_EQ(Ini->ReadString(u"MAIN", u"VER", u"?"), u"1.1");
  EXPECT_EQ(Ini->ReadString(u"main", u"Ver", u"?"), u"1.1");
  EXPECT_EQ(Ini->ReadString(u"MAIN", u"URL", u"?"), u"?");
  EXPECT_EQ(Ini->ReadString(u"MAIN", u";URL", u"?"), u"?");
  EXPECT_EQ(Ini->ReadString(u"MAIN", u"no separator line", u"?"), u"?");
  EXPECT_EQ(Ini->ReadString(u"MAIN", u"", u"?"), u"?");
  EXPECT_TRUE(Ini->ValueExists(u"MAIN", u"Empty"));
  EXPECT_EQ(Ini->ReadString(u"MAIN", u"Empty", u"?"), u"");
  EXPECT_EQ(Ini->ReadString(u"MAIN", u"Eq", u"?"), u"a=b");
  EXPECT_EQ(Ini->ReadString(u"MAIN", u"Quoted", u"?"), u"  q  ");
  EXPECT_EQ(Ini->ReadString(u"MAIN", u"Single", u"?"), u"s");
  EXPECT_EQ(Ini->ReadString(u"MAIN", u"Half", u"?"), u"\"h");
  EXPECT_EQ(Ini->ReadString(u"MAIN", u"Inner", u"?"), u"a\"b\"");
  EXPECT_EQ(Ini->ReadString(u"MAIN", u"Twice", u"?"), u"\"x\"");
  EXPECT_FALSE(Ini->ValueExists(u"MAIN", u"Only"));
  EXPECT_EQ(Ini->ReadString(u"OTHER", u"LAST", u"?"), u"no newline");
  EXPECT_TRUE(Ini->SectionExists(u"other"));
  EXPECT_FALSE(Ini->SectionExists(u"Oth"));

  TStringList L;
  L.Add(u"stale");
  Ini->ReadSections(L);
  EXPECT_EQ(ItemsOf(L), (Items{u"Main", u"Other"}));
  Ini->ReadSection(u"MAIN", L);
  EXPECT_EQ(ItemsOf(L), (Items{u"ver", u"Empty", u"Eq", u"Quoted", u"Single", u"Half", u"Inner", u"Twice"}));
  Ini->ReadSectionValues(u"main", L);
  EXPECT_EQ(L[0], u"ver=1.1");
  EXPECT_EQ(L.Values(u"Quoted"), u"  q  ");
  Ini->ReadSection(u"NONE", L);
  EXPECT_EQ(L.Count(), 0);

  Ini->SetStripQuotes(false);
  EXPECT_EQ(Ini->ReadString(u"MAIN", u"Quoted", u"?"), u"\"  q  \"");
}

TEST(MemIni, BrokenSectionHeaderOwnsNoKeys) {
  auto Ini = FromBytes("[A]\nx=1\n[B\ny=2\n[C]\nz=3\n");
  EXPECT_EQ(Ini->ReadString(u"A", u"x", u""), u"1");
  EXPECT_FALSE(Ini->ValueExists(u"A", u"y"));
  EXPECT_FALSE(Ini->SectionExists(u"B"));
  EXPECT_EQ(Ini->ReadString(u"C", u"z", u""), u"3");
}

TEST(MemIni, CaseSensitiveNames) {
  auto Ini = FromBytes("[GLOBALINFO]\nMainFont=Tahoma\nMAINFONT=Other\n");
  EXPECT_EQ(Ini->ReadString(u"GLOBALINFO", u"MainFont", u""), u"Tahoma");
  EXPECT_EQ(Ini->ReadString(u"GLOBALINFO", u"MAINFONT", u""), u"Tahoma"); // first wins when folded
  Ini->SetCaseSensitive(true);
  EXPECT_EQ(Ini->ReadString(u"GLOBALINFO", u"MAINFONT", u""), u"Other");
  EXPECT_EQ(Ini->ReadString(u"GlobalInfo", u"MainFont", u"none"), u"none");
  EXPECT_FALSE(Ini->SectionExists(u"globalinfo"));
  TMemIniFile Cs;
  Cs.SetCaseSensitive(true);
  Cs.WriteString(u"S", u"k", u"1");
  Cs.WriteString(u"S", u"K", u"2");
  TStringList L;
  Cs.ReadSection(u"S", L);
  EXPECT_EQ(ItemsOf(L), (Items{u"k", u"K"}));
}

TEST(MemIni, DecodesEveryEncoding) {
  const std::u16string Want = u"\u4FEE\u590D\u82E5\u5E72\u95EE\u9898";
  const std::u16string Text = u"[MAIN]\r\nDetail=" + Want + u"\r\n";
  struct Case {
    TTextEncoding Enc;
    bool Bom;
  };
  for (Case C : {Case{TTextEncoding::teUtf8, false}, Case{TTextEncoding::teUtf8, true},
                 Case{TTextEncoding::teUtf16LE, true}, Case{TTextEncoding::teUtf16BE, true},
                 Case{TTextEncoding::teAnsi, false}}) {
    auto Ini = FromBytes(EncodeText(Text, C.Enc, C.Bom));
    EXPECT_EQ(Ini->ReadString(u"MAIN", u"Detail", u""), Want) << int(C.Enc) << C.Bom;
    EXPECT_EQ(Ini->Encoding(), C.Enc);
  }
  // A BOM does not become part of the first section's name.
  auto Ini = FromBytes("\xEF\xBB\xBF[MAIN]\nVER=2\n");
  EXPECT_EQ(Ini->ReadString(u"MAIN", u"VER", u""), u"2");
}

TEST(MemIni, NumbersAndFlags) {
  auto Ini = FromBytes(
      "[S]\nA=12\nB= -5 \nC=0x1F\nD=$10\nE=abc\nF=99999999999\nG=\"7\"\nH=-263173\n"
      "T1=1\nT2=true\nT3=FALSE\nT4=0\nT5=yes\nT6=\n");
  EXPECT_EQ(Ini->ReadInteger(u"S", u"A", -1), 12);
  EXPECT_EQ(Ini->ReadInteger(u"S", u"B", -1), -5);
  EXPECT_EQ(Ini->ReadInteger(u"S", u"C", -1), 31);
  EXPECT_EQ(Ini->ReadInteger(u"S", u"D", -1), 16);
  EXPECT_EQ(Ini->ReadInteger(u"S", u"E", -1), -1);
  EXPECT_EQ(Ini->ReadInteger(u"S", u"F", -1), -1);
  EXPECT_EQ(Ini->ReadInteger(u"S", u"G", -1), 7);
  EXPECT_EQ(Ini->ReadInteger(u"S", u"H", 0), -263173);
  EXPECT_EQ(Ini->ReadInteger(u"S", u"Missing", 42), 42);
  EXPECT_TRUE(Ini->ReadBool(u"S", u"T1", false));
  EXPECT_TRUE(Ini->ReadBool(u"S", u"T2", false));
  EXPECT_FALSE(Ini->ReadBool(u"S", u"T3", true));
  EXPECT_FALSE(Ini->ReadBool(u"S", u"T4", true));
  EXPECT_TRUE(Ini->ReadBool(u"S", u"T5", true));
  EXPECT_FALSE(Ini->ReadBool(u"S", u"T5", false));
  EXPECT_TRUE(Ini->ReadBool(u"S", u"T6", true));
}

TEST(MemIni, WritesReadBackThroughText) {
  TMemIniFile Ini;
  Ini.WriteString(u"MAIN", u"VER", u"1.0");
  Ini.WriteString(u"main", u"ver", u"1.1"); // replaces, keeps the first spelling
  Ini.WriteString(u"MAIN", u"Padded", u"  p  ");
  Ini.WriteString(u"MAIN", u"LooksQuoted", u"\"q\"");
  Ini.WriteString(u"MAIN", u"Chinese", u"\u4E2D\u6587");
  Ini.WriteString(u"MAIN", u"Empty", u"");
  Ini.WriteInteger(u"Nums", u"N", -7);
  Ini.WriteBool(u"Nums", u"B", true);
  EXPECT_EQ(Ini.ReadString(u"MAIN", u"VER", u""), u"1.1");

  auto Back = TMemIniFile::FromText(Ini.GetText());
  EXPECT_EQ(Back->GetText(), Ini.GetText());
  for (auto Key : {u"VER", u"Padded", u"LooksQuoted", u"Chinese", u"Empty"})
    EXPECT_EQ(Back->ReadString(u"MAIN", Key, u"?"), Ini.ReadString(u"MAIN", Key, u"!")) << Utf16ToUtf8(Key);
  EXPECT_EQ(Back->ReadString(u"MAIN", u"Padded", u""), u"  p  ");
  EXPECT_EQ(Back->ReadString(u"MAIN", u"LooksQuoted", u""), u"\"q\"");
  EXPECT_EQ(Back->ReadInteger(u"Nums", u"N", 0), -7);
  EXPECT_TRUE(Back->ReadBool(u"Nums", u"B", false));
  EXPECT_EQ(Ini.GetText().substr(0, 16), u"[MAIN]\r\nVER=1.1\r");

  // Through a string list, as the skin loader fills it.
  TStringList Lines;
  Ini.GetStrings(Lines);
  TMemIniFile Again;
  Again.SetStrings(Lines);
  EXPECT_EQ(Again.GetText(), Ini.GetText());
}

TEST(MemIni, RefusesNamesTheTextCannotHold) {
  TMemIniFile Ini;
  EXPECT_THROW(Ini.WriteString(u"S", u"", u"v"), EIniFileError);
  EXPECT_THROW(Ini.WriteString(u"S", u"a=b", u"v"), EIniFileError);
  EXPECT_THROW(Ini.WriteString(u"S", u" k", u"v"), EIniFileError);
  EXPECT_THROW(Ini.WriteString(u"S", u";k", u"v"), EIniFileError);
  EXPECT_THROW(Ini.WriteString(u"S", u"[k", u"v"), EIniFileError);
  EXPECT_THROW(Ini.WriteString(u"S]", u"k", u"v"), EIniFileError);
  EXPECT_THROW(Ini.WriteString(u"S\n", u"k", u"v"), EIniFileError);
  EXPECT_THROW(Ini.WriteString(u"S", u"k", u"line\r\nbreak"), EIniFileError);
  EXPECT_FALSE(Ini.SectionExists(u"S")); // nothing half-written
}

TEST(MemIni, EraseAndDelete) {
  auto Ini = FromBytes("[A]\nx=1\n[B]\ny=2\ny=3\nz=4\n[a]\nw=5\n");
  Ini->DeleteKey(u"b", u"Y");
  EXPECT_FALSE(Ini->ValueExists(u"B", u"y")); // every copy goes, so no later one shows
  EXPECT_EQ(Ini->ReadString(u"B", u"z", u""), u"4");
  Ini->EraseSection(u"A");
  EXPECT_FALSE(Ini->SectionExists(u"A"));    // both sections of the name
  EXPECT_EQ(Ini->GetText(), u"[B]\r\nz=4\r\n\r\n");
  Ini->EraseSection(u"none");
  Ini->Clear();
  EXPECT_EQ(Ini->GetText(), u"");
}

TEST(MemIni, BinaryGarbageIsHarmless) {
  std::mt19937 Rng(7);
  for (int Round = 0; Round < 200; ++Round) {
    std::string B(Rng() % 2048, '\0');
    for (auto& C : B) C = static_cast<char>(Rng() % 4 ? Rng() : "[]=\r\n;\""[Rng() % 7]);
    auto Ini = FromBytes(B);
    TStringList Secs;
    Ini->ReadSections(Secs);
    for (const auto& S : Secs) {
      TStringList Keys;
      Ini->ReadSectionValues(S, Keys);
      EXPECT_TRUE(Ini->SectionExists(S));
    }
    // What was read writes out and reads back the same.
    auto Back = TMemIniFile::FromText(Ini->GetText());
    ASSERT_EQ(Back->GetText(), Ini->GetText());
  }
}

TEST(MemIni, SizeIsCapped) {
  std::string Big(MaxIniSize + 1, 'x');
  EXPECT_THROW(FromBytes(Big), EIniFileError);
  Big.pop_back();
  Big.replace(0, 12, "[S]\nK=v\n;xxx");
  EXPECT_EQ(FromBytes(Big)->ReadString(u"S", u"K", u""), u"v");
}

TEST_F(TempDir, FilesLoadAndUpdate) {
  const fs::path P = Dir / "_Update.INI";
  TMemIniFile Missing(P);
  EXPECT_FALSE(Missing.SectionExists(u"MAIN")); // no file: empty, not an error

  Put(P, "[MAIN]\nVER=1.1\n");
  TMemIniFile Ini(P);
  EXPECT_EQ(Ini.ReadString(u"MAIN", u"VER", u""), u"1.1");
  Ini.WriteString(u"MAIN", u"Detail", u"\u4E2D");
  Ini.UpdateFile();
  auto Re = TMemIniFile::Create(P);
  EXPECT_EQ(Re->ReadString(u"MAIN", u"Detail", u""), u"\u4E2D");
  EXPECT_EQ(ReadFileBytes(P).substr(0, 3), "\xEF\xBB\xBF"); // non-ASCII: UTF-8 with BOM

  // UTF-16 files stay UTF-16.
  const fs::path W = Dir / "wide.ini";
  Put(W, EncodeText(u"[A]\r\nk=v\r\n", TTextEncoding::teUtf16LE, true));
  TMemIniFile Wide(W);
  Wide.WriteString(u"A", u"k2", u"v2");
  Wide.UpdateFile();
  const std::string Bytes = ReadFileBytes(W);
  EXPECT_EQ(Bytes.substr(0, 4), std::string("\xFF\xFE[\0", 4));
  EXPECT_EQ(TMemIniFile(W).ReadString(u"A", u"k2", u""), u"v2");

  // A name with Chinese characters.
  const fs::path C = Dir / fs::path(u"\u914D\u7F6E.ini");
  Put(C, "[A]\nk=1\n");
  EXPECT_EQ(TMemIniFile(C).ReadInteger(u"A", u"k", 0), 1);
}

TEST_F(TempDir, OversizedOrUnreadableFilesFailClearly) {
  const fs::path P = Dir / "huge.ini";
  {
    std::ofstream F(P, std::ios::binary);
  }
  fs::resize_file(P, MaxIniSize + 1); // sparse: cheap to make
  try {
    TMemIniFile Ini(P);
    FAIL() << "no error for an oversized file";
  } catch (const EIniFileError& E) {
    EXPECT_NE(std::string(E.what()).find("larger than"), std::string::npos) << E.what();
  }
  EXPECT_THROW(TMemIniFile Ini(Dir), EIniFileError); // a directory
  TMemIniFile NoName;
  EXPECT_THROW(NoName.UpdateFile(), EIniFileError);
}

} // namespace

namespace {

// One reader, two syntaxes, over 16-bit and 8-bit text alike; S makes a name of
// the text's kind from ASCII.
template <class Char>
void CheckBothSyntaxes(const std::basic_string<Char>& Text, auto S) {
  TBasicMemIni<Char> Profile(TIniSyntax::isProfile, false);
  Profile.SetText(Text);
  EXPECT_EQ(Profile.Value(S("main"), S("key")), S("v 1"));        // names folded, both sides trimmed
  EXPECT_EQ(Profile.Value(S("MAIN"), S("Q")), S("q"));            // quotes stripped
  EXPECT_FALSE(Profile.ValueExists(S("MAIN"), S("LATER")));        // the second [Main] is not seen
  EXPECT_FALSE(Profile.SectionExists(S("[Odd")));
  EXPECT_EQ(Profile.Sections().size(), 3u);

  TBasicMemIni<Char> Mem(TIniSyntax::isMemIni, true);
  Mem.SetText(Text);
  EXPECT_FALSE(Mem.ValueExists(S("Main"), S("key")));              // case counts
  EXPECT_EQ(Mem.Value(S("Main"), S("Key ")), S(" v 1"));          // as written after the line is trimmed
  EXPECT_EQ(Mem.Value(S("Main"), S("Q")), S("\"q\""));
  EXPECT_EQ(Mem.Value(S("Main"), S("LATER")), S("2"));            // the second [Main] joins the first
  EXPECT_EQ(Mem.Value(S("Main"), S("[Odd")), S("x"));             // not a whole line in brackets: a key
  EXPECT_EQ(Mem.Sections().size(), 2u);
  EXPECT_EQ(Mem.SectionIndex(S("Other")), 1);
}

} // namespace

TEST(MemIni, ProfileAndMemorySyntaxesOverEitherText) {
  CheckBothSyntaxes<char16_t>(u"[Main]\n  Key = v 1\nQ=\"q\"\n[Odd=x\n[Other]\n[Main]\nLATER=2\n",
                              [](std::string_view P) { return std::u16string(P.begin(), P.end()); });
  CheckBothSyntaxes<char>("[Main]\n  Key = v 1\nQ=\"q\"\n[Odd=x\n[Other]\n[Main]\nLATER=2\n",
                          [](std::string_view P) { return std::string(P); });
}

// The flat name index against a map, over enough names to grow it many times
// and with names that differ in one character: the first position given for
// a name stays, a missing name is not found, and a cleared index is empty.
TEST(NameIndex, KeepsTheFirstPositionOfEachNameAsItGrows) {
  std::mt19937 rng(3);
  for (std::size_t reserve : {0u, 16u, 300u}) {
    TBasicNameIndex<char> index;
    index.reserve(reserve);
    std::map<std::string, std::size_t> want;
    for (std::size_t i = 0; i < 2000; ++i) {
      std::string name = "KEY" + std::to_string(rng() % 700);
      if (i % 5 == 0) name += std::string(20, 'X');  // longer than a short string holds
      const auto [it, added] = index.emplace(name, i);
      const auto [w, wAdded] = want.emplace(name, i);
      ASSERT_EQ(added, wAdded) << name;
      ASSERT_EQ(it->first, name);
      ASSERT_EQ(it->second, w->second);
    }
    EXPECT_EQ(index.size(), want.size());
    for (const auto& [name, pos] : want) {
      ASSERT_NE(index.find(name), index.end()) << name;
      EXPECT_EQ(index.find(name)->second, pos);
      EXPECT_EQ(index.at(name), pos);
      EXPECT_EQ(index.find(name + "!"), index.end());
      if (const std::string shorter = name.substr(0, name.size() - 1); !want.count(shorter)) {
        EXPECT_EQ(index.find(shorter), index.end());
      }
    }
    EXPECT_THROW(index.at("KEY-1"), std::out_of_range);
    index.clear();
    EXPECT_EQ(index.size(), 0u);
    EXPECT_EQ(index.find("KEY1"), index.end());
    EXPECT_TRUE(index.emplace("KEY1", 9).second);
    EXPECT_EQ(index.at("KEY1"), 9u);
  }
  TBasicNameIndex<char16_t> empty;
  EXPECT_EQ(empty.find(u"A"), empty.end());
  // Two names of one hash are still two names.
  TBasicNameIndex<char> same;
  EXPECT_TRUE(same.emplace("K47199", 1).second);
  EXPECT_EQ(same.find("K1168204"), same.end());
  EXPECT_TRUE(same.emplace("K1168204", 2).second);
  EXPECT_EQ(same.at("K47199"), 1u);
  EXPECT_EQ(same.at("K1168204"), 2u);
}

// Line breaks of every kind (CR LF, LF, a CR alone, LF CR) read alike in
// 8-bit text, whose lines are found with memchr, and in 16-bit text, read a
// character at a time.
TEST(MemIni, LineBreaksReadAlikeInEitherText) {
  std::mt19937 rng(8);
  const char* const pieces[] = {"[S]", "[T]", "K=1", "K=2", "L = x ", ";c", "", " [S] ", "=v", "M"};
  const char* const breaks[] = {"\r\n", "\n", "\r", "\n\r", "\r\r\n"};
  for (int round = 0; round < 300; ++round) {
    std::string text;
    for (int n = static_cast<int>(rng() % 12); n > 0; --n) {
      text += pieces[rng() % 10];
      if (rng() % 6) text += breaks[rng() % 5];
    }
    for (TIniSyntax syntax : {TIniSyntax::isProfile, TIniSyntax::isMemIni}) {
      TBasicMemIni<char> narrow(syntax);
      TBasicMemIni<char16_t> wide(syntax);
      narrow.SetText(text);
      wide.SetText(std::u16string(text.begin(), text.end()));
      ASSERT_EQ(narrow.Sections().size(), wide.Sections().size()) << text;
      for (std::size_t i = 0; i < narrow.Sections().size(); ++i) {
        const auto& a = narrow.Sections()[i];
        const auto& b = wide.Sections()[i];
        ASSERT_EQ(std::u16string(a.Name.begin(), a.Name.end()), b.Name) << text;
        ASSERT_EQ(a.Keys.size(), b.Keys.size()) << text;
        for (std::size_t k = 0; k < a.Keys.size(); ++k) {
          EXPECT_EQ(std::u16string(a.Keys[k].Name.begin(), a.Keys[k].Name.end()), b.Keys[k].Name) << text;
          EXPECT_EQ(std::u16string(a.Keys[k].Value.begin(), a.Keys[k].Value.end()), b.Keys[k].Value) << text;
        }
      }
    }
  }
  // A CR alone ends a line, and so does the end of the text.
  TBasicMemIni<char> ini(TIniSyntax::isMemIni);
  ini.SetText("[A]\rX=1\rY=2");
  EXPECT_EQ(ini.ReadString("A", "X", ""), "1");
  EXPECT_EQ(ini.ReadString("A", "Y", ""), "2");
}

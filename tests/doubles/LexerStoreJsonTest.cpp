#include <gtest/gtest.h>

#include "psd_json.hpp"
#include "psd_lexer.hpp"
#include "psd_store.hpp"

using cb::test::psd::TokenType;

namespace {
std::vector<TokenType> types(const std::vector<cb::test::psd::Token>& t) {
  std::vector<TokenType> out;
  for (const auto& x : t) out.push_back(x.type);
  return out;
}
}  // namespace

TEST(Lexer, InstallScriptForms) {
  const auto t = cb::test::psd::tokenize(
      "Get-AppxPackage -AllUsers| Foreach {Add-AppxPackage -DisableDevelopmentMode -Register "
      "\"$($_.InstallLocation)\\AppXManifest.xml\"}\r\n");
  ASSERT_EQ(types(t), (std::vector<TokenType>{TokenType::Word, TokenType::Parameter, TokenType::Pipe, TokenType::Word,
                                              TokenType::ScriptBlock, TokenType::EndOfStatement}));
  EXPECT_EQ(t[1].text, "AllUsers");
  EXPECT_EQ(t[4].text, "Add-AppxPackage -DisableDevelopmentMode -Register \"$($_.InstallLocation)\\AppXManifest.xml\"");
  const auto body = cb::test::psd::tokenize(t[4].text);
  ASSERT_EQ(body.size(), 4u);
  EXPECT_EQ(body[3].type, TokenType::DoubleQuoted);
  EXPECT_EQ(body[3].text, "$($_.InstallLocation)\\AppXManifest.xml");
}

TEST(Lexer, QuotesParametersAndCallOperator) {
  const auto t = cb::test::psd::tokenize("& 'C:\\it''s here\\ps.ps1' -Confirm:$false *key* \"a\"\"b\"");
  ASSERT_EQ(types(t), (std::vector<TokenType>{TokenType::Call, TokenType::SingleQuoted, TokenType::Parameter,
                                              TokenType::Variable, TokenType::Word, TokenType::DoubleQuoted}));
  EXPECT_EQ(t[1].text, "C:\\it's here\\ps.ps1");
  EXPECT_TRUE(t[2].colon);
  EXPECT_EQ(t[2].text, "Confirm");
  EXPECT_EQ(t[3].text, "false");
  EXPECT_EQ(t[4].text, "*key*");
  EXPECT_EQ(cb::test::psd::expandString(t[5].text, [](std::string_view) { return std::string(); }), "a\"b");
  // A typographic closing quote ends a single-quoted string as an ASCII one does.
  EXPECT_THROW(cb::test::psd::tokenize("'O\xE2\x80\x99" "Brien'"), cb::test::psd::ParseError);
  const auto typo = cb::test::psd::tokenize("'O\xE2\x80\x99\xE2\x80\x99" "Brien'");
  ASSERT_EQ(typo.size(), 1u);
  EXPECT_EQ(typo[0].text, "O\xE2\x80\x99" "Brien");
}

TEST(Lexer, Errors) {
  EXPECT_THROW(cb::test::psd::tokenize("'open"), cb::test::psd::ParseError);
  EXPECT_THROW(cb::test::psd::tokenize("\"open"), cb::test::psd::ParseError);
  EXPECT_THROW(cb::test::psd::tokenize("ForEach { a "), cb::test::psd::ParseError);
  EXPECT_THROW(cb::test::psd::tokenize("a && b"), cb::test::psd::ParseError);
  EXPECT_THROW(cb::test::psd::parseStatements("a | | b"), cb::test::psd::ParseError);
  EXPECT_THROW(cb::test::psd::parseStatements("a |"), cb::test::psd::ParseError);
  EXPECT_THROW(cb::test::psd::parseStatements("&"), cb::test::psd::ParseError);
  EXPECT_THROW(cb::test::psd::parseStatements("a -Name:"), cb::test::psd::ParseError);
}

TEST(Lexer, StatementsAndExpansion) {
  const auto st = cb::test::psd::parseStatements("a x; b | c -p:1\n\n# note\nd");
  ASSERT_EQ(st.size(), 3u);
  EXPECT_EQ(st[1].size(), 2u);
  EXPECT_TRUE(st[1][1].elements[1].hasColonValue);
  EXPECT_EQ(st[1][1].elements[1].colonValue.text, "1");
  std::vector<std::string> parts;
  const std::string s = cb::test::psd::expandString("`t$($_.X)\\y $name $ `$z", [&](std::string_view p) {
    parts.emplace_back(p);
    return std::string("<") + std::string(p) + ">";
  });
  EXPECT_EQ(s, "\t<($_.X)>\\y <name> $ $z");
  EXPECT_EQ(parts.size(), 2u);
}

TEST(Lexer, ScriptEncodings) {
  EXPECT_EQ(cb::test::psd::decodeScriptBytes("\xEF\xBB\xBFGet"), "Get");
  EXPECT_EQ(cb::test::psd::decodeScriptBytes(std::string("\xFF\xFEG\0e\0t\0", 8)), "Get");
  EXPECT_EQ(cb::test::psd::decodeScriptBytes(std::string("\xFE\xFF\0G\0e\0t", 8)), "Get");
  EXPECT_EQ(cb::test::psd::utf16leToUtf8(std::string("\x3D\xD8\x00\xDE", 4)), "\xF0\x9F\x98\x80");
  EXPECT_EQ(cb::test::psd::utf16leToUtf8(std::string("\x00\xD8", 2)), "\xEF\xBF\xBD");
}

TEST(Store, RoundTripAndDefaults) {
  cb::test::psd::Store s = cb::test::psd::Store::parse(
      "\xEF\xBB\xBF; seeded\n[settings]\nExecutionPolicy = Bypass\n[delay_ms]\nafter_read=250\n"
      "[package Microsoft.People_10.2_x64__8wekyb3d8bbwe]\nInstallLocation=C:\\P\\People\nCurrentUser=1\n"
      "[package Microsoft.VCLibs.140.00_14.0_x64__8wekyb3d8bbwe]\nUnremovable=true\nBroken=no\nOtherUsers=1\n"
      "Provisioned=yes\n");
  EXPECT_EQ(s.executionPolicy, "Bypass");
  EXPECT_EQ(s.delay("after_read"), 250);
  EXPECT_EQ(s.delay("missing"), 0);
  ASSERT_EQ(s.packages.size(), 2u);
  EXPECT_EQ(s.packages[0].name(), "Microsoft.People");
  EXPECT_TRUE(s.packages[0].currentUser);
  EXPECT_FALSE(s.packages[1].currentUser);
  EXPECT_TRUE(s.packages[1].unremovable);
  EXPECT_FALSE(s.packages[0].otherUsers || s.packages[0].provisioned);
  EXPECT_TRUE(s.packages[1].otherUsers && s.packages[1].provisioned);
  ASSERT_NE(s.find("microsoft.people_10.2_x64__8wekyb3d8bbwe"), nullptr);
  const cb::test::psd::Store again = cb::test::psd::Store::parse(s.serialize());
  EXPECT_EQ(again.serialize(), s.serialize());
  EXPECT_EQ(again.packages[0].installLocation, "C:\\P\\People");
  EXPECT_TRUE(again.packages[1].otherUsers && again.packages[1].provisioned);
  EXPECT_EQ(cb::test::psd::Store::parse("").executionPolicy, "Restricted");
}

TEST(Store, ErrorsNameTheLine) {
  auto message = [](const char* text) {
    try {
      cb::test::psd::Store::parse(text);
    } catch (const cb::test::psd::StoreError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message("[settings]\nExecutionPolicy=Bypass\nbogus"), "store line 3: expected key=value");
  EXPECT_EQ(message("x=1"), "store line 1: key outside any section");
  EXPECT_EQ(message("[nope]"), "store line 1: unknown section [nope]");
  EXPECT_EQ(message("[package A_1]\n[package a_1]"), "store line 2: duplicate package a_1");
  EXPECT_EQ(message("[package A_1]\nColour=1"), "store line 2: unknown package key Colour");
  EXPECT_EQ(message("[package A_1]\nBroken=maybe"), "store line 2: not a Boolean value: maybe");
  EXPECT_EQ(message("[delay_ms]\nall=-5"), "store line 2: delay must be 0 to 600000 ms: -5");
  EXPECT_EQ(message("[settings"), "store line 1: unterminated section header");
}

TEST(Json, QuotingAndBase64) {
  EXPECT_EQ(cb::test::psd::jsonQuote("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
  EXPECT_EQ(cb::test::psd::jsonQuote("\xE5\x8D\xB8 ok"), "\"\xE5\x8D\xB8 ok\"");
  EXPECT_EQ(cb::test::psd::jsonQuote("\xFF\xE5\x8D"), "\"\\ufffd\\ufffd\\ufffd\"");
  EXPECT_EQ(cb::test::psd::jsonQuote("\xED\xA0\x80"), "\"\\ufffd\\ufffd\\ufffd\"");  // a lone surrogate
  const char* vectors[][2] = {{"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"},
                              {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
  for (auto& v : vectors) EXPECT_EQ(cb::test::psd::base64(v[0]), v[1]) << v[0];
  EXPECT_EQ(cb::test::psd::base64(std::string("\xFF\x00", 2)), "/wA=");
  cb::test::psd::JsonObject o;
  o.num("pid", 12).str("k", "v").boolean("b", false).raw("a", cb::test::psd::jsonArray({"x", "y"}));
  EXPECT_EQ(o.text(), "{\"pid\":12,\"k\":\"v\",\"b\":false,\"a\":[\"x\",\"y\"]}");
}

#include <gtest/gtest.h>

#include "psd_argv.hpp"
#include "psd_wildcard.hpp"

using cb::test::psd::splitCommandLine;
using V = std::vector<std::string>;

TEST(CommandLineSplit, ProgramNameIsQuotedWithoutEscapes) {
  EXPECT_EQ(splitCommandLine("\"C:\\a b\\x.exe\" one"), (V{"C:\\a b\\x.exe", "one"}));
  EXPECT_EQ(splitCommandLine("C:\\a\\x.exe\\\" one"), (V{"C:\\a\\x.exe\\\"", "one"}));
  EXPECT_EQ(splitCommandLine("x.exe"), (V{"x.exe"}));
  EXPECT_EQ(splitCommandLine("x.exe   "), (V{"x.exe"}));
  EXPECT_EQ(splitCommandLine(""), (V{""}));
}

TEST(CommandLineSplit, BackslashAndQuoteRules) {
  EXPECT_EQ(splitCommandLine("p \"abc\" d e"), (V{"p", "abc", "d", "e"}));
  EXPECT_EQ(splitCommandLine("p a\\\\\\b d\"e f\"g h"), (V{"p", "a\\\\\\b", "de fg", "h"}));
  EXPECT_EQ(splitCommandLine("p a\\\\\\\"b c d"), (V{"p", "a\\\"b", "c", "d"}));
  EXPECT_EQ(splitCommandLine("p a\\\\\\\\\"b c\" d e"), (V{"p", "a\\\\b c", "d", "e"}));
  EXPECT_EQ(splitCommandLine("p a\"b\"\" c d"), (V{"p", "ab\"", "c", "d"}));
  EXPECT_EQ(splitCommandLine("p \"\" x"), (V{"p", "", "x"}));
  EXPECT_EQ(splitCommandLine("p\t a\t\tb"), (V{"p", "a", "b"}));
}

TEST(CommandLineSplit, TheProgramsCommandLines) {
  EXPECT_EQ(splitCommandLine("powershell.exe set-executionpolicy Bypass -Confirm:$false"),
            (V{"powershell.exe", "set-executionpolicy", "Bypass", "-Confirm:$false"}));
  EXPECT_EQ(splitCommandLine("powershell.exe -Command \"& 'C:\\Temp dir\\ps.ps1'\""),
            (V{"powershell.exe", "-Command", "& 'C:\\Temp dir\\ps.ps1'"}));
  EXPECT_EQ(splitCommandLine("PowerShell.exe Get-AppxPackage *people* | Remove-AppxPackage"),
            (V{"PowerShell.exe", "Get-AppxPackage", "*people*", "|", "Remove-AppxPackage"}));
  // A quoted path loses its quotes: PowerShell then sees the blank.
  EXPECT_EQ(splitCommandLine("powershell.exe \"C:\\a b\\ps.ps1\""), (V{"powershell.exe", "C:\\a b\\ps.ps1"}));
  // A trailing backslash before the closing quote escapes it.
  EXPECT_EQ(splitCommandLine("powershell.exe \"C:\\a b\\\" x"), (V{"powershell.exe", "C:\\a b\" x"}));
}

TEST(Wildcard, MatchesWithoutRegardToCase) {
  EXPECT_TRUE(cb::test::psd::wildcardMatch("*people*", "Microsoft.People"));
  EXPECT_TRUE(cb::test::psd::wildcardMatch("*PEOPLE*", "Microsoft.Windows.PeopleExperienceHost"));
  EXPECT_TRUE(cb::test::psd::wildcardMatch("*windowscalculator*", "Microsoft.WindowsCalculator"));
  EXPECT_TRUE(cb::test::psd::wildcardMatch("Microsoft.3DBuilder", "microsoft.3dbuilder"));
  EXPECT_FALSE(cb::test::psd::wildcardMatch("Microsoft.3DBuilder", "Microsoft.3DBuilder2"));
  EXPECT_FALSE(cb::test::psd::wildcardMatch("*xboxapp*", "Microsoft.XboxGameOverlay"));
}

TEST(Wildcard, StarsQuestionMarksSetsAndEscapes) {
  EXPECT_TRUE(cb::test::psd::wildcardMatch("*", ""));
  EXPECT_TRUE(cb::test::psd::wildcardMatch("**a**", "a"));
  EXPECT_FALSE(cb::test::psd::wildcardMatch("?", ""));
  EXPECT_TRUE(cb::test::psd::wildcardMatch("a?c", "abc"));
  EXPECT_FALSE(cb::test::psd::wildcardMatch("a?c", "ac"));
  EXPECT_TRUE(cb::test::psd::wildcardMatch("[a-c]x", "Bx"));
  EXPECT_FALSE(cb::test::psd::wildcardMatch("[a-c]x", "dx"));
  EXPECT_TRUE(cb::test::psd::wildcardMatch("[xyz]", "Y"));
  EXPECT_TRUE(cb::test::psd::wildcardMatch("a`*b", "a*b"));
  EXPECT_FALSE(cb::test::psd::wildcardMatch("a`*b", "axb"));
  EXPECT_TRUE(cb::test::psd::wildcardMatch("*a*b", "aaaaaaaaaaaaaaaaaaaaab"));
  EXPECT_FALSE(cb::test::psd::wildcardMatch("*a*a*a*a*a*b", std::string(4000, 'a')));
  EXPECT_TRUE(cb::test::psd::hasWildcard("*x"));
  EXPECT_FALSE(cb::test::psd::hasWildcard("a`*b"));
  EXPECT_THROW(cb::test::psd::wildcardMatch("[abc", "a"), cb::test::psd::WildcardError);
}

// Code page 936 (simplified Chinese, GBK) without the platform: a compressed table of
// the double-byte codes, expanded on first use (48 KB), and its reverse for encoding.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "Strings.h"

namespace {

#include "Cp936Table.inc"

constexpr int LeadFirst = 0x81, LeadLast = 0xFE;
constexpr int TrailFirst = 0x40, TrailLast = 0xFE;
constexpr int TrailCount = TrailLast - TrailFirst; // 0x7F is skipped
constexpr std::size_t CodeCount = std::size_t(LeadLast - LeadFirst + 1) * TrailCount;

const std::vector<std::uint16_t>& ForwardTable() {
  static const std::vector<std::uint16_t> Table = [] {
    std::vector<std::uint16_t> T;
    T.reserve(CodeCount);
    const std::size_t N = sizeof(Cp936Tokens) / sizeof(Cp936Tokens[0]);
    for (std::size_t I = 0; I < N && T.size() < CodeCount;) {
      std::uint16_t Tok = Cp936Tokens[I++];
      if (Tok & 0x8000) {
        std::size_t Len = Tok & 0x7FFF;
        std::uint16_t Start = I < N ? Cp936Tokens[I++] : 0;
        for (std::size_t K = 0; K < Len; ++K)
          T.push_back(Start == 0 ? 0 : std::uint16_t(Start + K));
      } else {
        for (std::size_t K = 0; K < Tok && I < N; ++K) T.push_back(Cp936Tokens[I++]);
      }
    }
    T.resize(CodeCount, 0);
    return T;
  }();
  return Table;
}

// (code point, double-byte code) sorted by code point.
const std::vector<std::pair<std::uint16_t, std::uint16_t>>& ReverseTable() {
  static const auto Table = [] {
    std::vector<std::pair<std::uint16_t, std::uint16_t>> R;
    const auto& F = ForwardTable();
    for (std::size_t I = 0; I < F.size(); ++I) {
      if (F[I] == 0) continue;
      int Lead = LeadFirst + int(I / TrailCount);
      int Trail = TrailFirst + int(I % TrailCount);
      if (Trail >= 0x7F) ++Trail;
      R.emplace_back(F[I], std::uint16_t((Lead << 8) | Trail));
    }
    // First code wins for a code point mapped twice.
    std::stable_sort(R.begin(), R.end(), [](auto& A, auto& B) { return A.first < B.first; });
    return R;
  }();
  return Table;
}

std::atomic<TAnsiDecoder> GAnsiDecoder{nullptr};

} // namespace

std::u16string Cp936ToUtf16(std::string_view S) {
  std::u16string R;
  R.reserve(S.size());
  const auto& F = ForwardTable();
  for (std::size_t I = 0; I < S.size(); ++I) {
    const unsigned char C = static_cast<unsigned char>(S[I]);
    if (C < 0x80) {
      R.push_back(C);
    } else if (C == 0x80) {
      R.push_back(0x20AC);
    } else if (C == 0xFF) {
      R.push_back(ReplacementChar);
    } else {
      // A bad trail byte is not swallowed: it may be an ASCII character of its own.
      const unsigned char T = I + 1 < S.size() ? static_cast<unsigned char>(S[I + 1]) : 0;
      if (T < TrailFirst || T > TrailLast || T == 0x7F) {
        R.push_back(ReplacementChar);
        continue;
      }
      ++I;
      const std::size_t Idx = std::size_t(C - LeadFirst) * TrailCount + (T - TrailFirst) - (T > 0x7F ? 1 : 0);
      const std::uint16_t U = F[Idx];
      R.push_back(U ? char16_t(U) : ReplacementChar);
    }
  }
  return R;
}

std::string Utf16ToCp936(std::u16string_view S) {
  std::string R;
  R.reserve(S.size() * 2);
  const auto& Rev = ReverseTable();
  for (std::size_t I = 0; I < S.size(); ++I) {
    const char16_t C = S[I];
    if (C < 0x80) {
      R.push_back(static_cast<char>(C));
      continue;
    }
    if (C == 0x20AC) {
      R.push_back(static_cast<char>(0x80));
      continue;
    }
    if (C >= 0xD800 && C <= 0xDBFF && I + 1 < S.size() && S[I + 1] >= 0xDC00 && S[I + 1] <= 0xDFFF)
      ++I; // one '?' for the whole pair
    auto It = std::lower_bound(Rev.begin(), Rev.end(), std::make_pair(std::uint16_t(C), std::uint16_t(0)));
    if (It != Rev.end() && It->first == C) {
      R.push_back(static_cast<char>(It->second >> 8));
      R.push_back(static_cast<char>(It->second & 0xFF));
    } else {
      R.push_back('?');
    }
  }
  return R;
}

void SetAnsiDecoder(TAnsiDecoder Decoder) { GAnsiDecoder.store(Decoder); }

std::u16string AnsiToUtf16(std::string_view S) {
  if (TAnsiDecoder D = GAnsiDecoder.load()) return D(S);
  return Cp936ToUtf16(S);
}

std::string Utf16ToAnsi(std::u16string_view S) { return Utf16ToCp936(S); }

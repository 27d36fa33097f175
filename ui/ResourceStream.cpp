#include "ui/ResourceStream.h"

#include "ui/Classes.h"
#include "ui/UiText.h"

namespace {

bool SameText(const wchar_t* A, const std::wstring& B) {
  return TComponent::FoldName(A) == TComponent::FoldName(B);
}

LPCWSTR IdOrName(const std::wstring& S) {
  // "#123" names an integer identifier.
  if (S.size() > 1 && S[0] == L'#') {
    unsigned long V = 0;
    for (size_t i = 1; i < S.size(); ++i) {
      if (S[i] < L'0' || S[i] > L'9' || V > 0xFFFF) return S.c_str();
      V = V * 10 + static_cast<unsigned long>(S[i] - L'0');
    }
    if (V <= 0xFFFF) return MAKEINTRESOURCEW(V);
  }
  return S.c_str();
}

struct TSearch {
  const std::wstring* Wanted;
  std::wstring Found;
};

BOOL CALLBACK NameProc(HMODULE, LPCWSTR, LPWSTR Name, LONG_PTR Param) {
  auto* S = reinterpret_cast<TSearch*>(Param);
  if (!IS_INTRESOURCE(Name) && SameText(Name, *S->Wanted)) {
    S->Found = Name;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK TypeProc(HMODULE, LPWSTR Type, LONG_PTR Param) {
  auto* S = reinterpret_cast<TSearch*>(Param);
  if (!IS_INTRESOURCE(Type) && SameText(Type, *S->Wanted)) {
    S->Found = Type;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HRSRC FindResourceNoCase(HINSTANCE Instance, const std::wstring& Name, const std::wstring& Type) {
  LPCWSTR N = IdOrName(Name), T = IdOrName(Type);
  if (HRSRC R = FindResourceW(Instance, N, T)) return R;
  // The system folds case on its own; a resource compiler that kept the
  // original spelling is matched by looking through the names.
  std::wstring ExactType = Type;
  if (!IS_INTRESOURCE(T)) {
    TSearch S{&Type, {}};
    EnumResourceTypesW(Instance, TypeProc, reinterpret_cast<LONG_PTR>(&S));
    if (!S.Found.empty()) ExactType = S.Found;
  }
  LPCWSTR ET = IS_INTRESOURCE(T) ? T : ExactType.c_str();
  if (IS_INTRESOURCE(N)) return FindResourceW(Instance, N, ET);
  TSearch S{&Name, {}};
  EnumResourceNamesW(Instance, ET, NameProc, reinterpret_cast<LONG_PTR>(&S));
  if (S.Found.empty()) return nullptr;
  return FindResourceW(Instance, S.Found.c_str(), ET);
}

bool ResourceExists(HINSTANCE Instance, const std::wstring& Name, const std::wstring& Type) {
  return FindResourceNoCase(Instance, Name, Type) != nullptr;
}

TResourceStream::TResourceStream(HINSTANCE Instance, const std::wstring& Name, const std::wstring& Type) {
  HRSRC R = FindResourceNoCase(Instance, Name, Type);
  if (!R) throw EResNotFound("Resource " + WideToUtf8(Name) + " not found");
  HGLOBAL G = LoadResource(Instance, R);
  const void* P = G ? LockResource(G) : nullptr;
  if (!P) throw EResNotFound("Resource " + WideToUtf8(Name) + " cannot be loaded");
  SetPointer(P, SizeofResource(Instance, R));
}

TResourceStream::TResourceStream(HINSTANCE Instance, const std::wstring& Name, const wchar_t* Type)
    : TResourceStream(Instance, Name, std::wstring(Type)) {}

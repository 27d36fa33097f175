// A read-only stream over a resource of a module. Names and types are matched
// without regard to case ("3dbuilder" finds "3DBUILDER"); "#123" names an
// integer identifier.
#pragma once
#include <windows.h>

#include <string>

#include "base/Stream.h"

class TResourceStream : public TPointerStream {
public:
  // EResNotFound (see ui/Classes.h) when the resource does not exist.
  TResourceStream(HINSTANCE Instance, const std::wstring& Name, const std::wstring& Type);
  TResourceStream(HINSTANCE Instance, const std::wstring& Name, const wchar_t* Type);
};

// FindResourceW that also matches names and types spelled in another case.
HRSRC FindResourceNoCase(HINSTANCE Instance, const std::wstring& Name, const std::wstring& Type);
// Whether the resource exists.
bool ResourceExists(HINSTANCE Instance, const std::wstring& Name, const std::wstring& Type);

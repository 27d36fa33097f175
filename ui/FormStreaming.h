// Reading component trees from descriptions and writing them back.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "ui/Classes.h"
#include "ui/FormText.h"

// Gives DefineProperty readers the value being read.
class TReader {
public:
  explicit TReader(const TFormValue& Value) : FValue(Value) {}
  std::wstring ReadString() const;   // a string value
  std::int64_t ReadInteger() const;  // an integer value
  bool ReadBoolean() const;          // true or false
  std::wstring ReadIdent() const;    // an identifier
  std::vector<std::wstring> ReadLines() const;
  const TFormValue& Value() const { return FValue; }

private:
  const TFormValue& FValue;
};

// Collects the value a DefineProperty writer produces.
class TWriter {
public:
  void WriteString(const std::wstring& Value);
  void WriteInteger(std::int64_t Value);
  void WriteBoolean(bool Value);
  void WriteIdent(const std::wstring& Value);
  void WriteLines(const std::vector<std::wstring>& Value);
  const TFormValue& Value() const { return FValue; }
  bool Written() const { return FWritten; }

private:
  TFormValue FValue;
  bool FWritten = false;
};

// Builds Root's components from a parsed description: creates each component
// by registered class name in stored order (owner Root, parent the enclosing
// component), fills registered fields, sets properties in stored order through
// their setters, binds events to Root's registered methods, resolves
// component references, then calls Loaded on every component read (Root last).
// The description's root class must be Root's class. EFormError on any fault.
void ReadComponentTree(TComponent* Root, const TFormObject& Description);
void ReadComponentFromText(TComponent* Root, std::string_view Text);
// The resource of type "FORMTEXT" named ResName; false when there is none.
bool ReadComponentResource(TComponent* Root, HINSTANCE Instance, const std::wstring& ResName);

// Root and the components it nests, with every stored property that differs
// from its default.
TFormObject WriteComponentTree(TComponent* Root);
std::string WriteComponentToText(TComponent* Root);

// Registers the framework's own component classes (labels, buttons, menus...).
// The reader calls it before its first use.
void RegisterStandardClasses();

// Runs the program's update check once, against the real descriptor address,
// and writes what it found as one JSON line (to the file named by the first
// argument, else to standard output) for the end-to-end tests.
#include <windows.h>

#include <cstdio>
#include <string>

#include "uCommonFunc.h"
#include "uUpdate.h"

using namespace cb;

static std::string Json(const std::u16string& s) {
  std::string out = "\"";
  std::wstring w(s.begin(), s.end());
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), utf8.data(), n, nullptr, nullptr);
  for (char c : utf8) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
      continue;
    }
    out += c;
  }
  return out + "\"";
}

int wmain(int argc, wchar_t** argv) {
  TUrlUpdate update(2, u'&');
  const auto& c = update.RemoteContent();
  std::string detail = "[";
  for (int i = 0; i < c.Detail->Count(); ++i) detail += (i ? "," : "") + Json((*c.Detail)[i]);
  detail += "]";
  DWORD left = GetFileAttributesW(W(DescriptorTempPath()));
  FILE* out = stdout;
  if (argc > 1 && _wfopen_s(&out, argv[1], L"wb") != 0) return 2;
  fprintf(out, "{\"has_net\": %s, \"l_ver\": %s, \"n_ver\": %s, \"d_url\": %s, \"detail\": %s, \"need_update\": %s, "
         "\"descriptor_left\": %s}\n",
         update.IsHasNet() ? "true" : "false", Json(update.L_Ver()).c_str(), Json(c.N_Ver).c_str(),
         Json(c.D_Url).c_str(), detail.c_str(), update.IsNeedUpdate() ? "true" : "false",
         left == INVALID_FILE_ATTRIBUTES ? "false" : "true");
  if (out != stdout) fclose(out);
  return 0;
}

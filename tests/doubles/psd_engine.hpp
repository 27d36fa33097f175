#pragma once
// What the double does with one command line: the host's own parameters
// (-Command, -File, -ExecutionPolicy, ...), then the PowerShell text, against
// the package store. Platform services come through Host so that all of it is
// tested natively.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "psd_store.hpp"

namespace cb::test::psd {

enum class ReadStatus { Ok, NotFound, SharingViolation, AccessDenied, Failed };

struct FileRead {
  ReadStatus status = ReadStatus::Failed;
  std::string bytes;
  std::string error;  // system message when status is Failed
};

class Host {
 public:
  virtual ~Host() = default;
  virtual Store loadStore() = 0;  // a consistent snapshot
  // Runs change on the current store under the store's lock and saves it.
  virtual void updateStore(const std::function<void(Store&)>& change) = 0;
  virtual bool isFile(const std::string& path) = 0;
  // Opens as a .NET FileStream(path, Open, Read) does: read access, sharing read only.
  virtual FileRead readFile(const std::string& path) = 0;
  virtual std::string currentDirectory() = 0;
  virtual void sleepMs(int ms) = 0;
  virtual void writeOut(std::string_view text) = 0;
  virtual void writeErr(std::string_view text) = 0;
};

struct ScriptRecord {
  std::string path;
  std::string status;  // "read", "not_found", "refused", "sharing_violation", "access_denied", "failed"
  std::string bytes;   // what was read, unchanged
};

struct Outcome {
  std::string mode = "none";  // "command", "file", "none"
  std::string commandText;    // the PowerShell text run with -Command (explicit or implied)
  // "set-policy", "script", "deprovision", "remove", "register", "query", "other"
  std::string kind = "other";
  std::string policyBefore, policyAfter;
  std::vector<ScriptRecord> scripts;
  std::vector<std::string> removed, registered, deprovisioned, errors;
  bool allUsers = false;  // Remove-AppxPackage was given -AllUsers
  int exitCode = 0;
};

// Exit code PowerShell gives for a bad command line or a missing -File script.
constexpr int kBadCommandLine = -196608;

Outcome run(const std::vector<std::string>& argv, Host& host);

// The policy name as PowerShell spells it, or empty when the name is none of them.
std::string canonicalPolicy(std::string_view name);

}  // namespace cb::test::psd

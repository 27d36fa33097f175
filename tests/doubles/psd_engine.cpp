#include "psd_engine.hpp"

#include <cctype>
#include <cstdlib>
#include <map>
#include <optional>
#include <stdexcept>

#include "psd_lexer.hpp"
#include "psd_wildcard.hpp"

namespace cb::test::psd {

namespace {

constexpr int kMaxDepth = 100;

// A terminating error of one statement: it stops that pipeline only.
struct StatementError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

bool iendsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && iequals(s.substr(s.size() - suffix.size()), suffix);
}

std::string notRecognized(const std::string& prefix, const std::string& name) {
  return prefix + " : The term '" + name +
         "' is not recognized as the name of a cmdlet, function, script file, or operable program. Check the "
         "spelling of the name, or if a path was included, verify that the path is correct and try again.";
}

// Pkg is a package as Get-AppxPackage gives it, Prov a provisioned package as
// Get-AppxProvisionedPackage gives it; both carry the store's package.
struct Value {
  enum Kind { Null, Str, Bool, Pkg, Prov, Block } kind = Null;
  std::string s;
  bool b = false;
  Package pkg;

  static Value str(std::string v) {
    Value x;
    x.kind = Str;
    x.s = std::move(v);
    return x;
  }
  static Value boolean(bool v) {
    Value x;
    x.kind = Bool;
    x.b = v;
    return x;
  }
  std::string display() const {
    switch (kind) {
      case Str:
      case Block: return s;
      case Bool: return b ? "True" : "False";
      case Pkg:
      case Prov: return pkg.fullName;
      case Null: break;
    }
    return {};
  }
};

struct ParamDef {
  const char* name;
  bool isSwitch;
  int position;  // -1: named only
};

enum class Cmdlet {
  SetPolicy, GetPolicy, GetPackage, RemovePackage, AddPackage, GetProvisioned, RemoveProvisioned, Where, ForEach
};

// Where-Object's comparison switches; the double runs -Like only, the others
// are known so that using one is refused by name.
constexpr const char* kWhereOperators[] = {
    "EQ", "CEQ", "NE", "CNE", "GT", "CGT", "LT", "CLT", "GE", "CGE", "LE", "CLE", "Like", "CLike", "NotLike",
    "CNotLike", "Match", "CMatch", "NotMatch", "CNotMatch", "Contains", "CContains", "NotContains", "CNotContains",
    "In", "CIn", "NotIn", "CNotIn", "Is", "IsNot"};

std::vector<ParamDef> whereParams() {
  std::vector<ParamDef> v = {{"Property", false, 0}, {"Value", false, 1}, {"FilterScript", false, -1},
                             {"InputObject", false, -1}, {"ErrorAction", false, -1}, {"Verbose", true, -1},
                             {"Debug", true, -1}};
  for (const char* op : kWhereOperators) v.push_back({op, true, -1});
  return v;
}

struct CmdletDef {
  Cmdlet id;
  const char* name;
  std::vector<ParamDef> params;
};

const std::vector<CmdletDef>& cmdlets() {
  static const std::vector<CmdletDef> all = {
      {Cmdlet::SetPolicy, "Set-ExecutionPolicy",
       {{"ExecutionPolicy", false, 0}, {"Scope", false, 1}, {"Force", true, -1}, {"Confirm", true, -1},
        {"WhatIf", true, -1}, {"ErrorAction", false, -1}, {"Verbose", true, -1}, {"Debug", true, -1}}},
      {Cmdlet::GetPolicy, "Get-ExecutionPolicy",
       {{"Scope", false, 0}, {"List", true, -1}, {"ErrorAction", false, -1}, {"Verbose", true, -1}, {"Debug", true, -1}}},
      {Cmdlet::GetPackage, "Get-AppxPackage",
       {{"Name", false, 0}, {"Publisher", false, 1}, {"AllUsers", true, -1}, {"User", false, -1},
        {"PackageTypeFilter", false, -1}, {"Volume", false, -1}, {"ErrorAction", false, -1}, {"Verbose", true, -1},
        {"Debug", true, -1}}},
      {Cmdlet::RemovePackage, "Remove-AppxPackage",
       {{"Package", false, 0}, {"AllUsers", true, -1}, {"PreserveApplicationData", true, -1}, {"User", false, -1},
        {"Confirm", true, -1}, {"WhatIf", true, -1}, {"ErrorAction", false, -1}, {"Verbose", true, -1},
        {"Debug", true, -1}}},
      {Cmdlet::AddPackage, "Add-AppxPackage",
       {{"Path", false, 0}, {"Register", true, -1}, {"DisableDevelopmentMode", true, -1},
        {"ForceApplicationShutdown", true, -1}, {"Confirm", true, -1}, {"WhatIf", true, -1},
        {"ErrorAction", false, -1}, {"Verbose", true, -1}, {"Debug", true, -1}}},
      {Cmdlet::GetProvisioned, "Get-AppxProvisionedPackage",
       {{"Online", true, -1}, {"Path", false, -1}, {"WindowsDirectory", false, -1}, {"SystemDrive", false, -1},
        {"LogPath", false, -1}, {"ScratchDirectory", false, -1}, {"LogLevel", false, -1},
        {"ErrorAction", false, -1}, {"Verbose", true, -1}, {"Debug", true, -1}}},
      {Cmdlet::RemoveProvisioned, "Remove-AppxProvisionedPackage",
       {{"Online", true, -1}, {"PackageName", false, -1}, {"AllUsers", true, -1}, {"Path", false, -1},
        {"WindowsDirectory", false, -1}, {"SystemDrive", false, -1}, {"LogPath", false, -1},
        {"ScratchDirectory", false, -1}, {"LogLevel", false, -1}, {"ErrorAction", false, -1},
        {"Verbose", true, -1}, {"Debug", true, -1}}},
      {Cmdlet::Where, "Where-Object", whereParams()},
      {Cmdlet::ForEach, "ForEach-Object",
       {{"Process", false, 0}, {"Begin", false, -1}, {"End", false, -1}, {"ErrorAction", false, -1},
        {"Verbose", true, -1}, {"Debug", true, -1}}},
  };
  return all;
}

const CmdletDef* findCmdlet(std::string_view name) {
  if (iequals(name, "foreach") || name == "%") name = "ForEach-Object";
  if (iequals(name, "where") || name == "?") name = "Where-Object";
  for (const CmdletDef& c : cmdlets()) {
    if (iequals(name, c.name)) return &c;
  }
  return nullptr;
}

struct Bound {
  std::map<std::string, Value> values;
  bool has(const std::string& k) const { return values.count(k) != 0; }
  const Value* get(const std::string& k) const {
    auto it = values.find(k);
    return it == values.end() ? nullptr : &it->second;
  }
  bool flag(const std::string& k) const {
    const Value* v = get(k);
    return v && v->kind == Value::Bool && v->b;
  }
};

// A Where-Object test, checked before the pipeline runs: the script block
// { $_.PackageUserInformation.InstallState -contains '<state>' } or, for
// provisioned packages, the simplified DisplayName -Like <pattern>.
struct WhereFilter {
  bool installState = false;
  std::string property;
  std::string operand;  // the state or the pattern
};

// One pipeline element, resolved and bound before anything in the pipeline runs.
struct Prepared {
  enum Kind { Cmd, Script, Output } kind = Cmd;
  const CmdletDef* def = nullptr;
  Bound bound;
  std::string path;     // Script: the full path
  std::string invoker;  // Script: "&" or the name as typed, for messages
  Value output;         // Output: the expression's value
  WhereFilter where;    // Cmd: Where-Object's test
};

std::optional<std::vector<unsigned char>> base64Decode(std::string_view s) {
  std::vector<unsigned char> out;
  unsigned buffer = 0;
  int bits = 0;
  for (char c : s) {
    int v;
    if (c >= 'A' && c <= 'Z') v = c - 'A';
    else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
    else if (c >= '0' && c <= '9') v = c - '0' + 52;
    else if (c == '+') v = 62;
    else if (c == '/') v = 63;
    else if (c == '=') break;
    else return std::nullopt;
    buffer = (buffer << 6) | unsigned(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<unsigned char>(buffer >> bits));
    }
  }
  return out;
}

class Interpreter {
 public:
  Interpreter(Host& host, Outcome& out, std::string processPolicy)
      : host_(host), out_(out), processPolicy_(std::move(processPolicy)) {}

  // Runs a -Command text; answers whether its last statement reported an error.
  bool runCommandText(std::string_view text) {
    std::vector<Pipeline> statements;
    try {
      statements = parseStatements(text);
    } catch (const ParseError& e) {
      report(e.what());
      return true;
    }
    bool last = false;
    for (const Pipeline& p : statements) last = runPipeline(p, nullptr, 0);
    return last;
  }

  // Runs a -File script; throws StatementError when the script cannot run at all.
  void runFile(const std::string& path) { runScript(path, path, 0); }

  void report(const std::string& message) {
    ++errorCount_;
    out_.errors.push_back(message);
    host_.writeErr(message + "\r\n");
  }

  bool usedSetPolicy = false, usedGetPolicy = false, usedGetPackage = false, usedRemove = false, usedRegister = false,
       usedGetProvisioned = false, usedDeprovision = false;

  std::string resolvePath(std::string_view p) {
    if (p.size() >= 2 && ((p[0] >= 'a' && p[0] <= 'z') || (p[0] >= 'A' && p[0] <= 'Z')) && p[1] == ':') {
      return std::string(p);
    }
    if (p.substr(0, 2) == "\\\\" || p.substr(0, 2) == "//") return std::string(p);
    std::string cwd = host_.currentDirectory();
    if (!p.empty() && (p[0] == '\\' || p[0] == '/')) return cwd.substr(0, 2) + std::string(p);
    if (p.substr(0, 2) == ".\\" || p.substr(0, 2) == "./") p.remove_prefix(2);
    if (!cwd.empty() && cwd.back() != '\\' && cwd.back() != '/') cwd += '\\';
    return cwd + std::string(p);
  }

 private:
  std::string effectivePolicy() {
    if (!processPolicy_.empty()) return processPolicy_;
    const std::string canon = canonicalPolicy(host_.loadStore().executionPolicy);
    return canon.empty() ? "Restricted" : canon;
  }

  Value variable(std::string_view name, const Value* under) {
    if (iequals(name, "_") || iequals(name, "PSItem")) return under ? *under : Value{};
    if (iequals(name, "true")) return Value::boolean(true);
    if (iequals(name, "false")) return Value::boolean(false);
    return Value{};  // undefined variables are $null
  }

  // The property of a package object, or nothing when the double does not know it.
  static std::optional<std::string> property(const Value* under, std::string_view prop) {
    if (under && under->kind == Value::Pkg) {
      if (iequals(prop, "InstallLocation")) return under->pkg.installLocation;
      if (iequals(prop, "PackageFullName")) return under->pkg.fullName;
      if (iequals(prop, "Name")) return under->pkg.name();
    } else if (under && under->kind == Value::Prov) {
      if (iequals(prop, "DisplayName")) return under->pkg.name();
      if (iequals(prop, "PackageName")) return under->pkg.fullName;
    }
    return std::nullopt;
  }

  static const char* knownProperties(const Value& v) {
    return v.kind == Value::Prov ? "DisplayName and PackageName" : "Name, PackageFullName and InstallLocation";
  }

  std::string expandPart(std::string_view part, const Value* under) {
    if (part.empty() || part.front() != '(') return variable(part, under).display();
    std::string_view inner = part.substr(1, part.size() - 2);
    while (!inner.empty() && (inner.front() == ' ' || inner.front() == '\t')) inner.remove_prefix(1);
    while (!inner.empty() && (inner.back() == ' ' || inner.back() == '\t')) inner.remove_suffix(1);
    if (inner.size() > 1 && inner[0] == '$') {
      std::string_view rest = inner.substr(1);
      const size_t dot = rest.find('.');
      const std::string_view var = rest.substr(0, dot);
      bool simple = !var.empty();
      for (char c : var) simple = simple && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
      if (simple) {
        if (dot == std::string_view::npos) return variable(var, under).display();
        const Value v = variable(var, under);
        return property(&v, rest.substr(dot + 1)).value_or(std::string());
      }
    }
    throw StatementError("The double does not support the subexpression $" + std::string(part) + ".");
  }

  Value eval(const Token& t, const Value* under) {
    switch (t.type) {
      case TokenType::Word:
      case TokenType::SingleQuoted: return Value::str(t.text);
      case TokenType::DoubleQuoted:
        try {
          return Value::str(expandString(t.text, [&](std::string_view part) { return expandPart(part, under); }));
        } catch (const ParseError& e) {
          throw StatementError(e.what());
        }
      case TokenType::Variable:
        if (!t.members.empty()) {
          throw StatementError("The double reads $" + t.text + "." + t.members[0] +
                               " only in a Where-Object script block.");
        }
        return variable(t.text, under);
      case TokenType::ScriptBlock: {
        Value v;
        v.kind = Value::Block;
        v.s = t.text;
        return v;
      }
      case TokenType::Parameter: return Value::str("-" + t.text);
      default: break;
    }
    return Value{};
  }

  const ParamDef& resolveParam(const CmdletDef& def, const std::string& name) {
    std::vector<const ParamDef*> hits;
    for (const ParamDef& p : def.params) {
      if (iequals(p.name, name)) return p;
      if (name.size() < std::char_traits<char>::length(p.name) && iequals(std::string_view(p.name).substr(0, name.size()), name)) {
        hits.push_back(&p);
      }
    }
    if (hits.size() == 1) return *hits[0];
    if (hits.empty()) {
      throw StatementError(std::string(def.name) + " : A parameter cannot be found that matches parameter name '" +
                           name + "'.");
    }
    std::string list;
    for (const ParamDef* p : hits) list += std::string(list.empty() ? "" : " ") + "-" + p->name;
    throw StatementError(std::string(def.name) + " : Parameter cannot be processed because the parameter name '" +
                         name + "' is ambiguous. Possible matches include: " + list + ".");
  }

  Bound bind(const CmdletDef& def, const CommandCall& call, const Value* under) {
    Bound b;
    std::vector<Value> positional;
    const auto& el = call.elements;
    for (size_t k = 1; k < el.size(); ++k) {
      const Element& e = el[k];
      if (e.token.type != TokenType::Parameter) {
        positional.push_back(eval(e.token, under));
        continue;
      }
      const ParamDef& p = resolveParam(def, e.token.text);
      if (b.has(p.name)) {
        throw StatementError(std::string(def.name) + " : Cannot bind parameter because parameter '" + p.name +
                             "' is specified more than once.");
      }
      if (p.isSwitch) {
        bool on = true;
        if (e.hasColonValue) {
          const Value v = eval(e.colonValue, under);
          if (v.kind == Value::Bool) on = v.b;
          else if (v.kind == Value::Null || (v.kind == Value::Str && v.s == "0")) on = false;
          else if (v.kind == Value::Str && v.s == "1") on = true;
          else
            throw StatementError(std::string(def.name) + " : Cannot convert '" + v.display() +
                                 "' to the type 'System.Management.Automation.SwitchParameter' required by parameter '" +
                                 p.name + "'.");
        }
        b.values[p.name] = Value::boolean(on);
      } else if (e.hasColonValue) {
        b.values[p.name] = eval(e.colonValue, under);
      } else if (k + 1 < el.size() && el[k + 1].token.type != TokenType::Parameter) {
        b.values[p.name] = eval(el[++k].token, under);
      } else {
        throw StatementError(std::string(def.name) + " : Missing an argument for parameter '" + p.name +
                             "'. Specify a parameter of type 'System.String' and try again.");
      }
    }
    for (Value& v : positional) {
      const ParamDef* target = nullptr;
      for (const ParamDef& p : def.params) {
        if (p.position >= 0 && !b.has(p.name) && (!target || p.position < target->position)) target = &p;
      }
      if (!target) {
        throw StatementError(std::string(def.name) + " : A positional parameter cannot be found that accepts argument '" +
                             v.display() + "'.");
      }
      b.values[target->name] = std::move(v);
    }
    return b;
  }

  Prepared prepare(const CommandCall& call, bool first, const Value* under) {
    Prepared p;
    const Token& head = call.elements[0].token;
    if (!call.callOperator && head.type != TokenType::Word && head.type != TokenType::Parameter) {
      // A quoted string or variable on its own is an expression: PowerShell prints it.
      if (!first) throw StatementError("Expressions are only allowed as the first element of a pipeline.");
      if (call.elements.size() > 1) {
        throw StatementError("Unexpected token '" + eval(call.elements[1].token, under).display() +
                             "' in expression or statement.");
      }
      p.kind = Prepared::Output;
      p.output = eval(head, under);
      return p;
    }
    const std::string name = eval(head, under).display();
    if (head.type == TokenType::Parameter) throw StatementError(notRecognized(name, name));
    if (const CmdletDef* def = findCmdlet(name)) {
      p.def = def;
      p.bound = bind(*def, call, under);
      if (def->id == Cmdlet::Where) p.where = compileWhere(p.bound);
      return p;
    }
    if (name.find('\\') != std::string::npos || name.find('/') != std::string::npos) {
      const std::string full = resolvePath(name);
      if (host_.isFile(full)) {
        if (!iendsWith(full, ".ps1")) throw StatementError("The double runs only .ps1 scripts, not " + full + ".");
        p.kind = Prepared::Script;
        p.path = full;
        p.invoker = call.callOperator ? "&" : name;
        return p;
      }
    }
    throw StatementError(notRecognized(call.callOperator ? "&" : name, name));
  }

  bool runPipeline(const Pipeline& pipeline, const Value* under, int depth) {
    const size_t before = errorCount_;
    try {
      std::vector<Prepared> stages;
      for (size_t i = 0; i < pipeline.size(); ++i) stages.push_back(prepare(pipeline[i], i == 0, under));
      failQueryIfTold(stages);
      std::vector<Value> stream;
      for (const Prepared& st : stages) stream = execute(st, std::move(stream), depth);
      for (const Value& v : stream) host_.writeOut(v.display() + "\r\n");
    } catch (const StatementError& e) {
      report(e.what());
    }
    return errorCount_ > before;
  }

  std::vector<Value> execute(const Prepared& st, std::vector<Value> input, int depth) {
    switch (st.kind) {
      case Prepared::Output: return {st.output};
      case Prepared::Script: runScript(st.path, st.invoker, depth); return {};
      case Prepared::Cmd: break;
    }
    const Bound& b = st.bound;
    switch (st.def->id) {
      case Cmdlet::SetPolicy: setPolicy(b); return {};
      case Cmdlet::GetPolicy: {
        usedGetPolicy = true;
        if (const Value* scope = b.get("Scope"); (scope && !iequals(scope->display(), "LocalMachine")) || b.flag("List")) {
          throw StatementError("Get-ExecutionPolicy : The double knows only the LocalMachine scope.");
        }
        if (b.has("Scope")) {
          const std::string canon = canonicalPolicy(host_.loadStore().executionPolicy);
          return {Value::str(canon.empty() ? "Undefined" : canon)};
        }
        return {Value::str(effectivePolicy())};
      }
      case Cmdlet::GetPackage: return getPackages(b);
      case Cmdlet::RemovePackage: removePackages(b, input); return {};
      case Cmdlet::AddPackage: addPackage(b); return {};
      case Cmdlet::GetProvisioned: return getProvisioned(b);
      case Cmdlet::RemoveProvisioned: deprovision(b, input); return {};
      case Cmdlet::Where: {
        std::vector<Value> output;
        for (Value& item : input) {
          if (passes(st.where, item)) output.push_back(std::move(item));
        }
        return output;
      }
      case Cmdlet::ForEach: {
        const Value* block = b.get("Process");
        if (block && block->kind == Value::Str && !b.has("Begin") && !b.has("End")) {
          // ForEach-Object <MemberName>: each input's property.
          std::vector<Value> output;
          for (const Value& item : input) {
            if (item.kind != Value::Pkg && item.kind != Value::Prov) continue;
            std::optional<std::string> v = property(&item, block->s);
            if (!v) {
              throw StatementError(std::string("ForEach-Object : The double knows the properties ") +
                                   knownProperties(item) + ", not " + block->s + ".");
            }
            output.push_back(Value::str(std::move(*v)));
          }
          return output;
        }
        if (!block || block->kind != Value::Block || b.has("Begin") || b.has("End")) {
          throw StatementError("ForEach-Object : The double supports a single process script block only.");
        }
        std::vector<Pipeline> body;
        try {
          body = parseStatements(block->s);
        } catch (const ParseError& e) {
          throw StatementError(e.what());
        }
        std::vector<Value> output;
        for (const Value& item : input) {
          for (const Pipeline& p : body) runPipeline(p, &item, depth + 1);
        }
        return output;
      }
    }
    return {};
  }

  WhereFilter compileWhere(const Bound& b) {
    const Value* prop = b.get("Property");
    const Value* script = b.get("FilterScript");
    if (prop && prop->kind == Value::Block && !script) std::swap(prop, script);
    std::vector<std::string> ops;
    for (const char* op : kWhereOperators) {
      if (b.has(op)) ops.push_back(op);
    }
    if (b.has("InputObject")) throw StatementError("Where-Object : The double filters pipeline input only.");
    WhereFilter f;
    if (script) {
      if (script->kind != Value::Block || prop || b.has("Value") || !ops.empty()) {
        throw StatementError("Where-Object : Parameter set cannot be resolved using the specified named parameters.");
      }
      f.installState = true;
      f.operand = installStateTest(script->s);
      return f;
    }
    if (!prop || prop->kind != Value::Str) {
      throw StatementError("Where-Object : The double needs a property name or a script block.");
    }
    if (ops.size() != 1 || ops[0] != "Like" || !b.flag("Like")) {
      throw StatementError("Where-Object : The double compares a property with -Like only" +
                           (ops.empty() ? std::string() : ", not with -" + ops[0]) + ".");
    }
    const Value* pattern = b.get("Value");
    if (!pattern || pattern->kind != Value::Str) {
      throw StatementError("Where-Object : The double needs a pattern after -Like.");
    }
    if (!iequals(prop->s, "DisplayName") && !iequals(prop->s, "PackageName")) {
      throw StatementError("Where-Object : The double compares the DisplayName or PackageName of a provisioned "
                           "package, not " + prop->s + ".");
    }
    try {
      wildcardMatch(pattern->s, "");  // the whole pattern is compiled, so a bad one fails here
    } catch (const WildcardError& e) {
      throw StatementError(std::string("Where-Object : ") + e.what());
    }
    f.property = prop->s;
    f.operand = pattern->s;
    return f;
  }

  // The one script block the double runs in Where-Object; answers the state it
  // looks for. A package's PackageUserInformation is a record per user, so
  // .InstallState is a list and -contains asks whether any user has that state.
  static std::string installStateTest(const std::string& text) {
    std::vector<Token> t;
    try {
      t = tokenize(text);
    } catch (const ParseError& e) {
      throw StatementError(e.what());
    }
    while (!t.empty() && t.front().type == TokenType::EndOfStatement) t.erase(t.begin());
    while (!t.empty() && t.back().type == TokenType::EndOfStatement) t.pop_back();
    const bool ok = t.size() == 3 && t[0].type == TokenType::Variable &&
                    (iequals(t[0].text, "_") || iequals(t[0].text, "PSItem")) && t[0].members.size() == 2 &&
                    iequals(t[0].members[0], "PackageUserInformation") && iequals(t[0].members[1], "InstallState") &&
                    t[1].type == TokenType::Parameter && !t[1].colon && iequals(t[1].text, "contains") &&
                    (t[2].type == TokenType::SingleQuoted ||
                     (t[2].type == TokenType::DoubleQuoted && t[2].text.find_first_of("$`\"") == std::string::npos));
    if (!ok) {
      throw StatementError("Where-Object : The double runs the script block { $_.PackageUserInformation.InstallState "
                           "-contains '<state>' } only, not {" + text + "}.");
    }
    return t[2].text;
  }

  static bool passes(const WhereFilter& f, const Value& item) {
    if (f.installState) {
      if (item.kind != Value::Pkg) return false;  // anything else has no such member: $null
      return iequals(f.operand, item.pkg.installedForAnyone() ? "Installed" : "Staged");
    }
    if (item.kind != Value::Prov) {
      throw StatementError("Where-Object : The double compares properties of provisioned packages only.");
    }
    return wildcardMatch(f.operand, property(&item, f.property).value_or(std::string()));
  }

  // The program's query of the current user's packages, when the store says
  // it is to fail: as when the deployment service cannot be reached.
  void failQueryIfTold(const std::vector<Prepared>& stages) {
    if (stages.empty() || stages[0].kind != Prepared::Cmd || stages[0].def->id != Cmdlet::GetPackage ||
        stages[0].bound.flag("AllUsers")) {
      return;
    }
    for (const Prepared& st : stages) {
      if (st.kind == Prepared::Cmd && (st.def->id == Cmdlet::RemovePackage || st.def->id == Cmdlet::AddPackage)) return;
    }
    if (!host_.loadStore().queryFails) return;
    usedGetPackage = true;
    throw StatementError(
        "Get-AppxPackage : The service cannot be started, either because it is disabled or because it has no enabled "
        "devices associated with it. (Exception from HRESULT: 0x80070422)");
  }

  // The error of a removal or registration that the store makes fail with
  // Code: a plain Win32 error (access denied, file not found) comes inside the
  // deployment error, a deployment code (0x80073Cxx, 0x80073Dxx) is that error.
  enum class Operation { Remove, Register, Deprovision };
  static std::string deploymentFailure(const Package& p, const std::string& code, Operation op) {
    const bool removal = op != Operation::Register;
    const bool plain = code.size() == 10 && iequals(code.substr(0, 6), "0x8007") &&
                       std::strtoul(code.substr(6).c_str(), nullptr, 16) < 0x3C00;
    const std::string outer = plain ? (removal ? "0x80073CFA" : "0x80073CF6") : code;
    const std::string what = removal ? "Removal failed. Please contact your software vendor."
                                     : "Package could not be registered.";
    const char* name = op == Operation::Remove ? "Remove" : op == Operation::Register ? "Register" : "Deprovision";
    return "Deployment failed with HRESULT: " + outer + ", " + what + " (Exception from HRESULT: " + outer +
           ")\r\nerror " + code + ": AppX Deployment " + name + " operation on package " + p.fullName +
           " from: " + p.installLocation + " failed.";
  }

  void setPolicy(const Bound& b) {
    usedSetPolicy = true;
    const Value* v = b.get("ExecutionPolicy");
    if (!v) throw StatementError("Set-ExecutionPolicy : The double cannot prompt for the ExecutionPolicy parameter.");
    std::string canon = canonicalPolicy(v->display());
    if (canon.empty()) {
      throw StatementError("Set-ExecutionPolicy : Cannot bind parameter 'ExecutionPolicy'. Cannot convert value \"" +
                           v->display() +
                           "\" to type \"Microsoft.PowerShell.ExecutionPolicy\". Error: \"Unable to match the "
                           "identifier name " +
                           v->display() +
                           " to a valid enumerator name. Specify one of the following enumerator names and try "
                           "again: Unrestricted, RemoteSigned, AllSigned, Restricted, Default, Bypass, Undefined\"");
    }
    if (const Value* scope = b.get("Scope"); scope && !iequals(scope->display(), "LocalMachine")) {
      throw StatementError("Set-ExecutionPolicy : The double knows only the LocalMachine scope, not " +
                           scope->display() + ".");
    }
    if (canon == "Default") canon = "Restricted";  // what Default means on a client system
    if (b.flag("WhatIf")) {
      host_.writeOut("What if: Performing the operation \"Set-ExecutionPolicy\" on target \"" + canon + "\".\r\n");
      return;
    }
    host_.updateStore([&](Store& s) { s.executionPolicy = canon; });
  }

  std::vector<Value> getPackages(const Bound& b) {
    usedGetPackage = true;
    for (const char* unsupported : {"Publisher", "User", "PackageTypeFilter", "Volume"}) {
      if (b.has(unsupported)) {
        throw StatementError(std::string("Get-AppxPackage : The double does not support -") + unsupported + ".");
      }
    }
    const bool allUsers = b.flag("AllUsers");
    const Value* name = b.get("Name");
    std::vector<Value> out;
    const Store st = host_.loadStore();
    for (const Package& p : st.packages) {
      if (!allUsers && !p.currentUser) continue;
      if (name) {
        try {
          if (!wildcardMatch(name->display(), p.name())) continue;
        } catch (const WildcardError& e) {
          throw StatementError(std::string("Get-AppxPackage : ") + e.what());
        }
      }
      Value v;
      v.kind = Value::Pkg;
      v.pkg = p;
      out.push_back(std::move(v));
    }
    return out;
  }

  void removePackages(const Bound& b, const std::vector<Value>& input) {
    usedRemove = true;
    const bool allUsers = b.flag("AllUsers");
    if (allUsers) out_.allUsers = true;
    if (b.has("User")) {
      throw StatementError("Remove-AppxPackage : The double removes packages of the current user or of every user "
                           "(-AllUsers), not of a named user.");
    }
    std::vector<Value> items = input;
    if (const Value* v = b.get("Package")) items.push_back(*v);
    for (const Value& item : items) {
      if (item.kind != Value::Pkg && item.kind != Value::Str) {
        report("Remove-AppxPackage : The input object cannot be bound to any parameters for the command.");
        continue;
      }
      const std::string fullName = item.kind == Value::Pkg ? item.pkg.fullName : item.s;
      if (b.flag("WhatIf")) {
        host_.writeOut("What if: Performing the operation \"Remove-AppxPackage\" on target \"" + fullName + "\".\r\n");
        continue;
      }
      std::string failure;
      host_.updateStore([&](Store& s) {
        failure.clear();
        Package* p = s.find(fullName);
        if (!p || (!allUsers && !p->currentUser)) {
          failure = "Deployment failed with HRESULT: 0x80073CF1, Package was not found. (" + fullName + ")";
        } else if (!p->failure.empty()) {
          failure = deploymentFailure(*p, p->failure, Operation::Remove);
        } else if (p->unremovable) {
          failure =
              "Deployment failed with HRESULT: 0x80073CFA, Removal failed. Please contact your software vendor. "
              "(Exception from HRESULT: 0x80073CFA) error 0x80070032: AppX Deployment Remove operation on package " +
              fullName + " from: " + p->installLocation +
              " failed. This app is part of Windows and cannot be uninstalled on a per-user basis.";
        } else if (allUsers) {
          // Removed for everybody, an unprovisioned package is gone from the
          // machine; a provisioned one stays staged for new accounts.
          p->currentUser = p->otherUsers = false;
          s.dropIfUnused(fullName);
        } else {
          p->currentUser = false;
        }
      });
      if (failure.empty()) out_.removed.push_back(fullName);
      else report("Remove-AppxPackage : " + failure);
    }
  }

  static void refuseOffline(const Bound& b, const char* cmdlet) {
    for (const char* unsupported :
         {"Path", "WindowsDirectory", "SystemDrive", "LogPath", "ScratchDirectory", "LogLevel", "AllUsers"}) {
      if (b.has(unsupported)) {
        throw StatementError(std::string(cmdlet) + " : The double does not support -" + unsupported + ".");
      }
    }
    if (!b.flag("Online")) {
      throw StatementError(std::string(cmdlet) +
                           " : Parameter set cannot be resolved using the specified named parameters. The double "
                           "serves the running system only (-Online).");
    }
  }

  std::vector<Value> getProvisioned(const Bound& b) {
    usedGetProvisioned = true;
    refuseOffline(b, "Get-AppxProvisionedPackage");
    std::vector<Value> out;
    for (const Package& p : host_.loadStore().packages) {
      if (!p.provisioned) continue;
      Value v;
      v.kind = Value::Prov;
      v.pkg = p;
      out.push_back(std::move(v));
    }
    return out;
  }

  void deprovision(const Bound& b, const std::vector<Value>& input) {
    usedDeprovision = true;
    refuseOffline(b, "Remove-AppxProvisionedPackage");
    std::vector<std::string> names;
    for (const Value& item : input) {
      // PackageName binds by property name: only provisioned package objects carry it.
      if (item.kind != Value::Prov) {
        report("Remove-AppxProvisionedPackage : The input object cannot be bound to any parameters for the command "
               "either because the command does not take pipeline input or the input and its properties do not "
               "match any of the parameters that take pipeline input.");
        continue;
      }
      names.push_back(item.pkg.fullName);
    }
    if (const Value* v = b.get("PackageName")) names.push_back(v->display());
    for (const std::string& fullName : names) {
      std::string failure;
      host_.updateStore([&](Store& s) {
        failure.clear();
        Package* p = s.find(fullName);
        if (!p || !p->provisioned) {
          failure = "Deployment failed with HRESULT: 0x80073CF1, Package was not found. (" + fullName + ")";
        } else if (!p->failure.empty()) {
          failure = deploymentFailure(*p, p->failure, Operation::Deprovision);
        } else {
          p->provisioned = false;
          s.dropIfUnused(fullName);
        }
      });
      if (failure.empty()) out_.deprovisioned.push_back(fullName);
      else report("Remove-AppxProvisionedPackage : " + failure);
    }
  }

  void addPackage(const Bound& b) {
    usedRegister = true;
    if (!b.flag("Register")) {
      throw StatementError("Add-AppxPackage : The double registers installed manifests only (-Register).");
    }
    const Value* pathValue = b.get("Path");
    if (!pathValue) throw StatementError("Add-AppxPackage : The double cannot prompt for the Path parameter.");
    const std::string path = pathValue->display();
    static const std::string_view kManifest = "\\AppXManifest.xml";
    std::string location;
    if (iendsWith(path, kManifest)) location = path.substr(0, path.size() - kManifest.size());
    while (!location.empty() && location.back() == '\\') location.pop_back();
    if (b.flag("WhatIf")) {
      host_.writeOut("What if: Performing the operation \"Add-AppxPackage\" on target \"" + path + "\".\r\n");
      return;
    }
    std::string failure, registered;
    host_.updateStore([&](Store& s) {
      failure.clear();
      registered.clear();
      Package* hit = nullptr;
      for (Package& p : s.packages) {
        std::string loc = p.installLocation;
        while (!loc.empty() && loc.back() == '\\') loc.pop_back();
        if (!loc.empty() && iequals(loc, location)) {
          hit = &p;
          break;
        }
      }
      if (!hit) {
        failure = "Cannot find path '" + path + "' because it does not exist.";
      } else if (!hit->failure.empty()) {
        failure = deploymentFailure(*hit, hit->failure, Operation::Register);
      } else if (hit->broken) {
        failure = "Deployment failed with HRESULT: 0x80073CF6, Package could not be registered. (Exception from "
                  "HRESULT: 0x80073CF6) " + hit->fullName;
      } else {
        hit->currentUser = true;
        registered = hit->fullName;
      }
    });
    if (failure.empty()) out_.registered.push_back(registered);
    else report("Add-AppxPackage : " + failure);
  }

  void runScript(const std::string& path, const std::string& invoker, int depth) {
    if (depth >= kMaxDepth) throw StatementError("The script failed due to call depth overflow.");
    ScriptRecord rec;
    rec.path = path;
    const std::string policy = effectivePolicy();
    if (policy != "Unrestricted" && policy != "RemoteSigned" && policy != "Bypass") {
      rec.status = "refused";
      out_.scripts.push_back(rec);
      const std::string about =
          " For more information, see about_Execution_Policies at https:/go.microsoft.com/fwlink/?LinkID=135170.";
      if (policy == "AllSigned") {
        throw StatementError(invoker + " : File " + path + " cannot be loaded. The file " + path +
                             " is not digitally signed. You cannot run this script on the current system." + about);
      }
      throw StatementError(invoker + " : File " + path +
                           " cannot be loaded because running scripts is disabled on this system." + about);
    }
    const Store snapshot = host_.loadStore();
    host_.sleepMs(snapshot.delay("before_read"));
    FileRead r = host_.readFile(path);
    if (r.status == ReadStatus::Ok && r.bytes.size() > kMaxFileBytes) {
      r.status = ReadStatus::Failed;
      r.error = "The script file is too large.";
    }
    std::string message;
    switch (r.status) {
      case ReadStatus::Ok: rec.status = "read"; break;
      case ReadStatus::NotFound:
        rec.status = "not_found";
        message = "Could not find file '" + path + "'.";
        break;
      case ReadStatus::SharingViolation:
        rec.status = "sharing_violation";
        message = "The process cannot access the file '" + path + "' because it is being used by another process.";
        break;
      case ReadStatus::AccessDenied:
        rec.status = "access_denied";
        message = "Access to the path '" + path + "' is denied.";
        break;
      case ReadStatus::Failed:
        rec.status = "failed";
        message = r.error.empty() ? "The file '" + path + "' could not be read." : r.error;
        break;
    }
    rec.bytes = r.status == ReadStatus::Ok ? r.bytes : std::string();
    out_.scripts.push_back(rec);
    if (!message.empty()) throw StatementError(invoker + " : " + message);
    host_.sleepMs(snapshot.delay("after_read"));

    std::vector<Pipeline> statements;
    try {
      statements = parseStatements(decodeScriptBytes(r.bytes));
    } catch (const ParseError& e) {
      throw StatementError("At " + path + ": " + e.what());
    }
    for (const Pipeline& p : statements) runPipeline(p, nullptr, depth + 1);
  }

  Host& host_;
  Outcome& out_;
  std::string processPolicy_;
  size_t errorCount_ = 0;
};

struct HostParam {
  const char* name;
  std::vector<const char*> aliases;
  bool takesValue;
};

const std::vector<HostParam>& hostParams() {
  static const std::vector<HostParam> all = {
      {"Command", {"c"}, false},          {"File", {"f"}, true},
      {"ExecutionPolicy", {"ep", "ex"}, true}, {"EncodedCommand", {"e", "ec", "enc"}, true},
      {"NoProfile", {"nop"}, false},      {"NoLogo", {}, false},
      {"NonInteractive", {"noni"}, false}, {"NoExit", {}, false},
      {"WindowStyle", {"w"}, true},       {"InputFormat", {}, true},
      {"OutputFormat", {}, true},         {"Sta", {}, false},
      {"Mta", {}, false},                 {"Version", {"v"}, true},
      {"ConfigurationName", {}, true},
  };
  return all;
}

const HostParam* findHostParam(std::string_view name) {
  for (const HostParam& p : hostParams()) {
    if (iequals(p.name, name)) return &p;
    for (const char* a : p.aliases) {
      if (iequals(a, name)) return &p;
    }
  }
  const HostParam* hit = nullptr;
  for (const HostParam& p : hostParams()) {
    const std::string_view full = p.name;
    if (!name.empty() && name.size() < full.size() && iequals(full.substr(0, name.size()), name)) {
      if (hit) return nullptr;  // ambiguous
      hit = &p;
    }
  }
  return hit;
}

std::string join(const std::vector<std::string>& argv, size_t from) {
  std::string out;
  for (size_t i = from; i < argv.size(); ++i) {
    if (i > from) out += ' ';
    out += argv[i];
  }
  return out;
}

}  // namespace

std::string canonicalPolicy(std::string_view name) {
  for (const char* p : {"Unrestricted", "RemoteSigned", "AllSigned", "Restricted", "Default", "Bypass", "Undefined"}) {
    if (iequals(name, p)) return p;
  }
  return {};
}

Outcome run(const std::vector<std::string>& argv, Host& host) {
  Outcome out;
  try {
    out.policyBefore = host.loadStore().executionPolicy;
    std::string processPolicy, filePath;
    bool haveCommand = false, haveFile = false;
    auto fail = [&](const std::string& message, int code) {
      out.errors.push_back(message);
      host.writeErr(message + "\r\n");
      out.exitCode = code;
    };
    size_t i = 1;
    bool bad = false;
    while (i < argv.size() && !bad) {
      const std::string& a = argv[i];
      const HostParam* p = (a.size() > 1 && a[0] == '-') ? findHostParam(std::string_view(a).substr(1)) : nullptr;
      if (!p) {
        // Anything that is not one of the host's parameters starts the command text.
        haveCommand = true;
        out.commandText = join(argv, i);
        break;
      }
      const std::string name = p->name;
      if (name == "Command") {
        haveCommand = true;
        out.commandText = join(argv, i + 1);
        if (out.commandText == "-") {
          fail("The double does not read commands from standard input.", 1);
          bad = true;
        }
        break;
      }
      if (p->takesValue && i + 1 >= argv.size()) {
        fail("Missing the argument to the -" + name + " parameter.", kBadCommandLine);
        bad = true;
        break;
      }
      if (name == "File") {
        haveFile = true;
        filePath = argv[i + 1];
        break;
      }
      if (name == "ExecutionPolicy") {
        processPolicy = canonicalPolicy(argv[i + 1]);
        if (processPolicy.empty()) {
          fail("Invalid argument to the -ExecutionPolicy parameter: " + argv[i + 1], kBadCommandLine);
          bad = true;
          break;
        }
        if (processPolicy == "Default" || processPolicy == "Undefined") processPolicy.clear();
      } else if (name == "EncodedCommand") {
        const auto bytes = base64Decode(argv[i + 1]);
        if (!bytes || bytes->size() % 2) {
          fail("Cannot process the command because the value specified with -EncodedCommand is not properly "
               "encoded. The value must be Base64 encoded.",
               kBadCommandLine);
          bad = true;
          break;
        }
        haveCommand = true;
        out.commandText = utf16leToUtf8(std::string(bytes->begin(), bytes->end()));
      }
      i += p->takesValue ? 2 : 1;
    }

    Interpreter interp(host, out, processPolicy);
    if (bad) {
      // reported already
    } else if (haveFile) {
      out.mode = "file";
      const std::string full = interp.resolvePath(filePath);
      if (!host.isFile(full)) {
        fail("The argument '" + filePath +
                 "' to the -File parameter does not exist. Provide the path to an existing '.ps1' file as an "
                 "argument to the -File parameter.",
             kBadCommandLine);
      } else if (!iendsWith(full, ".ps1")) {
        fail("Processing -File '" + filePath +
                 "' failed because the file does not have a '.ps1' extension. Specify a valid Windows PowerShell "
                 "script file name, and then try again.",
             kBadCommandLine);
      } else {
        // Errors inside a -File script do not change the exit code; only a script that cannot run does.
        try {
          interp.runFile(full);
          out.exitCode = 0;
        } catch (const StatementError& e) {
          interp.report(e.what());
          out.exitCode = 1;
        }
      }
    } else if (haveCommand) {
      out.mode = "command";
      out.exitCode = interp.runCommandText(out.commandText) ? 1 : 0;
    } else {
      fail("The double does not run an interactive shell.", 1);
    }

    if (!out.scripts.empty()) out.kind = "script";
    else if (interp.usedDeprovision) out.kind = "deprovision";
    else if (interp.usedRemove) out.kind = "remove";
    else if (interp.usedRegister) out.kind = "register";
    else if (interp.usedSetPolicy) out.kind = "set-policy";
    else if (interp.usedGetPolicy || interp.usedGetPackage || interp.usedGetProvisioned) out.kind = "query";

    const Store end = host.loadStore();
    out.policyAfter = end.executionPolicy;
    host.sleepMs(end.delay(out.kind) + end.delay("all"));
  } catch (const StoreError& e) {
    out.errors.push_back(std::string("psdouble store: ") + e.what());
    host.writeErr(out.errors.back() + "\r\n");
    out.exitCode = 3;
  }
  return out;
}

}  // namespace cb::test::psd

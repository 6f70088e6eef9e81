#pragma once
// SqReloadableVM: a script machine that remembers the script files it ran (in the order they were
// first run) and runs them again when they change on disk. Scripts pull in more files with
// include("name"); every file runs at most once per machine until a reload.
#include <squirrel.h>

#include <cstdint>

#include "support/dyn_array.h"

class SqReloadableVM
{
public:
  struct Script
  {
    char path[260];  // full path
    int64_t time;    // get_file_time when last run
  };

  HSQUIRRELVM vm = nullptr;
  DynArray<Script> scripts;

  SqReloadableVM() = default;
  SqReloadableVM(const SqReloadableVM &) = delete;
  SqReloadableVM &operator=(const SqReloadableVM &) = delete;

  virtual ~SqReloadableVM();
  // Opens the machine and fills its root table; false when the machine cannot be created.
  virtual bool init(SQInteger stack_size);
  virtual void close();
  // Runs a script file once and remembers it; a file already listed (same full path, any letter
  // case) is not run again. The file stays listed even when its run fails.
  virtual bool addScript(const char *path);
  // Whether any listed file's modification time differs from the stored one.
  virtual bool isModified();
  virtual bool reload(bool force);
  // "include" and the standard math and string libraries.
  virtual bool registerStdFunctions();
  // Runs the changed (force: all) listed files again, in list order; stops at the first failure.
  virtual bool reloadScripts(bool force);
};

// The script function include(name).
void sq_include(HSQUIRRELVM v, const char *name);

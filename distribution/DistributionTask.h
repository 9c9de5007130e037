// CDistributionTask: the view's record of the form or group being sent to client machines,
// and the writer of its distribution script, "<name>.ini" in the core server's scripts
// directory:
//
//   [MACHINES]
//   REMDEL0=\QVCLIENT\*.FRM
//   REMCOPY0=\\CORE1\QVMAIN\QVLOGON\FRM1A.FRM, \QVCLIENT\FRM1A.FRM, TOREMOTE
//
// The task deletes the client's form files, then copies each listed form file from the core
// server's forms folder into the client's \QVCLIENT\ folder.
#pragma once

#include <string>
#include <vector>

class CCustomDoc;

class CDistributionTask {
 public:
  // Reads the core server's name and builds the forms share path from it.
  CDistributionTask();

  // Script file name = name + ".ini"; then name = name.
  void SetName(const std::string& name);
  // 0: the name is a form; 1: a group.
  void SetGroup(int flag) { m_bGroup = flag; }
  void SetDocument(CCustomDoc* document) { m_pDocument = document; }

  // Appends the file names (no folder) of the forms to send to the form file list: the form
  // of that name, or each member of the first group of that name, found in the document's
  // form map. Names not in the map add nothing. False when what it looked in was not read
  // whole (the forms share could not be listed when the map was filled, or a read of the
  // group list failed): the list may then lack forms that exist.
  bool CollectFormFiles();
  // Writes the script for the current name and group flag, replacing any earlier one. Does
  // nothing when the scripts directory cannot be found, when IsScriptName refuses the name,
  // or when CollectFormFiles could not read what it needs: a script that lists fewer forms
  // than exist deletes the missing ones from every client.
  void WriteScript();
  // True when the last WriteScript wrote the script (to the profile cache: whether it reached
  // the disk is the flush's to say); false when it refused or found no scripts directory.
  bool ScriptWritten() const { return m_bWritten; }

  const std::string& GetName() const { return m_strName; }
  const std::string& GetScriptFileName() const { return m_strScriptFileName; }
  int GetGroup() const { return m_bGroup; }
  const std::vector<std::string>& GetFormFiles() const { return m_formFiles; }

  // True when name + ".ini" names a file in the scripts directory and nowhere else: the name
  // is not empty and holds none of \ / : * ? " < > | and no control character.
  static bool IsScriptName(const std::string& name);
  // The script of `name` in the scripts directory `scriptsDirectory` (which ends with a
  // backslash): the one file the writer could have written for that name. "" when the
  // directory is unknown or IsScriptName refuses the name; nothing else is ever its script.
  static std::string ScriptPath(const std::string& scriptsDirectory, const std::string& name);

 private:
  void AddFormFile(const std::string& formName);

  std::string m_strName;
  std::string m_strScriptFileName;
  std::string m_strCoreServerName;
  std::string m_strFormsSharePath;
  std::vector<std::string> m_formFiles;
  CCustomDoc* m_pDocument = nullptr;
  int m_bGroup = 0;
  bool m_bWritten = false;
};

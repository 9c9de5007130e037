// The Answers window: every client's answers to one form, one row per client that answered
// and one column per question (a question renamed or removed since keeps its recorded column),
// the clients that hold the form but have not answered, the clients whose answers could not be
// read, and Export, which hands the browser the same CSV as `qvccfg answers --csv`.
#pragma once

#include <functional>
#include <string>

#include "platform/ui/Dialog.h"
#include "tools/answers/Answers.h"

namespace qv::console {

class AnswersDialog : public CDialog {
 public:
  // `form` is the form's name (Windows-1252); `exported` gets the CSV when Export is pressed.
  AnswersDialog(const std::string& form, std::function<void(const std::string& csv)> exported);

  const answers::Collected& Collected() const { return collected_; }

 protected:
  BOOL OnInitDialog() override;

 private:
  std::string form_;
  answers::Collected collected_;
  std::function<void(const std::string&)> exported_;
};

}  // namespace qv::console

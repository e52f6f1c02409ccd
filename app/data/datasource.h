// TDataSource: the data source through which the grid, the navigator and every form control
// reach the one table cursor. It only names the dataset; the controls attach their own data
// links to it and hear the cursor's notifications through them.
#pragma once

#include <functional>
#include <vector>

#include "dbf/datalink.h"
#include "dbf/dataset.h"

namespace tavlo {

class TDataSource {
 public:
  explicit TDataSource(TDataSet* dataSet = nullptr) : dataSet_(dataSet) {}
  TDataSet* DataSet() const { return dataSet_; }
  void SetDataSet(TDataSet* dataSet) { dataSet_ = dataSet; }

  // Shows an action's failure to the user; the window installs a message box here.
  std::function<void(const std::string& message)> OnError;
  void ReportError(const std::string& message) const {
    if (OnError) OnError(message);
  }

 private:
  TDataSet* dataSet_;
};

}  // namespace tavlo

// A drag arriving at a view: file names, or promised files that the source
// writes into a folder when the drop happens.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Geometry.h"

namespace winsys {

class View;

struct DragInfo {
  std::vector<std::string> files;
  std::vector<std::string> promisedNames;
  // Writes the promised files into a folder and answers the names written.
  std::function<std::vector<std::string>(const std::string& folder)> writePromisedFiles;
  Pointf screenLocation;
  View* sourceView = nullptr;
};

// Drag operations with the platform's values.
constexpr int kDragOperationNone = 0;
constexpr int kDragOperationCopy = 1;

}  // namespace winsys

#include "DebuggerOutput.h"

#include <cstdio>
#include <ctime>
#include <memory>

void DebuggerOutput::printDebugInfo(std::string logFilePath, std::string message) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(logFilePath.c_str(), "a"), std::fclose);
  if (!file) return;
  char stamp[80] = {};
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local)) std::strftime(stamp, sizeof(stamp), "%Y-%m-%d.%X", &local);
  std::fprintf(file.get(), "%s\t %s\n", stamp, message.c_str());
  std::printf("Build LOG: \t %s\n", message.c_str());
}

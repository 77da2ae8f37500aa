#include "base/settings.h"

#include <thread>

int default_thread_count() {
  const unsigned hardware = std::thread::hardware_concurrency();
  if (hardware < 1) return 1;
  if (hardware > static_cast<unsigned>(kMaxThreads)) return kMaxThreads;
  return static_cast<int>(hardware);
}

Settings g_settings;

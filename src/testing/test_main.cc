#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "testing/test.h"

namespace testing {
namespace {

struct Entry {
  std::string suite;
  std::string name;
  TestFactory factory;
};

std::vector<Entry>& registry() {
  static std::vector<Entry> entries;
  return entries;
}

bool g_failed = false;
bool g_skipped = false;
std::string g_skip_reason;

}  // namespace

Registrar::Registrar(const char* suite, const char* name, TestFactory factory) {
  registry().push_back({suite, name, factory});
}

void report_failure(const char* file, int line, const std::string& message) {
  g_failed = true;
  std::printf("%s:%d: failure\n  %s\n", file, line, message.c_str());
  std::fflush(stdout);
}

void mark_skipped(const std::string& reason) {
  g_skipped = true;
  g_skip_reason = reason;
}

bool current_test_failed() { return g_failed; }

std::string quote(const std::string& bytes) {
  std::string out = "\"";
  size_t shown = 0;
  for (unsigned char c : bytes) {
    if (++shown > 200) {
      out += "...(" + std::to_string(bytes.size()) + " bytes)";
      break;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  if (shown <= 200) out += '"';
  return out;
}

}  // namespace testing

// Runs every registered test, or those whose "suite.name" contains the one argument.
int main(int argc, char** argv) {
  const char* filter = argc > 1 ? argv[1] : "";
  int passed = 0, failed = 0, skipped = 0;
  for (const auto& entry : testing::registry()) {
    std::string full = entry.suite + "." + entry.name;
    if (full.find(filter) == std::string::npos) continue;
    testing::g_failed = false;
    testing::g_skipped = false;
    std::printf("[ RUN  ] %s\n", full.c_str());
    std::fflush(stdout);
    {
      std::unique_ptr<testing::Test> test(entry.factory());
      test->body();
    }
    if (testing::g_failed) {
      ++failed;
      std::printf("[ FAIL ] %s\n", full.c_str());
    } else if (testing::g_skipped) {
      ++skipped;
      std::printf("[ SKIP ] %s: %s\n", full.c_str(), testing::g_skip_reason.c_str());
    } else {
      ++passed;
    }
    std::fflush(stdout);
  }
  std::printf("%d passed, %d failed, %d skipped\n", passed, failed, skipped);
  std::fflush(stdout);
  return failed == 0 ? 0 : 1;
}

#include "services/case_table.h"

#include <atomic>

namespace vintrell {
namespace {

void fill_sources(FoldTable* table) {
  for (int b = 0; b < 256; ++b) table->folded_count[b] = 0;
  for (int b = 0; b < 256; ++b) {
    unsigned char u = table->upper[b];
    // The matchers take at most two sources per byte: a third keeps itself.
    if (table->folded_count[u] == 2) {
      table->upper[b] = static_cast<unsigned char>(b);
      u = table->upper[b];
    }
    if (table->folded_count[u] < 2) {
      table->folded_from[u][table->folded_count[u]++] = static_cast<unsigned char>(b);
    }
  }
}

struct FixedTable {
  FoldTable table;
  FixedTable() {
    unsigned char* map = table.upper;
    for (int i = 0; i < 256; ++i) map[i] = static_cast<unsigned char>(i);
    for (int c = 'a'; c <= 'z'; ++c) map[c] = static_cast<unsigned char>(c - 0x20);
    map[0x81] = 0x9A;
    map[0x82] = 0x90;
    map[0x84] = 0x8E;
    map[0x86] = 0x8F;
    map[0x87] = 0x80;
    map[0x94] = 0x99;
    map[0xA4] = 0xA5;
    fill_sources(&table);
  }
};

const FoldTable& fixed_table() {
  static const FixedTable fixed;
  return fixed.table;
}

FoldTable g_chosen;
std::atomic<const FoldTable*> g_in_force{nullptr};

}  // namespace

const FoldTable& fold_table() {
  const FoldTable* chosen = g_in_force.load(std::memory_order_acquire);
  return chosen != nullptr ? *chosen : fixed_table();
}

unsigned char upper_case_byte(unsigned char c) { return fold_table().upper[c]; }

void use_upper_case_table(const unsigned char* upper) {
  if (upper == nullptr) {
    g_in_force.store(nullptr, std::memory_order_release);
    return;
  }
  g_in_force.store(nullptr, std::memory_order_release);
  for (int b = 0; b < 256; ++b) g_chosen.upper[b] = upper[b];
  fill_sources(&g_chosen);
  g_in_force.store(&g_chosen, std::memory_order_release);
}

}  // namespace vintrell

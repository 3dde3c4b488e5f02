#include "services/case_table.h"

namespace vintrell {
namespace {

struct UpperCaseTable {
  unsigned char map[256];
  UpperCaseTable() {
    for (int i = 0; i < 256; ++i) map[i] = static_cast<unsigned char>(i);
    for (int c = 'a'; c <= 'z'; ++c) map[c] = static_cast<unsigned char>(c - 0x20);
    map[0x81] = 0x9A;
    map[0x82] = 0x90;
    map[0x84] = 0x8E;
    map[0x86] = 0x8F;
    map[0x87] = 0x80;
    map[0x94] = 0x99;
    map[0xA4] = 0xA5;
  }
};
const UpperCaseTable kUpper;

}  // namespace

unsigned char upper_case_byte(unsigned char c) { return kUpper.map[c]; }

}  // namespace vintrell

// vintrell.exe: hands over to the run-time's process entry at once.
#include "app/main_dialog.h"
#include "runtime/runtime.h"

int main() { vintrell::process_entry(&vintrell::main_routine); }

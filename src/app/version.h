// The program's version: shown in the main dialog and written into the version
// resource, hence plain macros. Keep in step with project() in CMakeLists.txt.
#ifndef VINTRELL_APP_VERSION_H_
#define VINTRELL_APP_VERSION_H_

#define VINTRELL_VERSION_TEXT "0.1.0"
#define VINTRELL_VERSION_NUMBERS 0, 1, 0, 0

#endif  // VINTRELL_APP_VERSION_H_

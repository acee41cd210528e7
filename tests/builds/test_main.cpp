#include "tests/support/qt_test_main.h"

PX_QT_TEST_MAIN

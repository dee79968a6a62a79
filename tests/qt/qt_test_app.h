// The one QApplication a Qt test program needs, made on first use, on the
// offscreen platform unless the environment picks another.
#ifndef QVR_TESTS_QT_QT_TEST_APP_H_
#define QVR_TESTS_QT_QT_TEST_APP_H_

#include <QApplication>
#include <cstdlib>

namespace qvr::view {

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "qvr_qt_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return new QApplication(argc, argv);
  }();
  return *app;
}

// A base for fixtures whose members need the application already made.
struct WithTestApp {
  WithTestApp() { TestApp(); }
};

}  // namespace qvr::view

#endif  // QVR_TESTS_QT_QT_TEST_APP_H_

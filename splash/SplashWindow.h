#ifndef SPLASH_SPLASHWINDOW_H
#define SPLASH_SPLASHWINDOW_H

// The launcher's own splash window: a borderless popup that shows the splash image, made, painted
// and destroyed by the splash thread. The splash start makes the object before it starts the
// thread; closeSplashWindow deletes it once the thread has ended, the window long destroyed. What
// the window holds of the system (its handle, the rendered bitmap) is the OS file's own.

#include <memory>

namespace splash {

class SplashWindow {
 public:
  struct Native;

  // Null when memory cannot be had, and where the system has no splash window of ours.
  static std::unique_ptr<SplashWindow> create();
  ~SplashWindow();
  SplashWindow(const SplashWindow&) = delete;
  SplashWindow& operator=(const SplashWindow&) = delete;

  Native& native() const { return *native_; }

 private:
  explicit SplashWindow(std::unique_ptr<Native> native);
  std::unique_ptr<Native> native_;
};

}  // namespace splash

#endif

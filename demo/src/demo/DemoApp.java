package demo;

import java.awt.Dimension;
import java.awt.HeadlessException;
import java.awt.SplashScreen;
import java.lang.management.ManagementFactory;

/** The sample application of tools/demo.sh: shows what the launcher handed to it. */
public class DemoApp {
  public static void main(String[] args) {
    System.out.println("Java runtime:   " + System.getProperty("java.home")
        + " (" + System.getProperty("java.vm.name") + " " + System.getProperty("java.version") + ")");
    System.out.println("QL_JVM_PATH:    " + System.getenv("QL_JVM_PATH"));
    System.out.println("QL_JVM_HOME:    " + System.getenv("QL_JVM_HOME"));
    System.out.println("Arguments:      " + args.length);
    for (int i = 0; i < args.length; i++) System.out.println("  [" + i + "] \"" + args[i] + "\"");
    System.out.println("VM options:");
    for (String option : ManagementFactory.getRuntimeMXBean().getInputArguments()) {
      System.out.println("  " + option);
    }
    System.out.println("Title property: " + System.getProperty("demo.title"));
    System.out.println("Maximum heap:   " + Runtime.getRuntime().maxMemory() / (1024 * 1024) + " MiB");
    System.out.println("Main thread:    " + Thread.currentThread().getName());
    showSplashScreen();
  }

  /** The launcher's splash image, as the runtime shows it: kept up a moment so it can be seen. */
  private static void showSplashScreen() {
    SplashScreen splash;
    try {
      splash = SplashScreen.getSplashScreen();
    } catch (HeadlessException e) {
      System.out.println("Splash screen:  none (no display)");
      return;
    }
    if (splash == null) {
      System.out.println("Splash screen:  none");
      return;
    }
    Dimension size = splash.getSize();
    System.out.println("Splash screen:  " + size.width + "x" + size.height + " " + splash.getImageURL());
    try {
      Thread.sleep(1500);
    } catch (InterruptedException e) {
      Thread.currentThread().interrupt();
    }
    splash.close();
  }
}

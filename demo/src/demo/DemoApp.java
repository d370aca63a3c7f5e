package demo;

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
  }
}

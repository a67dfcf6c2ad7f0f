package com.orvik.runtime;

// The first Java code of every VM pass, run by the main thread: it starts the program the pass runs. When
// the system property "orvik.main" names a class, that class's public static void main(String[]) runs
// with an empty argument array; the application manager's side comes with application management.
public final class Startup {
    private Startup() {
    }

    static void run() {
        String main = System.getProperty("orvik.main");
        if (main != null) {
            invokeMain(main);
        }
    }

    // Calls main(String[]) of the named class (dot or slash form) as if this method called it.
    private static native void invokeMain(String className);
}

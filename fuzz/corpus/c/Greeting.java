package sample;

/** A greeting for a name. */
public final class Greeting {
    // The text before the name.
    private static final String PREFIX = "Hello, ";

    public static String of(String name) {
        return PREFIX + name;
    }
}
